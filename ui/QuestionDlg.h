// CQuestionDlg: a message with OK and Cancel: the confirmation before a removal (IDD_WARNING) and,
// after it, the restart question on NT or the restart notice on Windows 9x (IDD_REBOOT).
#pragma once

#include "afx/afxwin.h"

class CQuestionDlg : public CDialog {
public:
    // `templateId` is IDD_WARNING or IDD_REBOOT; it also chooses the caption.
    CQuestionDlg(UINT templateId, CWnd* parent = NULL);
    ~CQuestionDlg() override {}

    // The question or the notice, with the printer's name where it has one; set before DoModal.
    CString m_strMessage;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    DECLARE_MESSAGE_MAP()

private:
    UINT m_nTemplateId;
};
