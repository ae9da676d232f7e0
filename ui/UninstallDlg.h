// CUninstallDlg: the main dialog, owner of one removal run and of its printer entries.
#pragma once

#include "afx/afxwin.h"
#include "engine/PrinterEntry.h"
#include "ui/Language.h"
#include "ui/SecondaryDlgs.h"

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

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnSetFont(CFont* font) override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnSelchangePrinterList();
    void OnAbout();
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
    void OnExit();

    DECLARE_MESSAGE_MAP()

private:
    // Takes every entry off m_printerList and deletes it with its driver files.
    void FreePrinterList();
    // Text of the selected line of the printer list; FALSE when no line is selected.
    BOOL GetSelectedPrinter(CString& name);
    CString LangString(UINT id) const { return LoadLibraryString(m_hLangLib, id); }
};
