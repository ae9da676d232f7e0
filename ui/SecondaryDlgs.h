// The small dialogs the main dialog opens: About and the reset-spooler notice.
#pragma once

#include "afx/afxwin.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* parent = NULL);
    ~CAboutDlg() override {}

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    CButton m_btnOK;
    CString m_strLine3;
    CString m_strLine4;
    CString m_strLine1;
    CString m_strLine2;

    DECLARE_MESSAGE_MAP()
};

// Modeless notice shown while a printer is removed and the spooler is reset.
class CResetSpoolerDlg : public CDialog {
public:
    explicit CResetSpoolerDlg(CWnd* parent = NULL);
    ~CResetSpoolerDlg() override {}

protected:
    BOOL OnInitDialog() override;
    void OnOK() override { CDialog::OnOK(); }

    DECLARE_MESSAGE_MAP()
};
