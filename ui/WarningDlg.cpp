// The removal confirmation: OK goes on, Cancel (or Esc, or the close box) keeps the printer.
#include "ui/WarningDlg.h"

#include "lang/langres.h"
#include "ui/Language.h"
#include "ui/resource.h"

CWarningDlg::CWarningDlg(CWnd* parent) : CDialog(IDD_WARNING, parent) {}

void CWarningDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_MESSAGE, m_strMessage);
}

BOOL CWarningDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    HINSTANCE lib = GetModuleHandleA(g_strLangLib);
    ::SetWindowTextA(m_hWnd, LoadLibraryString(lib, IDS_WARNING_CAPTION));
    SetTextFromLibrary(GetDlgItem(IDOK), lib, IDS_OK);
    SetTextFromLibrary(GetDlgItem(IDCANCEL), lib, IDS_CANCEL);
    ApplyUiFont(GetDlgItem(IDC_MESSAGE));
    return TRUE;
}

BEGIN_MESSAGE_MAP(CWarningDlg, CDialog)
END_MESSAGE_MAP()
