// The small dialog framework: application object, windows, dialogs with message maps and data exchange, GDI wrappers.
#pragma once

#include <windows.h>

#include "afx/afxcoll.h"
#include "afx/afxstr.h"

class CWnd;
class CDialog;

// ---- message maps ---------------------------------------------------------------------------
// Each entry routes one message (and for WM_COMMAND one notification code and control id) to a
// thunk that calls the handler with its own signature. `handled` starts TRUE; a handler that
// wants default processing calls Default(), which clears it.
typedef LRESULT (*AFX_THUNK)(CWnd* wnd, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    AFX_THUNK pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                       \
protected:                                          \
    static const AFX_MSGMAP* GetThisMessageMap();   \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                   \
    const AFX_MSGMAP* theClass::GetMessageMap() const {                          \
        return GetThisMessageMap();                                              \
    }                                                                            \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                            \
        typedef theClass ThisClass;                                              \
        typedef baseClass TheBaseClass;                                          \
        static_assert(sizeof(ThisClass) > 0, "complete class");                  \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                        \
    { 0, 0, 0, nullptr }                                                         \
    }                                                                            \
    ;                                                                            \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    return &messageMap;                                                          \
    }

#define AFX_WND(w) static_cast<ThisClass*>(w)

#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, 0, (UINT)(id), [](CWnd* w, WPARAM, LPARAM) -> LRESULT { AFX_WND(w)->memberFxn(); return 0; }},
#define ON_BN_CLICKED(id, memberFxn) \
    {WM_COMMAND, BN_CLICKED, (UINT)(id), [](CWnd* w, WPARAM, LPARAM) -> LRESULT { AFX_WND(w)->memberFxn(); return 0; }},
#define ON_LBN_SELCHANGE(id, memberFxn) \
    {WM_COMMAND, LBN_SELCHANGE, (UINT)(id), [](CWnd* w, WPARAM, LPARAM) -> LRESULT { AFX_WND(w)->memberFxn(); return 0; }},
#define ON_WM_PAINT() \
    {WM_PAINT, 0, 0, [](CWnd* w, WPARAM, LPARAM) -> LRESULT { AFX_WND(w)->OnPaint(); return 0; }},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, [](CWnd* w, WPARAM, LPARAM) -> LRESULT { return (LRESULT)AFX_WND(w)->OnQueryDragIcon(); }},
#define ON_WM_TIMER() \
    {WM_TIMER, 0, 0, [](CWnd* w, WPARAM wp, LPARAM) -> LRESULT { AFX_WND(w)->OnTimer((UINT_PTR)wp); return 0; }},
#define ON_WM_SETCURSOR()                                                                     \
    {WM_SETCURSOR, 0, 0, [](CWnd* w, WPARAM wp, LPARAM lp) -> LRESULT {                       \
         return AFX_WND(w)->OnSetCursor(CWnd::FromHandle((HWND)wp), LOWORD(lp), HIWORD(lp)); \
     }},

// ---- windows --------------------------------------------------------------------------------
// A window wrapper does not own its window.
class CWnd : public CObject {
public:
    CWnd() {}
    ~CWnd() override {}

    HWND m_hWnd = NULL;
    operator HWND() const { return m_hWnd; }
    // A wrapper for a window the framework does not manage; valid until the next call.
    static CWnd* FromHandle(HWND hWnd);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void SetWindowText(LPCSTR text) { ::SetWindowTextA(m_hWnd, text); }
    void GetWindowText(CString& text) const;
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    HICON SetIcon(HICON icon, BOOL big) { return (HICON)SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, (LPARAM)icon); }
    BOOL DestroyWindow();

    // Dispatches a message through the message maps; returns TRUE when a handler took it.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

protected:
    // Asks for the default processing of the message being handled.
    void Default() { m_bDefault = TRUE; }

    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
    friend class CDialog;

private:
    BOOL m_bDefault = FALSE;
};

class CButton : public CWnd {};

// ---- GDI ------------------------------------------------------------------------------------
// Owns one font; deletes it when destroyed.
class CFont : public CObject {
public:
    CFont() {}
    ~CFont() override { DeleteObject(); }
    HFONT m_hObject = NULL;
    operator HFONT() const { return m_hObject; }
    BOOL CreateFontIndirect(const LOGFONTA* logFont);
    // Deletes the held font and clears the handle; FALSE when none was held.
    BOOL DeleteObject();
};

// BeginPaint in the constructor, EndPaint in the destructor.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC();
    HDC m_hDC;
    PAINTSTRUCT m_ps;
    operator HDC() const { return m_hDC; }

private:
    HWND m_hWnd;
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
};

// ---- dialog data exchange -------------------------------------------------------------------
class CDataExchange {
public:
    CDataExchange(CWnd* dlg, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dlg) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
};

void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
void DDX_Text(CDataExchange* pDX, int id, CString& value);

// ---- dialogs --------------------------------------------------------------------------------
class CDialog : public CWnd {
public:
    CDialog(UINT templateId, CWnd* parent = NULL);
    ~CDialog() override;

    // Runs the dialog modally; returns the value given to EndDialog, or -1 when it cannot be shown.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless; TRUE when the window exists.
    BOOL Create(UINT templateId, CWnd* parent = NULL);
    void EndDialog(int result) { ::EndDialog(m_hWnd, result); }
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    virtual BOOL OnInitDialog();
    virtual void OnSetFont(CFont* font) {}

protected:
    virtual void DoDataExchange(CDataExchange* pDX) {}
    virtual void OnOK();
    virtual void OnCancel();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    // A modal dialog whose template says visible is shown right after WM_INITDIALOG, even when
    // the dialog hid itself there; set this to run it from a copy of the template that is not.
    BOOL m_bCreateHidden = FALSE;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void HookCreation();
};

// ---- application ----------------------------------------------------------------------------
class CWinApp : public CObject {
public:
    explicit CWinApp(LPCSTR appName = NULL);
    ~CWinApp() override;

    HINSTANCE m_hInstance = NULL;
    LPSTR m_lpCmdLine = NULL;
    LPCSTR m_pszAppName;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }
    virtual int Run();
    // The three-dimensional control look is the system's own from Windows 95 and NT 4 on.
    BOOL Enable3dControls() { return TRUE; }
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// The framework's start-up: skips the program's name and the blanks after it in the command
// line, calls InitInstance, and ends the program when it returns FALSE.
int AfxWinMain(HINSTANCE hInstance, int nCmdShow);
// What follows the program's name in `commandLine`, leading blanks and control characters skipped.
LPSTR AfxSkipProgramName(LPSTR commandLine);
