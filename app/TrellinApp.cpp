// The application object, the command-line split and the process-wide objects, in their construction order.
#include "app/TrellinApp.h"

#include <string.h>

#include "ui/Language.h"
#include "ui/UninstallDlg.h"

CUninstallApp theApp;
CString g_strLangLib;
CFont g_uiFont;

int SplitCommandLine(LPCSTR commandLine, CString names[MAX_CMDLINE_PRINTERS]) {
    CString rest = commandLine;
    int count = 0;
    while (count < MAX_CMDLINE_PRINTERS) {
        int comma = rest.Find(',');
        if (comma < 0) {
            if (!rest.IsEmpty())
                names[count++] = rest;
            break;
        }
        names[count++] = rest.Left(comma);
        rest = rest.Mid(comma + 1);
        // A trailing ',' names nothing more: a last empty run would only cycle the spooler.
        if (rest.IsEmpty())
            break;
    }
    return count;
}

BOOL CUninstallApp::InitInstance() {
    Enable3dControls();

    if (strcmp(m_lpCmdLine, "") == 0) {
        CUninstallDlg dlg(NULL, 0, CString());
        dlg.DoModal();
        return FALSE;
    }

    CString names[MAX_CMDLINE_PRINTERS];
    int count = SplitCommandLine(m_lpCmdLine, names);
    for (int i = 0; i < count; ++i) {
        CString name = names[i];
        name.TrimLeft();
        name.TrimRight();
        CUninstallDlg dlg(NULL, 1, name);
        dlg.DoModal();
    }
    return FALSE;
}
