// user32's window entry points: window state, position, relations and rectangles, over the window manager.
#include "w_internal.h"

#include <winsim/codepage.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace winsim;
using namespace winsim::wm;

namespace winsim {
namespace wm {

std::string Hex(UINT value) {
    char buf[16];
    snprintf(buf, sizeof(buf), "0x%04X", value);
    return buf;
}

}  // namespace wm
}  // namespace winsim

extern "C" {

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

}  // extern "C"
