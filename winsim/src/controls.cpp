// The built-in controls besides the list box: buttons, statics, and minimal edit, scroll bar and combo box windows.
#include "w_internal.h"

#include <algorithm>

namespace winsim {
namespace wm {

namespace {

// Button state bits beyond BST_*: the mouse went down on the button and has not come up yet.
const UINT kButtonPressed = 0x0040;

void Notify(Wnd* w, UINT code) {
    if (w->parent)
        Send(w->parent, WM_COMMAND, MAKEWPARAM(LOWORD(w->id), code), reinterpret_cast<LPARAM>(w->handle));
}

bool InClient(Wnd* w, LPARAM lParam) {
    RECT c = ClientRectOf(w);
    short x = short(LOWORD(lParam)), y = short(HIWORD(lParam));
    return x >= c.left && x < c.right && y >= c.top && y < c.bottom;
}

// Automatic radio buttons check themselves and uncheck the others of their group.
void CheckRadioInGroup(Wnd* w) {
    Wnd* parent = Get(w->parent);
    if (!parent)
        return;
    const auto& kids = parent->children;
    auto at = std::find(kids.begin(), kids.end(), w->handle);
    if (at == kids.end())
        return;
    auto start = at;
    while (start != kids.begin() && !(Get(*start) && (Get(*start)->style & WS_GROUP)))
        --start;
    for (auto it = start; it != kids.end(); ++it) {
        Wnd* c = Get(*it);
        if (!c)
            continue;
        if (it != start && (c->style & WS_GROUP))
            break;
        if (c->kind == WndKind::Button && (c->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
            Send(*it, BM_SETCHECK, *it == w->handle ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

}  // namespace

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Wnd* w = Get(hwnd);
    if (!w)
        return 0;
    UINT type = w->style & BS_TYPEMASK;
    switch (msg) {
    case WM_GETDLGCODE:
        switch (type) {
        case BS_USERBUTTON:
        case BS_PUSHBUTTON:
            return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_DEFPUSHBUTTON:
            return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX:
            return DLGC_STATIC;
        default:
            return DLGC_BUTTON;
        }
    case WM_CREATE:
        w->buttonState = BST_UNCHECKED;
        return 0;
    case WM_ENABLE:
        Invalidate(hwnd, false);
        return 0;
    case WM_NCHITTEST:
        // A group box lets the mouse through to what lies beneath it.
        return type == BS_GROUPBOX ? HTTRANSPARENT : HTCLIENT;
    case WM_LBUTTONDBLCLK:
        if ((w->style & BS_NOTIFY) || type == BS_RADIOBUTTON || type == BS_USERBUTTON || type == BS_OWNERDRAW) {
            Notify(w, BN_DOUBLECLICKED);
            return 0;
        }
        [[fallthrough]];
    case WM_LBUTTONDOWN:
        if (type == BS_GROUPBOX)
            return 0;
        CaptureMouse(hwnd);
        SetFocusTo(hwnd);
        if ((w = Get(hwnd))) {
            w->buttonState |= kButtonPressed;
            Send(hwnd, BM_SETSTATE, TRUE, 0);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && type != BS_GROUPBOX) {
            w->buttonState |= kButtonPressed;
            Send(hwnd, BM_SETSTATE, TRUE, 0);
        }
        return 0;
    case WM_KEYUP:
    case WM_LBUTTONUP: {
        if (msg == WM_KEYUP && wParam != VK_SPACE)
            return 0;
        if (!(w->buttonState & kButtonPressed))
            return 0;
        w->buttonState &= ~kButtonPressed;
        bool pushed = (w->buttonState & BST_PUSHED) != 0;
        if (!pushed) {
            CaptureMouse(nullptr);
            return 0;
        }
        Send(hwnd, BM_SETSTATE, FALSE, 0);
        if (!(w = Get(hwnd)))
            return 0;
        if (msg == WM_KEYUP || InClient(w, lParam)) {
            switch (type) {
            case BS_AUTOCHECKBOX:
                Send(hwnd, BM_SETCHECK, !(w->buttonState & BST_CHECKED), 0);
                break;
            case BS_AUTORADIOBUTTON:
                CheckRadioInGroup(w);
                break;
            case BS_AUTO3STATE:
                Send(hwnd, BM_SETCHECK, ((w->buttonState & 3) + 1) % 3, 0);
                break;
            }
            CaptureMouse(nullptr);
            if ((w = Get(hwnd)))
                Notify(w, BN_CLICKED);
        } else {
            CaptureMouse(nullptr);
        }
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd && (w->buttonState & kButtonPressed)) {
            w->buttonState &= ~kButtonPressed;
            if (w->buttonState & BST_PUSHED)
                Send(hwnd, BM_SETSTATE, FALSE, 0);
        }
        return 0;
    case BM_CLICK:
        Send(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        Send(hwnd, WM_LBUTTONUP, 0, 0);
        return 0;
    case BM_GETCHECK:
        return w->buttonState & 3;
    case BM_SETCHECK:
        if (type == BS_GROUPBOX || type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
            return 0;
        w->buttonState = (w->buttonState & ~3u) | (UINT(wParam) & 3);
        Invalidate(hwnd, false);
        return 0;
    case BM_GETSTATE:
        return w->buttonState & (BST_CHECKED | BST_INDETERMINATE | BST_PUSHED | BST_FOCUS);
    case BM_SETSTATE:
        if (wParam)
            w->buttonState |= BST_PUSHED;
        else
            w->buttonState &= ~BST_PUSHED;
        Invalidate(hwnd, false);
        return 0;
    case BM_SETSTYLE:
        // Only the type changes (BS_PUSHBUTTON <-> BS_DEFPUSHBUTTON when the default moves).
        w->style = (w->style & ~DWORD(BS_TYPEMASK)) | (DWORD(wParam) & BS_TYPEMASK);
        if (lParam)
            Invalidate(hwnd, false);
        return 0;
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        if (lParam)
            Invalidate(hwnd, false);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(w->font);
    case WM_SETTEXT:
        DefWindow(hwnd, msg, wParam, lParam);
        Invalidate(hwnd, false);
        return TRUE;
    case WM_SETFOCUS:
        w->buttonState |= BST_FOCUS;
        Invalidate(hwnd, false);
        if (w->style & BS_NOTIFY)
            Notify(w, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        w->buttonState &= ~BST_FOCUS;
        if ((w->buttonState & kButtonPressed) && S().capture == hwnd)
            CaptureMouse(nullptr);
        if ((w = Get(hwnd))) {
            Invalidate(hwnd, false);
            if (w->style & BS_NOTIFY)
                Notify(w, BN_KILLFOCUS);
        }
        return 0;
    case WM_PAINT:
        w->needsPaint = false;
        return 0;
    }
    return DefWindow(hwnd, msg, wParam, lParam);
}

namespace {

HICON SetStaticIcon(Wnd* w, HICON icon) {
    if ((w->style & SS_TYPEMASK) != SS_ICON)
        return nullptr;
    HICON old = w->image;
    w->image = icon;
    // The control takes the icon's size unless told to keep its own (SM_CXICON x SM_CYICON).
    if (icon && !(w->style & (SS_CENTERIMAGE | SS_REALSIZECONTROL)))
        Move(w, 0, 0, 32, 32, false, true);
    Invalidate(w->handle, false);
    return old;
}

// The icon an SS_ICON control names: "\xff" + id from a template, or a resource name.
HICON LoadNamedIcon(HINSTANCE instance, const char* name) {
    if (!name || !*name)
        return nullptr;
    if (static_cast<unsigned char>(name[0]) == 0xFF) {
        WORD id = WORD(static_cast<unsigned char>(name[1]) | static_cast<unsigned char>(name[2]) << 8);
        return LoadModuleIcon(instance, MAKEINTRESOURCEA(id));
    }
    return LoadModuleIcon(instance, name);
}

}  // namespace

// Only statics that draw text keep a font.
static bool StaticHasText(UINT type) {
    return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP ||
           type == SS_OWNERDRAW;
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Wnd* w = Get(hwnd);
    if (!w)
        return 0;
    UINT type = w->style & SS_TYPEMASK;
    switch (msg) {
    case WM_NCCREATE: {
        const CREATESTRUCTA* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (w->style & SS_SUNKEN)
            w->exStyle |= WS_EX_STATICEDGE;
        if (type == SS_ICON && cs)
            SetStaticIcon(w, LoadNamedIcon(cs->hInstance, cs->lpszName));
        return DefWindow(hwnd, msg, wParam, lParam);
    }
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_NCHITTEST:
        return (w->style & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
    case WM_LBUTTONDOWN:
        if (w->style & SS_NOTIFY)
            Notify(w, STN_CLICKED);
        return 0;
    case STM_SETICON:
        return reinterpret_cast<LRESULT>(SetStaticIcon(w, reinterpret_cast<HICON>(wParam)));
    case STM_GETICON:
        return reinterpret_cast<LRESULT>(w->image);
    case STM_SETIMAGE:
        // IMAGE_ICON (1) on an icon control; bitmaps are not modelled.
        if (wParam == 1)
            return reinterpret_cast<LRESULT>(SetStaticIcon(w, reinterpret_cast<HICON>(lParam)));
        return 0;
    case STM_GETIMAGE:
        return wParam == 1 && type == SS_ICON ? reinterpret_cast<LRESULT>(w->image) : 0;
    case WM_SETTEXT:
        if (type == SS_ICON) {
            SetStaticIcon(w, LoadNamedIcon(w->instance, reinterpret_cast<const char*>(lParam)));
            return TRUE;
        }
        DefWindow(hwnd, msg, wParam, lParam);
        Invalidate(hwnd, false);
        return TRUE;
    case WM_SETFONT:
        if (StaticHasText(type)) {
            w->font = reinterpret_cast<HFONT>(wParam);
            if (lParam)
                Invalidate(hwnd, false);
        }
        return 0;
    case WM_GETFONT:
        return StaticHasText(type) ? reinterpret_cast<LRESULT>(w->font) : 0;
    case WM_ENABLE:
        Invalidate(hwnd, false);
        return 0;
    case WM_PAINT:
        w->needsPaint = false;
        return 0;
    }
    return DefWindow(hwnd, msg, wParam, lParam);
}

}  // namespace wm
}  // namespace winsim
