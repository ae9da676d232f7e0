// CWarningDlg: the confirmation shown before the selected printer is removed.
#pragma once

#include "afx/afxwin.h"

class CWarningDlg : public CDialog {
public:
    explicit CWarningDlg(CWnd* parent = NULL);
    ~CWarningDlg() override {}

    // The question, with the printer's name; set before DoModal.
    CString m_strMessage;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    DECLARE_MESSAGE_MAP()
};
