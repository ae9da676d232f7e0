// The confirmation and the restart dialog: OK goes on, Cancel (or Esc, or the close box) does not.
#include "ui/QuestionDlg.h"

#include "lang/langres.h"
#include "ui/Language.h"
#include "ui/resource.h"

CQuestionDlg::CQuestionDlg(UINT templateId, CWnd* parent) : CDialog(templateId, parent), m_nTemplateId(templateId) {}

void CQuestionDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_MESSAGE, m_strMessage);
}

BOOL CQuestionDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    HINSTANCE lib = GetModuleHandleA(g_strLangLib);
    const BOOL restart = m_nTemplateId == IDD_REBOOT;
    ::SetWindowTextA(m_hWnd, LoadLibraryString(lib, restart ? IDS_RESTART_CAPTION : IDS_WARNING_CAPTION));
    if (restart)
        ApplyUiFont(m_hWnd);
    SetTextFromLibrary(GetDlgItem(IDOK), lib, IDS_OK);
    SetTextFromLibrary(GetDlgItem(IDCANCEL), lib, IDS_CANCEL);
    ApplyUiFont(GetDlgItem(IDC_MESSAGE));
    // Windows 9x restarts nothing here: the notice only has OK.
    if (restart && GetVersion() >= 0x80000000)
        ::DestroyWindow(GetDlgItem(IDCANCEL));
    return TRUE;
}

BEGIN_MESSAGE_MAP(CQuestionDlg, CDialog)
END_MESSAGE_MAP()
