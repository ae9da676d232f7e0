// The main dialog: lists the Brontal printers and the selected one's driver files.
#include "ui/UninstallDlg.h"

#include "lang/langres.h"
#include "ui/Language.h"
#include "ui/AboutDlg.h"
#include "ui/QuestionDlg.h"
#include "ui/resource.h"

CUninstallDlg::CUninstallDlg(CWnd* parent, int cmdLine, CString printerName)
    : CDialog(IDD_TRELLIN_DIALOG, parent),
      m_hLangLib(NULL),
      m_resetSpoolerDlg(NULL),
      m_bWaitCursor(0),
      m_bCmdLine(cmdLine),
      m_strCmdPrinter(printerName) {
    m_hIcon = LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    // An unattended run must never appear on the screen, not even for a moment.
    m_bCreateHidden = m_bCmdLine;
}

CUninstallDlg::~CUninstallDlg() {
    // A dialog that ends while its spooler cycle is under way still brings the spooler back.
    if (m_run.m_cycle.Pending() != 0)
        m_run.m_cycle.Finish();
    // The next main dialog of the same run creates the font again.
    g_uiFont.DeleteObject();
    if (m_hLangLib)
        FreeLibrary(m_hLangLib);
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
    ON_BN_CLICKED(IDC_DELETE, OnDelete)
    ON_BN_CLICKED(IDC_ABOUT, OnAbout)
    ON_WM_TIMER()
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

    // On NT the list arrives once the opening spooler cycle, ticked by the timer, is over.
    if (!ArmCycleTimer(m_run.Begin()) && !m_bCmdLine) {
        FillPrinterList();
        ShowPrinterFiles();
        m_bWaitCursor = 0;
    }

    if (m_bCmdLine) {
        SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0, SWP_HIDEWINDOW);
        int removed = OnDeleteCmdline();
        WaitForSpoolerCycle();
        m_run.GiveVerdict(removed, m_strCmdPrinter);
        EndDialog(1);
    }
    return TRUE;
}

void CUninstallDlg::WaitForSpoolerCycle() {
    const DWORD start = GetTickCount();
    while (m_run.m_cycle.Pending() != 0 && GetTickCount() - start < SPOOLER_CYCLE_WAIT_MS) {
        // The cycle's timer ticks once a second, so this wait always wakes.
        MSG msg;
        if (GetMessageA(&msg, NULL, 0, 0) <= 0)
            break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // A spooler still not running when the bound has passed is given up on here: the dialog's end
    // must not wait for it a second time.
    const UINT pending = m_run.m_cycle.Pending();
    if (m_run.m_cycle.AbandonIfOverdue(start))
        ::KillTimer(m_hWnd, pending);
}

void CUninstallDlg::OnSetFont(CFont* font) {
    CDialog::OnSetFont(font);
}

void CUninstallDlg::FillPrinterList() {
    HWND list = GetDlgItem(IDC_PRINTER_LIST);
    ::SendMessageA(list, LB_RESETCONTENT, 0, 0);
    const std::vector<CString> offered = m_run.OfferedPrinters();
    for (const CString& name : offered)
        ::SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)(LPCSTR)name);
    if (!offered.empty()) {
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
    CPrinterEntry* entry = m_run.FindPrinterEntry(selected);
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

int CUninstallDlg::ArmCycleTimer(UINT eventId) {
    if (eventId == 0)
        return 0;
    ::SetTimer(m_hWnd, eventId, 1000, NULL);
    return 1;
}

void CUninstallDlg::OnTimer(UINT_PTR eventId) {
    if (m_bWaitCursor && !m_bCmdLine)
        SetCursor(LoadCursorA(NULL, IDC_APPSTARTING));
    const SpoolerCycleTick tick = m_run.TickCycle(eventId);
    if (tick == CYCLE_WAITING)
        return;
    ::KillTimer(m_hWnd, eventId);
    // An abandoned cycle's pending step never runs; nothing is shown.
    if (tick == CYCLE_ABANDONED)
        return;
    if (eventId == SPOOLER_EVENT_REMOVAL) {
        if (!m_bCmdLine) {
            FillPrinterList();
            ::SendMessageA(GetDlgItem(IDC_FILES_LIST), LB_RESETCONTENT, 0, 0);
        }
        m_resetSpoolerDlg.DestroyWindow();
        if (!m_bCmdLine)
            PromptRestart();
    } else if (eventId == SPOOLER_EVENT_STARTUP) {
        if (!m_bCmdLine) {
            FillPrinterList();
            ShowPrinterFiles();
            SetCursor(LoadCursorA(NULL, IDC_ARROW));
            m_bWaitCursor = 0;
        }
    }
}

void CUninstallDlg::OnDelete() {
    OutputDebugStringA("In OnDelete Starting\n ");
    // Owned by the main dialog, which is disabled while the warning is up: a second Delete cannot start
    // a second removal inside this one.
    CQuestionDlg warning(IDD_WARNING, this);
    HWND list = GetDlgItem(IDC_PRINTER_LIST);
    ::SendMessageA(list, LB_GETCOUNT, 0, 0);
    warning.m_strMessage = LangString(IDS_CONFIRM_BEFORE);
    CString selected;
    if (!GetSelectedPrinter(selected))
        return;
    warning.m_strMessage += selected;
    warning.m_strMessage += LangString(IDS_CONFIRM_AFTER);
    if (warning.DoModal() != IDOK)
        return;

    m_resetSpoolerDlg.Create(IDD_RESET_SPOOLER, this);
    m_resetSpoolerDlg.ShowWindow(SW_SHOW);
    OutputDebugStringA("Displayed reset dialog\n ");
    SetCursor(LoadCursorA(NULL, IDC_WAIT));

    CPrinterEntry* target = m_run.FindPrinterEntry(selected);
    if (!target) {
        OutputDebugStringA("remove is 0 returning \n");
        return;
    }
    if (m_run.RemoveSelected(*target, selected) == REMOVAL_COMPANION_REFUSED) {
        OutputDebugStringA("After  deleting tallyvue \n ");
        m_resetSpoolerDlg.DestroyWindow();
        return;
    }
    if (ArmCycleTimer(m_run.BeginClosingCycle()))
        return;
    m_resetSpoolerDlg.DestroyWindow();
    PromptRestart();
    FillPrinterList();
    ::SendMessageA(GetDlgItem(IDC_FILES_LIST), LB_RESETCONTENT, 0, 0);
}

int CUninstallDlg::OnDeleteCmdline() {
    OutputDebugStringA("In OnDeleteCmdline Starting\n ");
    // Waits only while the opening cycle is under way: without it no message may ever come.
    for (int pass = 0; pass < 5 && m_run.AwaitsPrinterList(); ++pass) {
        MSG msg;
        BOOL got;
        if (m_run.m_nXpMark == 3) {
            got = PeekMessageA(&msg, m_hWnd, WM_TIMER, 0, PM_NOREMOVE);
            // An inverted filter finds no timer message on every system; take the due one.
            if (!got)
                got = PeekMessageA(&msg, m_hWnd, WM_TIMER, WM_TIMER, PM_REMOVE);
        } else {
            got = GetMessageA(&msg, NULL, 0, 0) > 0;
        }
        if (got) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        // The message may have been the cycle's last tick: a list that has arrived is not waited for.
        if (!m_run.AwaitsPrinterList())
            break;
        Sleep(900);
    }
    if (!m_run.RemoveNamed(m_strCmdPrinter))
        return 0;
    if (m_run.IsNt()) {
        OutputDebugStringA("In OnDelete Restarting spooler with event 2");
        ArmCycleTimer(m_run.BeginClosingCycle());
    }
    return 1;
}

void CUninstallDlg::PromptRestart() {
    CQuestionDlg reboot(IDD_REBOOT, this);
    if (m_run.IsNt()) {
        reboot.m_strMessage = LangString(IDS_RESTART_QUESTION);
        if (reboot.DoModal() == IDOK)
            RestartMachine();
        return;
    }
    reboot.m_strMessage = LangString(IDS_RESTART_NOTICE_9X);
    reboot.DoModal();
}

void CUninstallDlg::OnAbout() {
    CAboutDlg about(this);
    about.DoModal();
}

void CUninstallDlg::OnExit() {
    m_run.FreePrinterList();
    EndDialog(2);
}
