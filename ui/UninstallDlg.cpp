// The main dialog: lists the Brontal printers and the selected one's driver files.
#include "ui/UninstallDlg.h"

#include <mbstring.h>

#include "engine/PrinterList.h"
#include "lang/langres.h"
#include "ui/Language.h"
#include "ui/resource.h"

CUninstallDlg::CUninstallDlg(CWnd* parent, int cmdLine, CString printerName)
    : CDialog(IDD_TRELLIN_DIALOG, parent),
      m_hLangLib(NULL),
      m_bSpoolerStopIssued(0),
      m_resetSpoolerDlg(NULL),
      m_nOsFamily(0),
      m_nXpMark(-1),
      m_printerList(10),
      m_bWaitCursor(0),
      m_bCmdLine(cmdLine),
      m_strCmdPrinter(printerName) {
    m_hIcon = LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    // An unattended run must never appear on the screen, not even for a moment.
    m_bCreateHidden = m_bCmdLine;
}

CUninstallDlg::~CUninstallDlg() {
    // The next main dialog of the same run creates the font again.
    g_uiFont.DeleteObject();
    if (m_hLangLib)
        FreeLibrary(m_hLangLib);
    FreePrinterList();
}

void CUninstallDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DELETE, m_btnDelete);
    DDX_Text(pDX, IDC_SELECT_LABEL, m_strSelectLabel);
    DDX_Text(pDX, IDC_FILES_LABEL, m_strFilesLabel);
}

BEGIN_MESSAGE_MAP(CUninstallDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_LBN_SELCHANGE(IDC_PRINTER_LIST, OnSelchangePrinterList)
    ON_BN_CLICKED(IDC_ABOUT, OnAbout)
    ON_WM_SETCURSOR()
    ON_BN_CLICKED(IDCANCEL, OnExit)
    ON_BN_CLICKED(IDC_EXIT, OnExit)
END_MESSAGE_MAP()

BOOL CUninstallDlg::OnInitDialog() {
    if (!m_bCmdLine) {
        m_bWaitCursor = 1;
        SetCursor(LoadCursorA(NULL, IDC_APPSTARTING));
    }
    CDialog::OnInitDialog();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    char language[200] = "";
    // A failed query may leave a partial name behind; it counts as no name at all.
    if (!GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, language, sizeof(language)))
        language[0] = '\0';
    SelectLanguage(language);
    m_hLangLib = LoadLibraryA(g_strLangLib);
    if (CreateUiFont(language))
        SendMessage(WM_SETFONT, (WPARAM)(HFONT)g_uiFont, 0);

    if (!m_bCmdLine) {
        ::SetWindowTextA(m_hWnd, LangString(IDS_MAIN_CAPTION));
        SetTextFromLibrary(GetDlgItem(IDC_DELETE), m_hLangLib, IDS_DELETE);
        SetTextFromLibrary(GetDlgItem(IDC_ABOUT), m_hLangLib, IDS_ABOUT);
        SetTextFromLibrary(GetDlgItem(IDC_EXIT), m_hLangLib, IDS_EXIT);
        ApplyUiFont(GetDlgItem(IDC_PRINTER_LIST));
        ApplyUiFont(GetDlgItem(IDC_FILES_LIST));
        SetTextFromLibrary(GetDlgItem(IDC_SELECT_LABEL), m_hLangLib, IDS_SELECT_PRINTER);
        SetTextFromLibrary(GetDlgItem(IDC_FILES_LABEL), m_hLangLib, IDS_PRINTER_FILES);
    }

    m_bSpoolerStopIssued = 0;
    DetectOsFamily();

    // The spooler reset before the enumeration comes with the removal; until then the
    // printers are enumerated at once, as when the spooler cannot be stopped.
    GetDriverDirectory();
    EnumeratePrinters();
    if (!m_bCmdLine) {
        FillPrinterList();
        ShowPrinterFiles();
        m_bWaitCursor = 0;
    }

    if (m_bCmdLine) {
        SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0, SWP_HIDEWINDOW);
        EndDialog(1);
    }
    return TRUE;
}

void CUninstallDlg::OnSetFont(CFont* font) {
    CDialog::OnSetFont(font);
}

void CUninstallDlg::FillPrinterList() {
    HWND list = GetDlgItem(IDC_PRINTER_LIST);
    ::SendMessageA(list, LB_RESETCONTENT, 0, 0);
    int added = 0;
    POSITION pos = m_printerList.GetHeadPosition();
    while (pos) {
        CPrinterEntry* entry = static_cast<CPrinterEntry*>(m_printerList.GetNext(pos));
        if (entry->m_bRemoved == 1)
            continue;
        if (entry->IsBrontalDriver()) {
            ::SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)(LPCSTR)entry->m_strPrinterName);
            added++;
        }
    }
    if (added > 0) {
        ::SendMessageA(list, LB_SETCURSEL, 0, 0);
        return;
    }
    ::SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)(LPCSTR)LangString(IDS_NO_PRINTER));
    ::EnableWindow(GetDlgItem(IDC_DELETE), FALSE);
    ::EnableWindow(list, FALSE);
}

BOOL CUninstallDlg::GetSelectedPrinter(CString& name) {
    HWND list = GetDlgItem(IDC_PRINTER_LIST);
    BOOL found = FALSE;
    int count = (int)::SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        if (::SendMessageA(list, LB_GETSEL, i, 0) <= 0)
            continue;
        // Sized from the line itself: a long printer name is copied whole, so it still finds its entry.
        int length = (int)::SendMessageA(list, LB_GETTEXTLEN, i, 0);
        if (length < 0)
            continue;
        LPSTR buffer = name.GetBuffer(length + 1);
        int got = (int)::SendMessageA(list, LB_GETTEXT, i, (LPARAM)buffer);
        name.ReleaseBuffer(got < 0 ? 0 : got);
        found = TRUE;
    }
    return found;
}

void CUninstallDlg::ShowPrinterFiles() {
    CString selected;
    BOOL haveSelection = GetSelectedPrinter(selected);
    HWND files = GetDlgItem(IDC_FILES_LIST);
    ::SendMessageA(files, LB_RESETCONTENT, 0, 0);
    if (!haveSelection) {
        ::SendMessageA(files, LB_ADDSTRING, 0, (LPARAM)(LPCSTR)LangString(IDS_NO_SELECTION));
        ::EnableWindow(files, FALSE);
        return;
    }
    CPrinterEntry* entry = FindPrinterEntry(selected);
    if (!entry) {
        // A selected name that matches no entry shows the same as no selection.
        ::SendMessageA(files, LB_ADDSTRING, 0, (LPARAM)(LPCSTR)LangString(IDS_NO_SELECTION));
        ::EnableWindow(files, FALSE);
        return;
    }
    HDC dc = GetDC(files);
    LONG widest = 0;
    POSITION pos = entry->m_files.GetHeadPosition();
    while (pos) {
        CDriverFile* file = static_cast<CDriverFile*>(entry->m_files.GetNext(pos));
        ::SendMessageA(files, LB_ADDSTRING, 0, (LPARAM)(LPCSTR)file->m_strPath);
        SIZE size = {0, 0};
        GetTextExtentPoint32A(dc, file->m_strPath, file->m_strPath.GetLength(), &size);
        if (size.cx > widest)
            widest = size.cx;
    }
    ::EnableWindow(files, TRUE);
    ::SendMessageA(files, LB_SETHORIZONTALEXTENT, (WPARAM)widest, 0);
    ReleaseDC(files, dc);
}

CPrinterEntry* CUninstallDlg::FindPrinterEntry(LPCSTR name) {
    return ::FindPrinterEntry(m_printerList, name);
}

void CUninstallDlg::DetectOsFamily() {
    m_nOsFamily = ::DetectOsFamily(&m_nXpMark);
}

void CUninstallDlg::GetDriverDirectory() {
    m_strDriverDir = QueryDriverDirectory(m_strDriverDir);
}

int CUninstallDlg::EnumeratePrinters() {
    return ::EnumeratePrinters(m_printerList, m_nOsFamily, m_strDriverDir);
}

void CUninstallDlg::OnSelchangePrinterList() {
    CString selected;
    if (GetSelectedPrinter(selected))
        ShowPrinterFiles();
}

void CUninstallDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, (WPARAM)dc.m_hDC, 0);
    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - cxIcon + 1) / 2;
    int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    DrawIcon(dc.m_hDC, x, y, m_hIcon);
}

HCURSOR CUninstallDlg::OnQueryDragIcon() {
    return (HCURSOR)m_hIcon;
}

BOOL CUninstallDlg::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) {
    if (m_bWaitCursor) {
        SetCursor(LoadCursorA(NULL, IDC_APPSTARTING));
        return TRUE;
    }
    Default();
    return FALSE;
}

void CUninstallDlg::OnAbout() {
    CAboutDlg about(NULL);
    about.DoModal();
}

void CUninstallDlg::FreePrinterList() {
    ::FreePrinterList(m_printerList);
}

void CUninstallDlg::OnExit() {
    FreePrinterList();
    EndDialog(2);
}
