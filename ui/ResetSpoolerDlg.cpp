// The reset-spooler notice: no buttons, texts from the language library.
#include "ui/ResetSpoolerDlg.h"

#include "lang/langres.h"
#include "ui/Language.h"
#include "ui/resource.h"

CResetSpoolerDlg::CResetSpoolerDlg(CWnd* parent) : CDialog(IDD_RESET_SPOOLER, parent) {}

BOOL CResetSpoolerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    HINSTANCE lib = GetModuleHandleA(g_strLangLib);
    ::SetWindowTextA(m_hWnd, LoadLibraryString(lib, IDS_RESET_CAPTION));
    SetTextFromLibrary(GetDlgItem(IDC_MESSAGE), lib, IDS_RESET_TEXT);
    return TRUE;
}

BEGIN_MESSAGE_MAP(CResetSpoolerDlg, CDialog)
END_MESSAGE_MAP()
