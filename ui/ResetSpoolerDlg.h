// CResetSpoolerDlg: the modeless notice shown while a printer is removed and the spooler is reset.
#pragma once

#include "afx/afxwin.h"

class CResetSpoolerDlg : public CDialog {
public:
    explicit CResetSpoolerDlg(CWnd* parent = NULL);
    ~CResetSpoolerDlg() override {}

protected:
    BOOL OnInitDialog() override;
    void OnOK() override { CDialog::OnOK(); }

    DECLARE_MESSAGE_MAP()
};
