// CUninstallDlg: the main dialog, owner of one removal run and of its printer entries.
#pragma once

#include "afx/afxwin.h"
#include "engine/PrinterEntry.h"
#include "ui/Language.h"
#include "ui/ResetSpoolerDlg.h"

// Timer events of the main dialog: the spooler cycles before the enumeration and after a removal.
#define SPOOLER_EVENT_STARTUP 1
#define SPOOLER_EVENT_REMOVAL 2

class CUninstallDlg : public CDialog {
public:
    // `cmdLine` 0: interactive; 1: removes `printerName` without showing anything.
    CUninstallDlg(CWnd* parent, int cmdLine, CString printerName);
    // Deletes the UI font, frees the language library and every printer entry.
    ~CUninstallDlg() override;

    // Fills the printer list anew from m_printerList.
    void FillPrinterList();
    // Fills the files list anew for the printer selected in the printer list.
    void ShowPrinterFiles();
    // First entry whose printer name equals `name` byte for byte; removed entries included.
    CPrinterEntry* FindPrinterEntry(LPCSTR name);

    // Sets m_nOsFamily and m_nXpMark from the system version.
    void DetectOsFamily();
    // Sets m_strDriverDir; leaves it unchanged when the spooler reports no size.
    void GetDriverDirectory();
    // Appends one prepared entry per enumerated printer; nonzero when there was at least one.
    int EnumeratePrinters();

    // The removal of the selected printer (Delete, 1004).
    void OnDelete();
    // The removal of m_strCmdPrinter in command-line mode; 1 when it ran to its end, else 0.
    int OnDeleteCmdline();
    // Asks the spooler to stop and arms timer `eventId` (none for 0) to bring it back; 0 when the
    // service cannot be opened (no stop was sent).
    int StopSpooler(UINT eventId);
    // Offers the restart (NT) or shows the restart notice (Windows 9x).
    void PromptRestart();
    // Enables the shutdown privilege and restarts the machine, forced.
    void RestartSystem();

    // Chooses the language library and the font face for a language's English name.
    void SelectLanguage(LPCSTR languageName);
    // Creates the UI font into g_uiFont; nonzero when a font was created.
    int CreateUiFont(LPCSTR languageName);

    HMODULE m_hLangLib;
    int m_bSpoolerStopIssued;
    CResetSpoolerDlg m_resetSpoolerDlg;
    CString m_strDriverDir;
    int m_nOsFamily;
    int m_nXpMark;
    CObList m_printerList;
    CButton m_btnDelete;
    CString m_strSelectLabel;
    CString m_strFilesLabel;
    HICON m_hIcon;
    int m_bWaitCursor;
    CString m_strFontFace;
    int m_bCmdLine;
    CString m_strCmdPrinter;

    // The outcome of a command-line run as a process exit code: 0 removed; 3010 removed, and a file
    // in use waits for the restart; else the Win32 code of what went wrong.
    DWORD m_nExitCode;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnSetFont(CFont* font) override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnSelchangePrinterList();
    void OnAbout();
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
    void OnTimer(UINT_PTR eventId);
    void OnExit();

    DECLARE_MESSAGE_MAP()

private:
    // In command-line mode: dispatches messages until the pending spooler cycle has completed or was
    // abandoned, at most kSpoolerCycleWaitMs, so the run never ends with the spooler stopped; a cycle
    // still pending then is abandoned.
    void WaitForSpoolerCycle();
    // Without a window: polls the spooler until it runs again (starting it when stopped), bounded.
    void FinishSpoolerCycle();
    // Reads the driver directory and enumerates the printers into m_printerList.
    void EnumerateNow();

    UINT m_nPendingEvent;       // the spooler cycle under way (its timer event), or 0
    BOOL m_bCycleAbandoned;     // the spooler refused to start again
    BOOL m_bListArrived;        // the printers have been enumerated

    // Takes every entry off m_printerList and deletes it with its driver files.
    void FreePrinterList();
    // Text of the selected line of the printer list; FALSE when no line is selected.
    BOOL GetSelectedPrinter(CString& name);
    CString LangString(UINT id) const { return LoadLibraryString(m_hLangLib, id); }
};
