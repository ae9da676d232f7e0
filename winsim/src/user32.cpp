// The user32 functions the program calls: thin entry points over the window manager, with fault injection.
#include "w_internal.h"

#include <winsim/codepage.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace winsim;
using namespace winsim::wm;

namespace {

std::string Hex(UINT value) {
    char buf[16];
    snprintf(buf, sizeof(buf), "0x%04X", value);
    return buf;
}

// "#102" for a resource id, the name otherwise; `id` gets the number when there is one.
std::string TemplateName(LPCSTR name, int* id) {
    *id = 0;
    if (!name)
        return "(null)";
    if (IS_INTRESOURCE(name)) {
        *id = LOWORD(reinterpret_cast<ULONG_PTR>(name));
        return "#" + std::to_string(*id);
    }
    if (name[0] == '#')
        *id = atoi(name + 1);
    return name;
}

INT_PTR RunDialogBox(HINSTANCE instance, const uint8_t* data, size_t size, HWND owner, DLGPROC proc, LPARAM param,
                     const std::string& name, int id) {
    HWND hwnd = CreateDialogFrom(instance, data, size, owner, proc, param, true, name, id);
    if (!hwnd)
        return -1;
    Wnd* w = GetAny(hwnd);
    return RunModal(hwnd, w ? w->owner : nullptr);
}

// A dialog template given in memory has no size: read until it ends.
const size_t kIndirectSize = 1 << 20;

}  // namespace

namespace winsim {
namespace wm {

SystemMenu* SystemMenuOf(HWND hwnd, bool create) {
    Wnd* w = Get(hwnd);
    if (!w || !(w->style & WS_SYSMENU))
        return nullptr;
    UiState& s = S();
    auto it = s.systemMenus.find(hwnd);
    if (it != s.systemMenus.end())
        return &s.menus[it->second];
    if (!create)
        return nullptr;
    HMENU menu = reinterpret_cast<HMENU>(s.nextMenu);
    s.nextMenu += 4;
    SystemMenu m;
    m.window = hwnd;
    // A dialog's system menu lists Move and Close; the other commands come with the frame styles.
    if (w->style & WS_MINIMIZEBOX)
        m.items.push_back({SC_RESTORE, MF_GRAYED});
    m.items.push_back({SC_MOVE, MF_ENABLED});
    if (w->style & WS_THICKFRAME)
        m.items.push_back({SC_SIZE, MF_ENABLED});
    if (w->style & WS_MINIMIZEBOX)
        m.items.push_back({SC_MINIMIZE, MF_ENABLED});
    if ((w->style & WS_MAXIMIZEBOX) && !(w->kind == WndKind::Dialog && !(w->style & WS_THICKFRAME)))
        m.items.push_back({SC_MAXIMIZE, MF_ENABLED});
    m.items.push_back({SC_CLOSE, MF_ENABLED});
    s.systemMenus[hwnd] = menu;
    s.menus[menu] = m;
    return &s.menus[menu];
}

}  // namespace wm
}  // namespace winsim

extern "C" {

// ---- dialogs ----

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
    int id = 0;
    std::string name = TemplateName(lpTemplateName, &id);
    SIM_FAULT("DialogBoxParamA", name, -1);
    if (hWndParent && !Get(hWndParent))
        return 0;
    DWORD error = 0;
    const std::vector<uint8_t>* data = FindTemplate(hInstance, lpTemplateName, &error);
    if (!data) {
        SetError(error);
        return -1;
    }
    return RunDialogBox(hInstance, data->data(), data->size(), hWndParent, lpDialogFunc, dwInitParam, name, id);
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA hDialogTemplate, HWND hWndParent,
                                       DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    SIM_FAULT("DialogBoxIndirectParamA", "", -1);
    return RunDialogBox(hInstance, reinterpret_cast<const uint8_t*>(hDialogTemplate), kIndirectSize, hWndParent,
                        lpDialogFunc, dwInitParam, "(indirect)", 0);
}

HWND WINAPI CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam) {
    int id = 0;
    std::string name = TemplateName(lpTemplateName, &id);
    SIM_FAULT("CreateDialogParamA", name, nullptr);
    DWORD error = 0;
    const std::vector<uint8_t>* data = FindTemplate(hInstance, lpTemplateName, &error);
    if (!data) {
        SetError(error);
        return nullptr;
    }
    return CreateDialogFrom(hInstance, data->data(), data->size(), hWndParent, lpDialogFunc, dwInitParam, false,
                            name, id);
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    SIM_FAULT("EndDialog", std::to_string(nResult), FALSE);
    return EndDialogInternal(hDlg, nResult);
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    SIM_FAULT("GetDlgItem", std::to_string(nIDDlgItem), nullptr);
    if (!Check(hDlg))
        return nullptr;
    HWND h = FindChildById(hDlg, nIDDlgItem);
    if (!h)
        SetError(ERROR_CONTROL_ID_NOT_FOUND);
    return h;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
    SIM_FAULT("GetDlgCtrlID", "", 0);
    Wnd* w = Check(hWnd);
    return w ? int(w->id) : 0;
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
    SIM_FAULT("SendDlgItemMessageA", std::to_string(nIDDlgItem) + "," + Hex(Msg), 0);
    HWND ctrl = FindChildById(hDlg, nIDDlgItem);
    return ctrl ? Send(ctrl, Msg, wParam, lParam) : 0;
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
    SIM_FAULT("SetDlgItemTextA", std::to_string(nIDDlgItem), FALSE);
    HWND ctrl = FindChildById(hDlg, nIDDlgItem);
    return ctrl ? BOOL(Send(ctrl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString))) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
    SIM_FAULT("GetDlgItemTextA", std::to_string(nIDDlgItem), 0);
    if (lpString && cchMax > 0)
        lpString[0] = '\0';
    HWND ctrl = FindChildById(hDlg, nIDDlgItem);
    return ctrl ? UINT(Send(ctrl, WM_GETTEXT, WPARAM(cchMax), reinterpret_cast<LPARAM>(lpString))) : 0;
}

BOOL WINAPI SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
    SIM_FAULT("SetDlgItemInt", std::to_string(nIDDlgItem), FALSE);
    char text[20];
    if (bSigned)
        snprintf(text, sizeof(text), "%d", int(uValue));
    else
        snprintf(text, sizeof(text), "%u", uValue);
    HWND ctrl = FindChildById(hDlg, nIDDlgItem);
    if (ctrl)
        Send(ctrl, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    return TRUE;
}

UINT WINAPI GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
    SIM_FAULT("GetDlgItemInt", std::to_string(nIDDlgItem), 0);
    if (lpTranslated)
        *lpTranslated = FALSE;
    char text[32];
    HWND ctrl = FindChildById(hDlg, nIDDlgItem);
    if (!ctrl || !Send(ctrl, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text)))
        return 0;
    char* end = nullptr;
    long long value = bSigned ? strtoll(text, &end, 10) : (long long)strtoull(text, &end, 10);
    if (end == text)
        return 0;
    if (bSigned ? (value < INT32_MIN || value > INT32_MAX) : (value < 0 || value > (long long)UINT32_MAX))
        return 0;
    if (lpTranslated)
        *lpTranslated = TRUE;
    return UINT(value);
}

BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
    SIM_FAULT("IsDialogMessageA", lpMsg ? Hex(lpMsg->message) : "", FALSE);
    return lpMsg && DialogMessage(hDlg, lpMsg) ? TRUE : FALSE;
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
    SIM_FAULT("MapDialogRect", "", FALSE);
    Wnd* w = Get(hDlg);
    if (!w || !w->dialog || !lpRect) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const DialogData& d = *w->dialog;
    // MulDiv: halves round away from zero.
    auto mul = [](LONG v, int n, int den) {
        long long p = (long long)v * n;
        return LONG((p >= 0 ? p + den / 2 : p - den / 2) / den);
    };
    lpRect->left = mul(lpRect->left, d.xBase, 4);
    lpRect->right = mul(lpRect->right, d.xBase, 4);
    lpRect->top = mul(lpRect->top, d.yBase, 8);
    lpRect->bottom = mul(lpRect->bottom, d.yBase, 8);
    return TRUE;
}

// ---- windows ----

BOOL WINAPI DestroyWindow(HWND hWnd) {
    SIM_FAULT("DestroyWindow", HwndText(hWnd), FALSE);
    if (!Check(hWnd))
        return FALSE;
    Destroy(hWnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    SIM_FAULT("IsWindow", "", FALSE);
    return Get(hWnd) ? TRUE : FALSE;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    SIM_FAULT("SetWindowTextA", lpString ? lpString : "", FALSE);
    if (!Check(hWnd))
        return FALSE;
    return BOOL(Send(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)));
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    SIM_FAULT("GetWindowTextA", "", 0);
    if (lpString && nMaxCount > 0)
        lpString[0] = '\0';
    if (!Check(hWnd) || !lpString || nMaxCount <= 0)
        return 0;
    return int(Send(hWnd, WM_GETTEXT, WPARAM(nMaxCount), reinterpret_cast<LPARAM>(lpString)));
}

int WINAPI GetWindowTextLengthA(HWND hWnd) {
    SIM_FAULT("GetWindowTextLengthA", "", 0);
    if (!Check(hWnd))
        return 0;
    return int(Send(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
    SIM_FAULT("EnableWindow", bEnable ? "TRUE" : "FALSE", FALSE);
    if (!Check(hWnd))
        return FALSE;
    return EnableWin(hWnd, bEnable != FALSE) ? TRUE : FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
    SIM_FAULT("IsWindowEnabled", "", FALSE);
    Wnd* w = Check(hWnd);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    SIM_FAULT("ShowWindow", std::to_string(nCmdShow), FALSE);
    if (!Check(hWnd))
        return FALSE;
    return Show(hWnd, nCmdShow);
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
    SIM_FAULT("IsWindowVisible", "", FALSE);
    Wnd* w = Get(hWnd);
    return w && IsVisibleChain(w) ? TRUE : FALSE;
}

BOOL WINAPI IsIconic(HWND hWnd) {
    SIM_FAULT("IsIconic", "", FALSE);
    Wnd* w = Get(hWnd);
    return w && (w->style & WS_MINIMIZE) ? TRUE : FALSE;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
    SIM_FAULT("SetWindowPos", Hex(uFlags), FALSE);
    Wnd* w = Check(hWnd);
    if (!w)
        return FALSE;
    if (!(uFlags & SWP_NOMOVE) || !(uFlags & SWP_NOSIZE))
        Move(w, X, Y, cx, cy, !(uFlags & SWP_NOMOVE), !(uFlags & SWP_NOSIZE));
    if (!(w = Get(hWnd)))
        return TRUE;
    if (!(uFlags & SWP_NOZORDER) && !w->parent && hWndInsertAfter != HWND_BOTTOM) {
        auto& z = S().topLevel;
        z.erase(std::remove(z.begin(), z.end(), hWnd), z.end());
        z.insert(z.begin(), hWnd);
    }
    // Showing or hiding this way sends no WM_SHOWWINDOW.
    if (uFlags & SWP_SHOWWINDOW) {
        if (!(w->style & WS_VISIBLE)) {
            SetVisible(w, true);
            if (!w->parent && !(uFlags & SWP_NOACTIVATE))
                Activate(hWnd);
        }
    } else if (uFlags & SWP_HIDEWINDOW) {
        if (w->style & WS_VISIBLE) {
            SetVisible(w, false);
            UiState& s = S();
            if (!w->parent && s.active == hWnd)
                ActivateOther(hWnd);
        }
    } else if (!w->parent && !(uFlags & SWP_NOACTIVATE) && (w->style & WS_VISIBLE)) {
        Activate(hWnd);
    }
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
    SIM_FAULT("GetWindowRect", "", FALSE);
    Wnd* w = Check(hWnd);
    if (!w || !lpRect)
        return FALSE;
    RECT r = w->rect;
    if (w->parent) {
        POINT o = ClientOrigin(GetAny(w->parent));
        OffsetRect(&r, o.x, o.y);
    }
    *lpRect = r;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
    SIM_FAULT("GetClientRect", "", FALSE);
    Wnd* w = Check(hWnd);
    if (!w || !lpRect)
        return FALSE;
    *lpRect = ClientRectOf(w);
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    SIM_FAULT("ScreenToClient", "", FALSE);
    Wnd* w = Check(hWnd);
    if (!w || !lpPoint)
        return FALSE;
    POINT o = ClientOrigin(w);
    lpPoint->x -= o.x;
    lpPoint->y -= o.y;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
    SIM_FAULT("ClientToScreen", "", FALSE);
    Wnd* w = Check(hWnd);
    if (!w || !lpPoint)
        return FALSE;
    POINT o = ClientOrigin(w);
    lpPoint->x += o.x;
    lpPoint->y += o.y;
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase) {
    SIM_FAULT("InvalidateRect", "", FALSE);
    if (!hWnd) {
        // NULL: every top-level window (the desktop's children).
        for (HWND h : std::vector<HWND>(S().topLevel))
            Invalidate(h, true);
        return TRUE;
    }
    if (!Check(hWnd))
        return FALSE;
    Invalidate(hWnd, false);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND hWnd, const RECT* lpRect) {
    SIM_FAULT("ValidateRect", "", FALSE);
    Wnd* w = Check(hWnd);
    if (!w)
        return FALSE;
    w->needsPaint = false;
    return TRUE;
}

HWND WINAPI GetFocus(void) {
    SIM_FAULT("GetFocus", "", nullptr);
    return S().focus;
}

HWND WINAPI GetActiveWindow(void) {
    SIM_FAULT("GetActiveWindow", "", nullptr);
    return S().active;
}

HWND WINAPI GetParent(HWND hWnd) {
    SIM_FAULT("GetParent", "", nullptr);
    Wnd* w = Check(hWnd);
    if (!w)
        return nullptr;
    if (w->style & WS_CHILD)
        return w->parent;
    // A pop-up window's "parent" is its owner.
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
    SIM_FAULT("GetWindow", std::to_string(uCmd), nullptr);
    Wnd* w = Check(hWnd);
    if (!w)
        return nullptr;
    UiState& s = S();
    auto live = [](const std::vector<HWND>& v) {
        std::vector<HWND> out;
        for (HWND h : v)
            if (Get(h))
                out.push_back(h);
        return out;
    };
    if (uCmd == GW_CHILD) {
        std::vector<HWND> kids = live(w->children);
        return kids.empty() ? nullptr : kids.front();
    }
    if (uCmd == GW_OWNER)
        return w->parent ? nullptr : w->owner;
    std::vector<HWND> siblings = live(w->parent ? Get(w->parent)->children : s.topLevel);
    auto at = std::find(siblings.begin(), siblings.end(), hWnd);
    switch (uCmd) {
    case GW_HWNDFIRST:
        return siblings.empty() ? nullptr : siblings.front();
    case GW_HWNDLAST:
        return siblings.empty() ? nullptr : siblings.back();
    case GW_HWNDNEXT:
        return (at == siblings.end() || at + 1 == siblings.end()) ? nullptr : *(at + 1);
    case GW_HWNDPREV:
        return (at == siblings.end() || at == siblings.begin()) ? nullptr : *(at - 1);
    }
    return nullptr;
}

BOOL WINAPI EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    SIM_FAULT("EnumChildWindows", "", FALSE);
    if (!lpEnumFunc)
        return FALSE;
    std::vector<HWND> all;
    std::vector<HWND> stack;
    if (!hWndParent || hWndParent == S().desktop) {
        stack = S().topLevel;
    } else if (Wnd* p = Check(hWndParent)) {
        stack = p->children;
    } else {
        return FALSE;
    }
    // Depth first, in z-order: each window, then its children.
    std::function<void(HWND)> walk = [&](HWND h) {
        Wnd* w = Get(h);
        if (!w)
            return;
        all.push_back(h);
        for (HWND c : w->children)
            walk(c);
    };
    for (HWND h : stack)
        walk(h);
    for (HWND h : all)
        if (Get(h) && !lpEnumFunc(h, lParam))
            break;
    return TRUE;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
    SIM_FAULT("GetWindowLongPtrA", std::to_string(nIndex), 0);
    Wnd* w = Check(hWnd);
    if (!w)
        return 0;
    switch (nIndex) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWLP_ID:
        return w->id;
    case GWLP_USERDATA:
        return w->userData;
    case GWL_STYLE:
        return LONG_PTR(LONG(w->style));
    case GWL_EXSTYLE:
        return LONG_PTR(LONG(w->exStyle));
    }
    LONG_PTR value = 0;
    if (!GetExtra(w, nIndex, &value)) {
        SetError(ERROR_INVALID_INDEX);
        return 0;
    }
    return value;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    SIM_FAULT("SetWindowLongPtrA", std::to_string(nIndex), 0);
    Wnd* w = Check(hWnd);
    if (!w)
        return 0;
    LONG_PTR old = 0;
    switch (nIndex) {
    case GWLP_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(dwNewLong);
        return old;
    case GWLP_HINSTANCE:
        old = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(dwNewLong);
        return old;
    case GWLP_HWNDPARENT:
        if (w->parent)
            return reinterpret_cast<LONG_PTR>(w->parent);
        old = reinterpret_cast<LONG_PTR>(w->owner);
        w->owner = reinterpret_cast<HWND>(dwNewLong);
        return old;
    case GWLP_ID:
        old = w->id;
        w->id = dwNewLong;
        return old;
    case GWLP_USERDATA:
        old = w->userData;
        w->userData = dwNewLong;
        return old;
    case GWL_STYLE:
        old = LONG_PTR(LONG(w->style));
        w->style = DWORD(dwNewLong);
        return old;
    case GWL_EXSTYLE:
        old = LONG_PTR(LONG(w->exStyle));
        w->exStyle = DWORD(dwNewLong);
        return old;
    }
    if (!GetExtra(w, nIndex, &old) || !SetExtra(w, nIndex, dwNewLong)) {
        SetError(ERROR_INVALID_INDEX);
        return 0;
    }
    return old;
}

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
    SIM_FAULT("GetWindowLongA", std::to_string(nIndex), 0);
    Wnd* w = Check(hWnd);
    if (!w)
        return 0;
    if (nIndex >= 0) {
        LONG_PTR value = 0;
        if (!GetExtra(w, nIndex, &value, sizeof(LONG))) {
            SetError(ERROR_INVALID_INDEX);
            return 0;
        }
        return LONG(value);
    }
    return LONG(GetWindowLongPtrA(hWnd, nIndex));
}

int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
    SIM_FAULT("GetClassNameA", "", 0);
    Wnd* w = Check(hWnd);
    if (!w || !lpClassName || nMaxCount <= 0)
        return 0;
    int n = std::min<int>(int(w->className.size()), nMaxCount - 1);
    memcpy(lpClassName, w->className.data(), size_t(n));
    lpClassName[n] = '\0';
    return n;
}

// ---- messages ----

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    SIM_FAULT("SendMessageA", Hex(Msg), 0);
    if (hWnd == HWND_BROADCAST) {
        for (HWND h : std::vector<HWND>(S().topLevel))
            Send(h, Msg, wParam, lParam);
        return 1;
    }
    if (!Check(hWnd))
        return 0;
    return Send(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    SIM_FAULT("PostMessageA", Hex(Msg), FALSE);
    if (hWnd == HWND_BROADCAST) {
        for (HWND h : S().topLevel)
            Post(h, Msg, wParam, lParam);
        return TRUE;
    }
    if (hWnd && !Check(hWnd))
        return FALSE;
    Post(hWnd, Msg, wParam, lParam);
    return TRUE;
}

VOID WINAPI PostQuitMessage(int nExitCode) {
    UiState& s = S();
    s.quitPending = true;
    s.quitCode = nExitCode;
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    SIM_FAULT("GetMessageA", "", -1);
    if (hWnd && hWnd != reinterpret_cast<HWND>(-1) && !Check(hWnd))
        return -1;
    GetBlocking(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax);
    S().emptyPolls = 0;
    return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    SIM_FAULT("PeekMessageA", "", FALSE);
    if (hWnd && hWnd != reinterpret_cast<HWND>(-1) && !Check(hWnd))
        return FALSE;
    UiState& s = S();
    if (Peek(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg)) {
        s.emptyPolls = 0;
        return TRUE;
    }
    // A loop that only polls, while the clock stands still, would spin for ever.
    Machine& m = Current();
    if (m.now != s.lastPollTime) {
        s.lastPollTime = m.now;
        s.emptyPolls = 0;
    }
    if (++s.emptyPolls > 1000000)
        throw SimAbort("the program polls an empty message queue without ever waiting or letting time pass");
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
    SIM_FAULT("TranslateMessage", lpMsg ? Hex(lpMsg->message) : "", FALSE);
    return lpMsg && Translate(lpMsg) ? TRUE : FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    SIM_FAULT("DispatchMessageA", lpMsg ? Hex(lpMsg->message) : "", 0);
    return lpMsg ? Dispatch(lpMsg) : 0;
}

// ---- timers ----

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    SIM_FAULT("SetTimer", std::to_string(nIDEvent), 0);
    if (hWnd && !Check(hWnd))
        return 0;
    UiState& s = S();
    // Periods are clamped to USER_TIMER_MINIMUM..USER_TIMER_MAXIMUM (Windows XP SP2 and later).
    UINT elapse = std::min<UINT>(std::max<UINT>(uElapse, USER_TIMER_MINIMUM), USER_TIMER_MAXIMUM);
    if (!hWnd) {
        // A thread timer: a new id unless nIDEvent names an existing thread timer.
        auto it = std::find_if(s.timers.begin(), s.timers.end(),
                               [&](const Timer& t) { return !t.hwnd && nIDEvent && t.id == nIDEvent; });
        UINT_PTR id = it != s.timers.end() ? nIDEvent : s.nextTimerId--;
        if (it != s.timers.end())
            s.timers.erase(it);
        s.timers.push_back(Timer{nullptr, id, elapse, Current().now + elapse, lpTimerFunc});
        return id;
    }
    s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(),
                                  [&](const Timer& t) { return t.hwnd == hWnd && t.id == nIDEvent; }),
                   s.timers.end());
    s.timers.push_back(Timer{hWnd, nIDEvent, elapse, Current().now + elapse, lpTimerFunc});
    return nIDEvent ? nIDEvent : 1;
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    SIM_FAULT("KillTimer", std::to_string(uIDEvent), FALSE);
    UiState& s = S();
    auto it = std::find_if(s.timers.begin(), s.timers.end(),
                           [&](const Timer& t) { return t.hwnd == hWnd && t.id == uIDEvent; });
    if (it == s.timers.end()) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    s.timers.erase(it);
    return TRUE;
}

// ---- message boxes ----

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    SIM_FAULT("MessageBoxA", lpText ? lpText : "", 0);
    MessageBoxRecord box;
    box.owner = hWnd;
    box.text = lpText ? lpText : "";
    box.caption = lpCaption ? lpCaption : "Error";  // Windows' caption when none is given
    box.type = uType;
    UiState& s = S();
    s.boxes.push_back(box);
    size_t at = s.boxes.size() - 1;
    int answer = Current().user.AnswerMessageBox(box);
    S().boxes[at].answer = answer;
    return answer;
}

// ---- the system menu ----

HMENU WINAPI GetSystemMenu(HWND hWnd, BOOL bRevert) {
    SIM_FAULT("GetSystemMenu", "", nullptr);
    if (!Check(hWnd))
        return nullptr;
    UiState& s = S();
    if (bRevert) {
        auto it = s.systemMenus.find(hWnd);
        if (it != s.systemMenus.end()) {
            s.menus.erase(it->second);
            s.systemMenus.erase(it);
        }
        return nullptr;
    }
    if (!SystemMenuOf(hWnd, true))
        return nullptr;
    return s.systemMenus[hWnd];
}

static SystemMenu* MenuOf(HMENU menu) {
    auto it = S().menus.find(menu);
    if (it == S().menus.end()) {
        SetError(ERROR_INVALID_MENU_HANDLE);
        return nullptr;
    }
    return &it->second;
}

static SystemMenu::Item* ItemOf(SystemMenu* m, UINT position, UINT flags) {
    if (flags & MF_BYPOSITION)
        return position < m->items.size() ? &m->items[position] : nullptr;
    for (SystemMenu::Item& i : m->items)
        if (i.id == position)
            return &i;
    return nullptr;
}

BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
    SIM_FAULT("EnableMenuItem", Hex(uIDEnableItem), (BOOL)-1);
    SystemMenu* m = MenuOf(hMenu);
    if (!m)
        return -1;
    SystemMenu::Item* item = ItemOf(m, uIDEnableItem, uEnable);
    if (!item)
        return -1;
    UINT old = item->flags & (MF_GRAYED | MF_DISABLED);
    item->flags = (item->flags & ~(MF_GRAYED | MF_DISABLED)) | (uEnable & (MF_GRAYED | MF_DISABLED));
    return BOOL(old);
}

// ---- rectangles ----

BOOL WINAPI SetRect(LPRECT lprc, int xLeft, int yTop, int xRight, int yBottom) {
    if (!lprc)
        return FALSE;
    *lprc = RECT{xLeft, yTop, xRight, yBottom};
    return TRUE;
}

BOOL WINAPI OffsetRect(LPRECT lprc, int dx, int dy) {
    if (!lprc)
        return FALSE;
    lprc->left += dx;
    lprc->right += dx;
    lprc->top += dy;
    lprc->bottom += dy;
    return TRUE;
}

// ---- strings ----

// wsprintf writes at most 1024 bytes, the terminating NUL included.
int WINAPI wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list arglist) {
    char buf[1024];
    int n = vsnprintf(buf, sizeof(buf), lpFmt ? lpFmt : "", arglist);
    if (n < 0)
        n = 0;
    if (n > int(sizeof(buf)) - 1)
        n = int(sizeof(buf)) - 1;
    memcpy(lpOut, buf, size_t(n));
    lpOut[n] = '\0';
    return n;
}

int WINAPIV wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
    va_list args;
    va_start(args, lpFmt);
    int n = wvsprintfA(lpOut, lpFmt, args);
    va_end(args);
    return n;
}

}  // extern "C"
