// CAboutDlg: the About dialog with four lines of text and the version.
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
