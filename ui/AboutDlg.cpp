// The About dialog: texts from the language library the main dialog loaded.
#include "ui/AboutDlg.h"

#include "lang/langres.h"
#include "ui/Language.h"
#include "ui/resource.h"

CAboutDlg::CAboutDlg(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_btnOK);
    DDX_Text(pDX, IDC_ABOUT_LINE3, m_strLine3);
    DDX_Text(pDX, IDC_ABOUT_LINE4, m_strLine4);
    DDX_Text(pDX, IDC_ABOUT_LINE1, m_strLine1);
    DDX_Text(pDX, IDC_ABOUT_LINE2, m_strLine2);
}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    HINSTANCE lib = GetModuleHandleA(g_strLangLib);
    ::SetWindowTextA(m_hWnd, LoadLibraryString(lib, IDS_ABOUT));
    SetTextFromLibrary(GetDlgItem(IDC_ABOUT_LINE1), lib, IDS_ABOUT_LINE1);
    // The version comes from the program's own table, the same in every language.
    CString version = LoadLibraryString(AfxGetInstanceHandle(), IDS_VERSION);
    ::SetWindowTextA(GetDlgItem(IDC_ABOUT_LINE2), LoadLibraryString(lib, IDS_ABOUT_VERSION) + version);
    ApplyUiFont(GetDlgItem(IDC_ABOUT_LINE2));
    SetTextFromLibrary(GetDlgItem(IDC_ABOUT_LINE3), lib, IDS_ABOUT_LINE3);
    SetTextFromLibrary(GetDlgItem(IDC_ABOUT_LINE4), lib, IDS_ABOUT_LINE4);
    SetTextFromLibrary(GetDlgItem(IDOK), lib, IDS_OK);
    return TRUE;
}

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
END_MESSAGE_MAP()
