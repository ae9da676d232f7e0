// The main dialog: lists the Brontal printers and the selected one's driver files.
#include "ui/UninstallDlg.h"

#include <mbstring.h>
#include <stdio.h>
#include <string.h>

#include "afx/afxhandles.h"
#include "engine/Changes.h"
#include "engine/PrinterList.h"
#include "engine/Removal.h"
#include "engine/RunLog.h"
#include "engine/SpoolerService.h"
#include "lang/langres.h"
#include "ui/Language.h"
#include "ui/AboutDlg.h"
#include "ui/RebootDlg.h"
#include "ui/WarningDlg.h"
#include "ui/resource.h"

namespace {
// How long a command-line run waits at most for the spooler to run again after its removal.
const DWORD kSpoolerCycleWaitMs = 120000;
}  // namespace

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
      m_strCmdPrinter(printerName),
      m_nExitCode(ERROR_SUCCESS),
      m_nPendingEvent(0),
      m_bCycleAbandoned(FALSE),
      m_bListArrived(FALSE) {
    m_hIcon = LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    // An unattended run must never appear on the screen, not even for a moment.
    m_bCreateHidden = m_bCmdLine;
}

CUninstallDlg::~CUninstallDlg() {
    // A dialog that ends while its spooler cycle is under way still brings the spooler back.
    if (m_nPendingEvent != 0)
        FinishSpoolerCycle();
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

    m_bSpoolerStopIssued = 0;
    DetectOsFamily();

    // On NT the spooler is stopped and started again before the printers are enumerated; the timer
    // enumerates them once it runs again. Where it cannot be stopped, and on Windows 9x, at once.
    const BOOL nt = m_nOsFamily == OS_FAMILY_NT || m_nOsFamily == OS_FAMILY_NT5;
    if (!nt || !StopSpooler(SPOOLER_EVENT_STARTUP)) {
        EnumerateNow();
        if (!m_bCmdLine) {
            FillPrinterList();
            ShowPrinterFiles();
            m_bWaitCursor = 0;
        }
    }

    if (m_bCmdLine) {
        SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0, SWP_HIDEWINDOW);
        int removed = OnDeleteCmdline();
        // The dialog ends only once the spooler runs again: a silent run must not leave the
        // workstation unable to print.
        WaitForSpoolerCycle();
        if (removed && (m_nPendingEvent != 0 || m_bCycleAbandoned))
            m_nExitCode = ERROR_SERVICE_NOT_ACTIVE;
        // A printer the spooler still has after the removal was not removed, whatever the steps
        // reported: its key may have been out of reach, and the caller must not hear success.
        else if (removed && IsPrinterInstalled(m_strCmdPrinter, m_nOsFamily))
            m_nExitCode = ERROR_PRINTER_ALREADY_EXISTS;
        EndDialog(1);
    }
    return TRUE;
}

void CUninstallDlg::FinishSpoolerCycle() {
    const DWORD start = GetTickCount();
    const char* outcome = "timeout";
    while (GetTickCount() - start < kSpoolerCycleWaitMs) {
        SpoolerTick tick = PollSpooler();
        if (tick == SPOOLER_RUNNING || tick == SPOOLER_START_REFUSED) {
            outcome = tick == SPOOLER_RUNNING ? "running" : "start_refused";
            break;
        }
        Sleep(250);
    }
    RunLog().SpoolerCycleEnds(outcome);
    m_nPendingEvent = 0;
}

void CUninstallDlg::EnumerateNow() {
    GetDriverDirectory();
    EnumeratePrinters();
    m_bListArrived = TRUE;
}

void CUninstallDlg::WaitForSpoolerCycle() {
    const DWORD start = GetTickCount();
    while (m_nPendingEvent != 0 && GetTickCount() - start < kSpoolerCycleWaitMs) {
        // The cycle's timer ticks once a second, so this wait always wakes.
        MSG msg;
        if (GetMessageA(&msg, NULL, 0, 0) <= 0)
            break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // A spooler still not running when the bound has passed is given up on here: the dialog's end
    // must not wait for it a second time.
    if (m_nPendingEvent != 0 && GetTickCount() - start >= kSpoolerCycleWaitMs) {
        ::KillTimer(m_hWnd, m_nPendingEvent);
        m_nPendingEvent = 0;
        m_bCycleAbandoned = TRUE;
        RunLog().SpoolerCycleEnds("timeout");
    }
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

int CUninstallDlg::StopSpooler(UINT eventId) {
    RunLog().SpoolerCycleBegins(eventId == SPOOLER_EVENT_REMOVAL ? "after_removal" : "before_enumeration");
    if (!RequestSpoolerStop()) {
        RunLog().SpoolerCycleEnds("not_stopped");
        return 0;
    }
    m_bSpoolerStopIssued = 1;
    if (eventId != 0) {
        ::SetTimer(m_hWnd, eventId, 1000, NULL);
        m_nPendingEvent = eventId;
        m_bCycleAbandoned = FALSE;
    }
    return 1;
}

void CUninstallDlg::OnTimer(UINT_PTR eventId) {
    if (m_bWaitCursor && !m_bCmdLine)
        SetCursor(LoadCursorA(NULL, IDC_APPSTARTING));
    switch (PollSpooler()) {
    case SPOOLER_START_REQUESTED:
        m_bSpoolerStopIssued = 1;
        return;
    case SPOOLER_START_REFUSED:
        // The pending step never runs; nothing is shown.
        ::KillTimer(m_hWnd, eventId);
        m_bSpoolerStopIssued = 1;
        m_nPendingEvent = 0;
        m_bCycleAbandoned = TRUE;
        RunLog().SpoolerCycleEnds("start_refused");
        return;
    case SPOOLER_RUNNING:
        if (m_bSpoolerStopIssued == 1)
            break;
        return;
    default:
        return;
    }
    ::KillTimer(m_hWnd, eventId);
    if (m_nPendingEvent == eventId)
        m_nPendingEvent = 0;
    RunLog().SpoolerCycleEnds("running");
    if (eventId == SPOOLER_EVENT_REMOVAL) {
        if (!m_bCmdLine) {
            FillPrinterList();
            ::SendMessageA(GetDlgItem(IDC_FILES_LIST), LB_RESETCONTENT, 0, 0);
        }
        m_resetSpoolerDlg.DestroyWindow();
        if (!m_bCmdLine)
            PromptRestart();
    } else if (eventId == SPOOLER_EVENT_STARTUP) {
        EnumerateNow();
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
    CWarningDlg warning(this);
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

    CPrinterEntry* target = FindPrinterEntry(selected);
    if (!target) {
        OutputDebugStringA("remove is 0 returning \n");
        return;
    }
    Changes().ResetDeferredFiles();
    if (RunRemovalSteps(m_printerList, *target, selected, m_nOsFamily, TRUE) == REMOVAL_COMPANION_REFUSED) {
        OutputDebugStringA("After  deleting tallyvue \n ");
        m_resetSpoolerDlg.DestroyWindow();
        return;
    }
    if (m_nOsFamily == OS_FAMILY_NT || m_nOsFamily == OS_FAMILY_NT5) {
        m_bSpoolerStopIssued = 0;
        if (StopSpooler(SPOOLER_EVENT_REMOVAL))
            return;
    }
    m_resetSpoolerDlg.DestroyWindow();
    PromptRestart();
    FillPrinterList();
    ::SendMessageA(GetDlgItem(IDC_FILES_LIST), LB_RESETCONTENT, 0, 0);
}

int CUninstallDlg::OnDeleteCmdline() {
    OutputDebugStringA("In OnDeleteCmdline Starting\n ");
    Changes().ResetDeferredFiles();
    // Waits only while the opening cycle is under way: without it no message may ever come.
    for (int pass = 0; pass < 5 && m_printerList.IsEmpty() && m_nPendingEvent == SPOOLER_EVENT_STARTUP; ++pass) {
        MSG msg;
        BOOL got;
        if (m_nXpMark == 3) {
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
        Sleep(900);
    }
    if (m_printerList.IsEmpty()) {
        m_nExitCode = m_bListArrived ? ERROR_INVALID_PRINTER_NAME : ERROR_SERVICE_REQUEST_TIMEOUT;
        RunLog().Write(CJsonLine()
                           .Text("event", "printer")
                           .Text("name", m_strCmdPrinter)
                           .Bool("found", FALSE)
                           .Bool("list_arrived", m_bListArrived));
        return 0;
    }
    CPrinterEntry* target = FindPrinterEntry(m_strCmdPrinter);
    // The driver's signs are read from the disk once, for the log and the decision.
    const DriverEvidence evidence = target ? target->WeighDriverEvidence() : DRIVER_NOT_DESCRIBED;
    CJsonLine found;
    found.Text("event", "printer").Text("name", m_strCmdPrinter).Bool("found", target != NULL);
    if (target)
        found.Text("driver", target->m_strDriverName)
            .Bool("brontal", evidence == DRIVER_UIM_BESIDE_DATA_FILE || evidence == DRIVER_MARKER_IN_DATA_FILE)
            .Text("evidence", DriverEvidenceName(evidence));
    RunLog().Write(found);
    if (!target) {
        OutputDebugStringA("remove is 0 returning \n");
        m_nExitCode = ERROR_INVALID_PRINTER_NAME;
        return 0;
    }
    // A mistyped name must not take another maker's printer and driver; but a Brontal printer whose
    // driver is gone or damaged shows no sign either, and only the command line can clean it.
    if (evidence == DRIVER_NO_BRONTAL_SIGN) {
        OutputDebugStringA("remove is 0 returning \n");
        m_nExitCode = ERROR_UNKNOWN_PRINTER_DRIVER;
        return 0;
    }
    if (RunRemovalSteps(m_printerList, *target, m_strCmdPrinter, m_nOsFamily, FALSE) == REMOVAL_COMPANION_REFUSED) {
        m_nExitCode = ERROR_BUSY;
        return 0;
    }
    m_nExitCode = Changes().DeferredFiles() > 0 ? ERROR_SUCCESS_REBOOT_REQUIRED : ERROR_SUCCESS;
    if (m_nOsFamily == OS_FAMILY_NT || m_nOsFamily == OS_FAMILY_NT5) {
        m_bSpoolerStopIssued = 0;
        OutputDebugStringA("In OnDelete Restarting spooler with event 2");
        StopSpooler(SPOOLER_EVENT_REMOVAL);
    }
    return 1;
}

void CUninstallDlg::PromptRestart() {
    CRebootDlg reboot(this);
    if (m_nOsFamily == OS_FAMILY_NT || m_nOsFamily == OS_FAMILY_NT5) {
        reboot.m_strMessage = LangString(IDS_RESTART_QUESTION);
        if (reboot.DoModal() == IDOK)
            RestartSystem();
        return;
    }
    reboot.m_strMessage = LangString(IDS_RESTART_NOTICE_9X);
    reboot.DoModal();
}

void CUninstallDlg::RestartSystem() {
    CKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Receive())) {
        printf("Error: OpenProcessToken\n");
    } else {
        TOKEN_PRIVILEGES privileges;
        memset(&privileges, 0, sizeof(privileges));
        if (!LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
            printf("Error: LookupPrivilegeValue\n");
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
        // ERROR_NOT_ALL_ASSIGNED: the user may not shut the machine down.
        if (GetLastError() != ERROR_SUCCESS)
            printf("Error: AdjustTokenPrivileges\n");
    }
    if (!ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0))
        printf("Error: ExitWindowsEx\n");
    fflush(stdout);
}

void CUninstallDlg::OnAbout() {
    CAboutDlg about(this);
    about.DoModal();
}

void CUninstallDlg::FreePrinterList() {
    ::FreePrinterList(m_printerList);
}

void CUninstallDlg::OnExit() {
    FreePrinterList();
    EndDialog(2);
}
