// CRebootDlg: after a removal, the question whether to restart now (NT) or the restart notice (Windows 9x).
#pragma once

#include "afx/afxwin.h"

class CRebootDlg : public CDialog {
public:
    explicit CRebootDlg(CWnd* parent = NULL);
    ~CRebootDlg() override {}

    // The question or the notice; set before DoModal.
    CString m_strMessage;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    DECLARE_MESSAGE_MAP()
};
