// The restart dialog: OK and Cancel on NT; on Windows 9x a notice with OK only.
#include "ui/RebootDlg.h"

#include "lang/langres.h"
#include "ui/Language.h"
#include "ui/resource.h"

CRebootDlg::CRebootDlg(CWnd* parent) : CDialog(IDD_REBOOT, parent) {}

void CRebootDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_MESSAGE, m_strMessage);
}

BOOL CRebootDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    HINSTANCE lib = GetModuleHandleA(g_strLangLib);
    ::SetWindowTextA(m_hWnd, LoadLibraryString(lib, IDS_RESTART_CAPTION));
    ApplyUiFont(m_hWnd);
    SetTextFromLibrary(GetDlgItem(IDOK), lib, IDS_OK);
    SetTextFromLibrary(GetDlgItem(IDCANCEL), lib, IDS_CANCEL);
    ApplyUiFont(GetDlgItem(IDC_MESSAGE));
    // Windows 9x restarts nothing here: the notice only has OK.
    if (GetVersion() >= 0x80000000)
        ::DestroyWindow(GetDlgItem(IDCANCEL));
    return TRUE;
}

BEGIN_MESSAGE_MAP(CRebootDlg, CDialog)
END_MESSAGE_MAP()
