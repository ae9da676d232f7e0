// Windows, dialogs, message dispatch, data exchange, GDI wrappers and the application start-up.
#include "afx/afxwin.h"

#include <string.h>
#include <vector>

namespace {

CWinApp* g_pApp = NULL;
// The dialog object whose window is being created: the first message to a window that has no
// object yet (WM_SETFONT comes before WM_INITDIALOG) attaches it.
CDialog* g_pDialogInCreation = NULL;

CDialog* FromDialogWindow(HWND hWnd) {
    return reinterpret_cast<CDialog*>(GetWindowLongPtrA(hWnd, DWLP_USER));
}

}  // namespace

// ---- CWnd -----------------------------------------------------------------------------------

CWnd* CWnd::FromHandle(HWND hWnd) {
    static CWnd temporary;
    temporary.m_hWnd = hWnd;
    return &temporary;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::GetWindowText(CString& text) const {
    int length = GetWindowTextLengthA(m_hWnd);
    LPSTR buffer = text.GetBuffer(length + 1);
    ::GetWindowTextA(m_hWnd, buffer, length + 1);
    text.ReleaseBuffer();
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, entries};
    return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const {
    return GetThisMessageMap();
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    UINT code = message == WM_COMMAND ? HIWORD(wParam) : 0;
    UINT id = message == WM_COMMAND ? LOWORD(wParam) : 0;
    // The most derived map first, so a class overrides its base's entries.
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e) {
            if (e->nMessage != message)
                continue;
            if (message == WM_COMMAND && (e->nID != id || e->nCode != code))
                continue;
            BOOL savedDefault = m_bDefault;
            m_bDefault = FALSE;
            *result = e->pfn(this, wParam, lParam);
            BOOL handled = !m_bDefault;
            m_bDefault = savedDefault;
            return handled;
        }
    }
    return FALSE;
}

// ---- CFont, CPaintDC ------------------------------------------------------------------------

BOOL CFont::CreateFontIndirect(const LOGFONTA* logFont) {
    HFONT font = ::CreateFontIndirectA(logFont);
    if (!font)
        return FALSE;
    DeleteObject();
    m_hObject = font;
    return TRUE;
}

BOOL CFont::DeleteObject() {
    if (!m_hObject)
        return FALSE;
    BOOL ok = ::DeleteObject(m_hObject);
    m_hObject = NULL;
    return ok;
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd->m_hWnd) {
    m_hDC = BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC() {
    EndPaint(m_hWnd, &m_ps);
}

// ---- data exchange --------------------------------------------------------------------------

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (!control.m_hWnd)
        control.m_hWnd = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
    HWND control = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
    if (pDX->m_bSaveAndValidate) {
        CWnd::FromHandle(control)->GetWindowText(value);
    } else {
        ::SetWindowTextA(control, value);
    }
}

// ---- CDialog --------------------------------------------------------------------------------

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() {
    if (m_hWnd) {
        SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
        ::DestroyWindow(m_hWnd);
        m_hWnd = NULL;
    }
}

void CDialog::HookCreation() {
    g_pDialogInCreation = this;
}

// A copy of dialog template `id` without WS_VISIBLE; empty when the template cannot be loaded.
static std::vector<BYTE> LoadHiddenTemplate(HINSTANCE module, UINT id) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_DIALOG);
    HGLOBAL loaded = found ? LoadResource(module, found) : NULL;
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : NULL;
    DWORD size = found ? SizeofResource(module, found) : 0;
    if (!data || size < 16)
        return std::vector<BYTE>();
    std::vector<BYTE> copy(data, data + size);
    // DLGTEMPLATEEX starts with version 1 and signature 0xFFFF, its style at offset 12;
    // DLGTEMPLATE has the style first.
    const bool extended = copy[0] == 1 && copy[1] == 0 && copy[2] == 0xFF && copy[3] == 0xFF;
    DWORD style;
    memcpy(&style, &copy[extended ? 12 : 0], sizeof(style));
    style &= ~(DWORD)WS_VISIBLE;
    memcpy(&copy[extended ? 12 : 0], &style, sizeof(style));
    return copy;
}

INT_PTR CDialog::DoModal() {
    HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : NULL;
    INT_PTR result;
    HookCreation();
    if (m_bCreateHidden) {
        std::vector<BYTE> hidden = LoadHiddenTemplate(AfxGetInstanceHandle(), m_nIDTemplate);
        result = !hidden.empty() ? DialogBoxIndirectParamA(AfxGetInstanceHandle(),
                                                           reinterpret_cast<LPCDLGTEMPLATEA>(hidden.data()),
                                                           parent, DialogProc, (LPARAM)this)
                                 : -1;
    } else {
        result = DialogBoxParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), parent, DialogProc,
                                 (LPARAM)this);
    }
    g_pDialogInCreation = NULL;
    m_hWnd = NULL;
    return result;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    HookCreation();
    HWND hWnd = CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(templateId),
                                   parent ? parent->m_hWnd : NULL, DialogProc, (LPARAM)this);
    g_pDialogInCreation = NULL;
    return hWnd != NULL;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    {WM_COMMAND, BN_CLICKED, IDOK, [](CWnd* w, WPARAM, LPARAM) -> LRESULT { AFX_WND(w)->OnOK(); return 0; }},
    {WM_COMMAND, BN_CLICKED, IDCANCEL, [](CWnd* w, WPARAM, LPARAM) -> LRESULT { AFX_WND(w)->OnCancel(); return 0; }},
END_MESSAGE_MAP()

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dlg = FromDialogWindow(hWnd);
    if (!dlg && g_pDialogInCreation) {
        dlg = g_pDialogInCreation;
        g_pDialogInCreation = NULL;
        dlg->m_hWnd = hWnd;
        SetWindowLongPtrA(hWnd, DWLP_USER, (LONG_PTR)dlg);
    }
    if (!dlg)
        return FALSE;

    switch (message) {
    case WM_INITDIALOG:
        return dlg->OnInitDialog();
    case WM_SETFONT:
        // The framework hands the template font to OnSetFont; the window keeps it by default.
        {
            CFont font;
            font.m_hObject = (HFONT)wParam;
            dlg->OnSetFont(&font);
            font.m_hObject = NULL;
        }
        return FALSE;
    case WM_NCDESTROY:
        SetWindowLongPtrA(hWnd, DWLP_USER, 0);
        dlg->m_hWnd = NULL;
        return FALSE;
    default:
        break;
    }

    LRESULT result = 0;
    if (!dlg->OnWndMsg(message, wParam, lParam, &result))
        return FALSE;
    // WM_QUERYDRAGICON returns its result directly; others go through DWLP_MSGRESULT.
    if (message == WM_QUERYDRAGICON)
        return (INT_PTR)result;
    SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

// ---- application ----------------------------------------------------------------------------

CWinApp::CWinApp(LPCSTR appName) : m_pszAppName(appName) {
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this)
        g_pApp = NULL;
}

int CWinApp::Run() {
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return ExitInstance();
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

HINSTANCE AfxGetInstanceHandle() {
    return g_pApp ? g_pApp->m_hInstance : GetModuleHandleA(NULL);
}

LPSTR AfxSkipProgramName(LPSTR p) {
    if (*p == '"') {
        ++p;
        while (*p && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    } else {
        while ((unsigned char)*p > ' ')
            ++p;
    }
    while (*p && (unsigned char)*p <= ' ')
        ++p;
    return p;
}

int AfxWinMain(HINSTANCE hInstance, int nCmdShow) {
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = hInstance;
    app->m_lpCmdLine = AfxSkipProgramName(GetCommandLineA());
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}
