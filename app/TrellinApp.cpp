// The application object, the command-line split and the process-wide objects, in their construction order.
#include "app/TrellinApp.h"

#include <string.h>

#include "ui/Language.h"
#include "ui/UninstallDlg.h"

CUninstallApp theApp;
CString g_strLangLib;
CFont g_uiFont;

int CountCommandLineNames(LPCSTR commandLine) {
    CString rest = commandLine;
    int count = 0;
    for (;;) {
        int comma = rest.Find(',');
        if (comma < 0)
            return rest.IsEmpty() ? count : count + 1;
        count++;
        rest = rest.Mid(comma + 1);
        if (rest.IsEmpty())
            return count;
    }
}

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

DWORD CombineExitCodes(DWORD sofar, DWORD next) {
    if (sofar != ERROR_SUCCESS && sofar != ERROR_SUCCESS_REBOOT_REQUIRED)
        return sofar;
    if (next != ERROR_SUCCESS && next != ERROR_SUCCESS_REBOOT_REQUIRED)
        return next;
    return sofar == ERROR_SUCCESS_REBOOT_REQUIRED ? sofar : next;
}

BOOL CUninstallApp::InitInstance() {
    Enable3dControls();
    m_nExitCode = ERROR_SUCCESS;

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
        if (dlg.DoModal() == -1)
            m_nExitCode = CombineExitCodes(m_nExitCode, ERROR_CAN_NOT_COMPLETE);
        else
            m_nExitCode = CombineExitCodes(m_nExitCode, dlg.m_nExitCode);
    }
    // Names past the fifth are not removed: the caller must hear of it.
    if (CountCommandLineNames(m_lpCmdLine) > MAX_CMDLINE_PRINTERS)
        m_nExitCode = CombineExitCodes(m_nExitCode, ERROR_BAD_ARGUMENTS);
    return FALSE;
}
