// CUninstallDlg: the main dialog: shows one removal run and ticks its spooler cycle.
#pragma once

#include "afx/afxwin.h"
#include "engine/RemovalRun.h"
#include "ui/Language.h"
#include "ui/ResetSpoolerDlg.h"

class CUninstallDlg : public CDialog {
public:
    // `cmdLine` 0: interactive; 1: removes `printerName` without showing anything.
    CUninstallDlg(CWnd* parent, int cmdLine, CString printerName);
    // Deletes the UI font, frees the language library and the run.
    ~CUninstallDlg() override;

    // Fills the printer list anew with the printers the run offers.
    void FillPrinterList();
    // Fills the files list anew for the printer selected in the printer list.
    void ShowPrinterFiles();

    // The removal of the selected printer (Delete, 1004).
    void OnDelete();
    // The removal of m_strCmdPrinter in command-line mode; 1 when it ran to its end, else 0.
    int OnDeleteCmdline();
    // Arms the timer that ticks the run's spooler cycle `eventId` once a second; 0 for no cycle.
    int ArmCycleTimer(UINT eventId);
    // Offers the restart (NT) or shows the restart notice (Windows 9x).
    void PromptRestart();

    // Chooses the language library and the font face for a language's English name.
    void SelectLanguage(LPCSTR languageName);
    // Creates the UI font into g_uiFont; nonzero when a font was created.
    int CreateUiFont(LPCSTR languageName);

    HMODULE m_hLangLib;
    CResetSpoolerDlg m_resetSpoolerDlg;
    CRemovalRun m_run;
    CButton m_btnDelete;
    CString m_strSelectLabel;
    CString m_strFilesLabel;
    HICON m_hIcon;
    int m_bWaitCursor;
    CString m_strFontFace;
    int m_bCmdLine;
    CString m_strCmdPrinter;

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
    // abandoned, at most SPOOLER_CYCLE_WAIT_MS, so the run never ends with the spooler stopped; a cycle
    // still pending then is abandoned.
    void WaitForSpoolerCycle();
    // Text of the selected line of the printer list; FALSE when no line is selected.
    BOOL GetSelectedPrinter(CString& name);
    CString LangString(UINT id) const { return LoadLibraryString(m_hLangLib, id); }
};
