// The window manager: window records, classes, geometry, creation and destruction, showing, focus and activation.
#include "w_internal.h"

#include <winsim/codepage.h>

#include <algorithm>
#include <cstdio>

namespace winsim {

namespace {

// Metrics of the simulated screen (Windows classic look at 96 dpi).
const int kScreenWidth = 1024;
const int kScreenHeight = 768;
const int kCaption = 19;
const int kDialogFrame = 3;
const int kSizingFrame = 4;
const int kEdge = 2;
const int kScrollBar = 16;

bool SameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x -= 32;
        if (y >= 'a' && y <= 'z')
            y -= 32;
        if (x != y)
            return false;
    }
    return true;
}

void Unlink(UiState& s, Wnd* w) {
    if (w->parent) {
        if (Wnd* p = wm::GetAny(w->parent)) {
            auto& c = p->children;
            c.erase(std::remove(c.begin(), c.end(), w->handle), c.end());
        }
    } else {
        s.topLevel.erase(std::remove(s.topLevel.begin(), s.topLevel.end(), w->handle), s.topLevel.end());
    }
}

}  // namespace

// The window Windows activates when the active one goes away: its owner when that can take it, else
// the topmost other visible, enabled top-level window.
void wm::ActivateOther(HWND leaving) {
    UiState& s = wm::S();
    Wnd* w = wm::GetAny(leaving);
    if (w && w->owner) {
        Wnd* o = wm::Get(w->owner);
        if (o && (o->style & WS_VISIBLE) && !(o->style & WS_DISABLED)) {
            wm::Activate(w->owner);
            return;
        }
    }
    for (HWND h : s.topLevel) {
        Wnd* t = wm::Get(h);
        if (h != leaving && t && !t->destroying && (t->style & WS_VISIBLE) && !(t->style & WS_DISABLED)) {
            wm::Activate(h);
            return;
        }
    }
    wm::Activate(nullptr);
}


// ---- Ui: what tests read ----

Ui::Ui() : m_state(new UiState) {
    wm::RegisterSystemClasses(*m_state);
    // The desktop is a window too: GetDesktopWindow and IsWindow must agree.
    auto desk = std::make_unique<Wnd>();
    desk->handle = reinterpret_cast<HWND>(uintptr_t(0x00010010));
    desk->className = "#32769";
    desk->style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    desk->rect = RECT{0, 0, kScreenWidth, kScreenHeight};
    desk->proc = wm::DefWindow;
    m_state->desktop = desk->handle;
    m_state->windows[desk->handle] = std::move(desk);
}

Ui::~Ui() = default;

const std::vector<DialogRecord>& Ui::Dialogs() const {
    return m_state->dialogs;
}

const DialogRecord* Ui::LastDialog(int templateId) const {
    for (auto it = m_state->dialogs.rbegin(); it != m_state->dialogs.rend(); ++it)
        if (it->templateId == templateId)
            return &*it;
    return nullptr;
}

int Ui::CountDialogs(int templateId) const {
    int n = 0;
    for (const DialogRecord& d : m_state->dialogs)
        n += d.templateId == templateId;
    return n;
}

HWND Ui::ActiveDialog() const {
    for (HWND h : m_state->topLevel) {
        auto it = m_state->windows.find(h);
        if (it == m_state->windows.end())
            continue;
        const Wnd* w = it->second.get();
        if (w->destroyed || w->destroying || w->kind != WndKind::Dialog)
            continue;
        if ((w->style & WS_VISIBLE) && !(w->style & WS_DISABLED))
            return h;
    }
    return nullptr;
}

std::vector<HWND> Ui::TopLevelWindows() const {
    return m_state->topLevel;
}

std::string Ui::Text(HWND window) const {
    auto it = m_state->windows.find(window);
    return it == m_state->windows.end() ? std::string() : wm::ToA(it->second->text);
}

std::string Ui::TextUtf8(HWND window) const {
    auto it = m_state->windows.find(window);
    return it == m_state->windows.end() ? std::string() : wm::ToUtf8(it->second->text);
}

std::string Ui::ClassName(HWND window) const {
    auto it = m_state->windows.find(window);
    return it == m_state->windows.end() ? std::string() : it->second->className;
}

HFONT Ui::FontOf(HWND window) const {
    auto it = m_state->windows.find(window);
    return it == m_state->windows.end() ? nullptr : it->second->lastSetFont;
}

HICON Ui::IconOf(HWND window, bool big) const {
    auto it = m_state->windows.find(window);
    if (it == m_state->windows.end())
        return nullptr;
    return big ? it->second->iconBig : it->second->iconSmall;
}

bool Ui::NeedsPaint(HWND window) const {
    auto it = m_state->windows.find(window);
    return it != m_state->windows.end() && !it->second->destroyed && it->second->needsPaint;
}

std::vector<std::string> Ui::ListLines(HWND list) const {
    std::vector<std::string> out;
    auto it = m_state->windows.find(list);
    if (it == m_state->windows.end())
        return out;
    for (const ListLine& l : it->second->lines)
        out.push_back(wm::ToA(l.text));
    return out;
}

const std::vector<MessageBoxRecord>& Ui::MessageBoxes() const {
    return m_state->boxes;
}

const std::vector<UINT>& Ui::Beeps() const {
    return m_state->beeps;
}

int Ui::TimerCount() const {
    return int(m_state->timers.size());
}

bool Ui::HasTimer(HWND window, UINT_PTR id) const {
    for (const Timer& t : m_state->timers)
        if (t.hwnd == window && t.id == id)
            return true;
    return false;
}

bool Ui::Exists(HWND window) const {
    auto it = m_state->windows.find(window);
    return it != m_state->windows.end() && !it->second->destroyed;
}

RECT Ui::ClientRect(HWND window) const {
    auto it = m_state->windows.find(window);
    if (it == m_state->windows.end() || it->second->destroyed)
        return RECT{0, 0, 0, 0};
    return wm::ClientRectOf(it->second.get());
}

void Ui::ValidatePaint(HWND window) {
    auto it = m_state->windows.find(window);
    if (it != m_state->windows.end())
        it->second->needsPaint = false;
}

namespace wm {

UiState& S() {
    return Current().ui.State();
}

Wnd* GetAny(HWND hwnd) {
    if (!hwnd)
        return nullptr;
    UiState& s = S();
    auto it = s.windows.find(hwnd);
    return it == s.windows.end() ? nullptr : it->second.get();
}

Wnd* Get(HWND hwnd) {
    Wnd* w = GetAny(hwnd);
    return w && !w->destroyed ? w : nullptr;
}

Wnd* Check(HWND hwnd) {
    Wnd* w = Get(hwnd);
    if (!w)
        SetError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

void SetError(DWORD error) {
    Current().lastError = error;
}

std::string HwndText(HWND hwnd) {
    char buf[32];
    snprintf(buf, sizeof(buf), "%p", static_cast<void*>(hwnd));
    return buf;
}

std::u16string FromA(const char* text) {
    if (!text || !*text)
        return std::u16string();
    return winsim::FromAnsi(text, Current().system.acp);
}

std::string ToA(const std::u16string& text) {
    if (text.empty())
        return std::string();
    return winsim::ToAnsi(text, Current().system.acp);
}

std::string ToUtf8(const std::u16string& text) {
    return text.empty() ? std::string() : winsim::ToAnsi(text, 65001);
}

int CopyText(const std::string& text, char* buffer, int size) {
    if (!buffer || size <= 0)
        return 0;
    unsigned cp = Current().system.acp;
    size_t n = 0;
    while (n < text.size()) {
        size_t step = (winsim::IsLeadByte((unsigned char)text[n], cp) && n + 1 < text.size()) ? 2 : 1;
        if (n + step > size_t(size - 1))
            break;
        n += step;
    }
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return int(n);
}

// ---- geometry ----

RECT Insets(DWORD style, DWORD exStyle) {
    RECT r{0, 0, 0, 0};
    int frame = 0;
    if ((exStyle & WS_EX_DLGMODALFRAME) || ((style & WS_DLGFRAME) && !(style & WS_THICKFRAME)))
        frame = kDialogFrame;
    else if (style & WS_THICKFRAME)
        frame = kSizingFrame;
    else if (style & WS_BORDER)
        frame = 1;
    r.left = r.top = r.right = r.bottom = frame;
    if ((style & WS_CAPTION) == WS_CAPTION)
        r.top += kCaption;
    if (exStyle & WS_EX_CLIENTEDGE) {
        r.left += kEdge;
        r.top += kEdge;
        r.right += kEdge;
        r.bottom += kEdge;
    }
    if (exStyle & WS_EX_STATICEDGE) {
        r.left += 1;
        r.top += 1;
        r.right += 1;
        r.bottom += 1;
    }
    if (style & WS_VSCROLL)
        r.right += kScrollBar;
    if (style & WS_HSCROLL)
        r.bottom += kScrollBar;
    return r;
}

RECT ClientRectOf(const Wnd* w) {
    if (w->style & WS_MINIMIZE)
        return RECT{0, 0, 0, 0};
    RECT in = Insets(w->style, w->exStyle);
    LONG cx = (w->rect.right - w->rect.left) - in.left - in.right;
    LONG cy = (w->rect.bottom - w->rect.top) - in.top - in.bottom;
    return RECT{0, 0, std::max<LONG>(cx, 0), std::max<LONG>(cy, 0)};
}

POINT ClientOrigin(const Wnd* w) {
    RECT in = Insets(w->style, w->exStyle);
    POINT p{w->rect.left + in.left, w->rect.top + in.top};
    if (w->parent) {
        if (const Wnd* parent = GetAny(w->parent)) {
            POINT o = ClientOrigin(parent);
            p.x += o.x;
            p.y += o.y;
        }
    }
    return p;
}

bool IsVisibleChain(const Wnd* w) {
    while (w) {
        if (!(w->style & WS_VISIBLE) || w->destroyed)
            return false;
        if (!w->parent)
            return true;
        w = GetAny(w->parent);
    }
    return false;
}

bool IsEnabledChain(const Wnd* w) {
    while (w) {
        if ((w->style & WS_DISABLED) || w->destroyed)
            return false;
        if (!w->parent)
            return true;
        w = GetAny(w->parent);
    }
    return false;
}

HWND TopLevelOf(HWND hwnd) {
    Wnd* w = GetAny(hwnd);
    while (w && w->parent)
        w = GetAny(w->parent);
    return w ? w->handle : nullptr;
}

bool IsDescendant(HWND ancestor, HWND hwnd) {
    if (!ancestor || !hwnd)
        return false;
    Wnd* w = Get(hwnd);
    while (w && w->parent) {
        if (w->parent == ancestor)
            return true;
        w = Get(w->parent);
    }
    return false;
}

HWND FindChildById(HWND parent, int id) {
    Wnd* p = Get(parent);
    if (!p)
        return nullptr;
    for (HWND h : p->children) {
        Wnd* c = Get(h);
        if (c && LONG(c->id) == LONG(id))
            return h;
    }
    return nullptr;
}

const WndClass* FindClass(const std::string& name) {
    for (const WndClass& c : S().classes)
        if (SameNoCase(c.name, name))
            return &c;
    return nullptr;
}

void RegisterSystemClasses(UiState& s) {
    struct Def {
        const char* name;
        WNDPROC proc;
        WndKind kind;
        int extra;
    } defs[] = {
        {"Button", ButtonProc, WndKind::Button, 0},
        {"Static", StaticProc, WndKind::Static, 0},
        {"ListBox", ListBoxProc, WndKind::ListBox, 0},
        // DLGWINDOWEXTRA: DWLP_MSGRESULT, DWLP_DLGPROC, DWLP_USER and the system's own.
        {"#32770", DialogWndProc, WndKind::Dialog, DLGWINDOWEXTRA},
    };
    for (const Def& d : defs) {
        WndClass c;
        c.name = d.name;
        c.proc = d.proc;
        c.kind = d.kind;
        c.wndExtra = d.extra;
        c.system = true;
        s.classes.push_back(c);
    }
}

// The arrow cursor the system classes carry, shared with LoadCursorA(NULL, IDC_ARROW).
static HCURSOR ArrowCursor() {
    Gdi::IconObject arrow;
    arrow.cursor = true;
    arrow.systemName = "IDC_ARROW";
    return Current().gdi.SharedIcon(arrow);
}

// ---- lifetime ----

HWND Create(const CreateParams& p) {
    UiState& s = S();
    const WndClass* cls = nullptr;
    if (p.classAtom) {
        char name[16];
        snprintf(name, sizeof(name), "#%u", unsigned(p.classAtom));
        cls = FindClass(name);
    } else {
        cls = FindClass(p.className);
    }
    if (!cls) {
        SetError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    HWND parent = p.parent == s.desktop ? nullptr : p.parent;
    if (parent && !Get(parent)) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if ((p.style & WS_CHILD) && !parent) {
        SetError(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }

    auto owned = std::make_unique<Wnd>();
    Wnd* w = owned.get();
    w->handle = reinterpret_cast<HWND>(s.nextHandle);
    s.nextHandle += 2;
    w->kind = cls->kind;
    w->className = cls->name;
    w->proc = cls->proc;
    w->instance = p.instance;
    w->style = p.style & ~WS_VISIBLE;
    w->exStyle = p.exStyle;
    w->classCursor = cls->system ? ArrowCursor() : cls->cursor;
    int extra = p.extraBytes >= 0 ? p.extraBytes : cls->wndExtra;
    w->extra.assign(size_t(std::max(extra, 0)), 0);
    if (cls->kind == WndKind::Dialog)
        w->dialog = std::make_unique<DialogData>();
    int x = p.x == CW_USEDEFAULT ? 0 : p.x;
    int y = p.y == CW_USEDEFAULT ? 0 : p.y;
    int cx = p.cx == CW_USEDEFAULT ? 0 : p.cx;
    int cy = p.cy == CW_USEDEFAULT ? 0 : p.cy;
    w->rect = RECT{x, y, x + std::max(cx, 0), y + std::max(cy, 0)};
    if (p.style & WS_CHILD) {
        w->parent = parent;
        w->id = p.idOrMenu;
    } else {
        w->owner = parent ? TopLevelOf(parent) : nullptr;
    }
    HWND hwnd = w->handle;
    s.windows[hwnd] = std::move(owned);
    if (w->parent)
        Get(w->parent)->children.push_back(hwnd);  // new children go to the bottom: tab order is creation order
    else
        s.topLevel.insert(s.topLevel.begin(), hwnd);

    std::string nameBuf;
    CREATESTRUCTA cs{};
    cs.lpCreateParams = p.param;
    cs.hInstance = p.instance;
    cs.hMenu = reinterpret_cast<HMENU>(p.idOrMenu);
    cs.hwndParent = parent;
    cs.cx = int(w->rect.right - w->rect.left);
    cs.cy = int(w->rect.bottom - w->rect.top);
    cs.x = int(w->rect.left);
    cs.y = int(w->rect.top);
    cs.style = LONG(p.style);
    cs.lpszName = p.name;
    cs.lpszClass = cls->name.c_str();
    cs.dwExStyle = p.exStyle;

    if (!Send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        Destroy(hwnd);
        SetError(0);
        return nullptr;
    }
    if (!Get(hwnd))
        return nullptr;
    if (Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        Destroy(hwnd);
        SetError(0);
        return nullptr;
    }
    if (!Get(hwnd))
        return nullptr;
    if (w->parent && !(w->exStyle & WS_EX_NOPARENTNOTIFY))
        Send(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, LOWORD(w->id)), reinterpret_cast<LPARAM>(hwnd));
    if (p.style & WS_VISIBLE)
        Show(hwnd, SW_SHOW);
    return hwnd;
}

static void SendDestroy(HWND hwnd) {
    Send(hwnd, WM_DESTROY, 0, 0);
    Wnd* w = GetAny(hwnd);
    if (!w)
        return;
    std::vector<HWND> children = w->children;
    for (HWND c : children)
        if (Get(c))
            SendDestroy(c);
}

static void Release(HWND hwnd) {
    Wnd* w = GetAny(hwnd);
    if (!w || w->destroyed)
        return;
    std::vector<HWND> children = w->children;
    for (HWND c : children)
        Release(c);
    Send(hwnd, WM_NCDESTROY, 0, 0);
    UiState& s = S();
    w->destroyed = true;
    Unlink(s, w);
    s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                   s.timers.end());
    auto drop = [&](std::deque<MSG>& q) {
        q.erase(std::remove_if(q.begin(), q.end(), [&](const MSG& m) { return m.hwnd == hwnd; }), q.end());
    };
    drop(s.posted);
    drop(s.input);
    if (s.focus == hwnd)
        s.focus = nullptr;
    if (s.capture == hwnd)
        s.capture = nullptr;
    if (s.active == hwnd)
        s.active = nullptr;
    s.systemMenus.erase(hwnd);
    if (w->dialog && w->dialog->record >= 0)
        s.dialogs[size_t(w->dialog->record)].destroyed = true;
}

void Destroy(HWND hwnd) {
    Wnd* w = Get(hwnd);
    if (!w || w->destroying)
        return;
    UiState& s = S();
    w->destroying = true;
    if (w->parent && !(w->exStyle & WS_EX_NOPARENTNOTIFY))
        Send(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, LOWORD(w->id)), reinterpret_cast<LPARAM>(hwnd));
    if (w->style & WS_VISIBLE) {
        if (w->parent)
            Show(hwnd, SW_HIDE);
        else
            SetVisible(w, false);
    }
    // Focus inside a child that goes away returns to its parent; a top-level window takes it along.
    if (s.focus && (s.focus == hwnd || IsDescendant(hwnd, s.focus))) {
        if (w->parent && Get(w->parent) && !Get(w->parent)->destroying)
            SetFocusTo(w->parent);
        else
            s.focus = nullptr;
    }
    if (!w->parent && s.active == hwnd)
        ActivateOther(hwnd);
    // Owned windows go first.
    std::vector<HWND> owned;
    for (HWND h : s.topLevel) {
        Wnd* t = Get(h);
        if (t && t->owner == hwnd)
            owned.push_back(h);
    }
    for (HWND h : owned)
        Destroy(h);
    if (!Get(hwnd))
        return;
    SendDestroy(hwnd);
    Release(hwnd);
}

// ---- showing, activation, focus ----

void SetVisible(Wnd* w, bool visible) {
    if (visible) {
        w->style |= WS_VISIBLE;
        Invalidate(w->handle, true);
        if (w->dialog && w->dialog->record >= 0)
            S().dialogs[size_t(w->dialog->record)].everVisible = true;
    } else {
        w->style &= ~WS_VISIBLE;
        if (w->parent)
            Invalidate(w->parent, false);
    }
}

BOOL Show(HWND hwnd, int cmd) {
    Wnd* w = Get(hwnd);
    if (!w)
        return FALSE;
    UiState& s = S();
    bool wasVisible = (w->style & WS_VISIBLE) != 0;
    bool show = true, activate = false, minimize = false, maximize = false, restore = false;
    switch (cmd) {
    case SW_HIDE:
        show = false;
        break;
    case SW_SHOWMINIMIZED:
        minimize = activate = true;
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE:
        minimize = true;
        break;
    case SW_SHOWMAXIMIZED:
        maximize = activate = true;
        break;
    case SW_SHOWNA:
        break;
    case SW_SHOWNOACTIVATE:
        restore = true;
        break;
    case SW_SHOW:
        activate = true;
        break;
    default:  // SW_SHOWNORMAL, SW_RESTORE, SW_SHOWDEFAULT
        restore = activate = true;
        break;
    }
    if (!show && !wasVisible)
        return FALSE;
    if (show != wasVisible) {
        Send(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        if (!(w = Get(hwnd)))
            return wasVisible;
    }
    if (minimize && !(w->style & WS_MINIMIZE)) {
        w->style = (w->style | WS_MINIMIZE) & ~WS_MAXIMIZE;
        Send(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
    } else if (maximize && !(w->style & WS_MAXIMIZE)) {
        w->style = (w->style | WS_MAXIMIZE) & ~WS_MINIMIZE;
        RECT c = ClientRectOf(w);
        Send(hwnd, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(c.right, c.bottom));
    } else if (restore && (w->style & (WS_MINIMIZE | WS_MAXIMIZE))) {
        w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
        RECT c = ClientRectOf(w);
        Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.right, c.bottom));
    }
    if (!(w = Get(hwnd)))
        return wasVisible;
    SetVisible(w, show);
    if (!show) {
        if (s.focus && (s.focus == hwnd || IsDescendant(hwnd, s.focus))) {
            if (w->parent)
                SetFocusTo(w->parent);
        }
        if (!w->parent && s.active == hwnd)
            ActivateOther(hwnd);
    } else if (!w->parent) {
        if (activate && !(w->style & WS_MINIMIZE))
            Activate(hwnd);
        else if (activate && cmd == SW_SHOWMINIMIZED)
            Activate(hwnd);
        // SW_MINIMIZE hands the activation to the next top-level window.
        if ((cmd == SW_MINIMIZE || cmd == SW_FORCEMINIMIZE || cmd == SW_SHOWMINNOACTIVE) && s.active == hwnd)
            ActivateOther(hwnd);
    }
    return wasVisible ? TRUE : FALSE;
}

void Activate(HWND hwnd) {
    UiState& s = S();
    if (hwnd)
        hwnd = TopLevelOf(hwnd);
    if (s.active == hwnd)
        return;
    HWND old = s.active;
    s.active = hwnd;
    if (hwnd) {
        auto& z = s.topLevel;
        z.erase(std::remove(z.begin(), z.end(), hwnd), z.end());
        z.insert(z.begin(), hwnd);
    }
    if (old && Get(old))
        Send(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    if (!hwnd) {
        if (s.focus) {
            HWND f = s.focus;
            s.focus = nullptr;
            if (Get(f))
                Send(f, WM_KILLFOCUS, 0, 0);
        }
        return;
    }
    Wnd* w = Get(hwnd);
    if (!w || s.active != hwnd)
        return;
    Send(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, (w->style & WS_MINIMIZE) ? 1 : 0), reinterpret_cast<LPARAM>(old));
    // The focus follows the activation unless the window placed it inside itself.
    if (s.active == hwnd && Get(hwnd) && (!s.focus || TopLevelOf(s.focus) != hwnd)) {
        if (!(Get(hwnd)->style & WS_MINIMIZE))
            SetFocusTo(hwnd);
    }
}

HWND SetFocusTo(HWND hwnd) {
    UiState& s = S();
    if (!hwnd) {
        HWND old = s.focus;
        if (old) {
            s.focus = nullptr;
            if (Get(old))
                Send(old, WM_KILLFOCUS, 0, 0);
        }
        return old;
    }
    Wnd* w = Get(hwnd);
    if (!w) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    // A minimized or disabled window, or one inside such a window, cannot take the focus.
    HWND top = hwnd;
    for (Wnd* c = w;;) {
        if (c->style & (WS_MINIMIZE | WS_DISABLED))
            return nullptr;
        if (!c->parent)
            break;
        top = c->parent;
        c = Get(c->parent);
        if (!c)
            return nullptr;
    }
    if (top != s.active) {
        Activate(top);
        if (!Get(hwnd) || s.active != top)
            return nullptr;
    }
    HWND old = s.focus;
    if (old == hwnd)
        return old;
    s.focus = hwnd;
    if (old && Get(old))
        Send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (s.focus == hwnd && Get(hwnd))
        Send(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND CaptureMouse(HWND hwnd) {
    UiState& s = S();
    HWND old = s.capture;
    if (old == hwnd)
        return old;
    s.capture = hwnd;
    if (old && Get(old))
        Send(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

void Invalidate(HWND hwnd, bool children) {
    Wnd* w = Get(hwnd);
    if (!w)
        return;
    w->needsPaint = true;
    if (children)
        for (HWND c : w->children)
            Invalidate(c, true);
}

void Move(Wnd* w, int x, int y, int cx, int cy, bool move, bool size) {
    RECT r = w->rect;
    if (move) {
        r.right += x - r.left;
        r.bottom += y - r.top;
        r.left = x;
        r.top = y;
    }
    if (size) {
        r.right = r.left + std::max(cx, 0);
        r.bottom = r.top + std::max(cy, 0);
    }
    bool sized = (r.right - r.left) != (w->rect.right - w->rect.left) ||
                 (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
    bool moved = r.left != w->rect.left || r.top != w->rect.top;
    w->rect = r;
    HWND hwnd = w->handle;
    if (moved) {
        POINT o{0, 0};
        if (Wnd* ww = Get(hwnd)) {
            RECT in = Insets(ww->style, ww->exStyle);
            o.x = ww->rect.left + in.left;
            o.y = ww->rect.top + in.top;
        }
        Send(hwnd, WM_MOVE, 0, MAKELPARAM(o.x, o.y));
    }
    if (sized) {
        if (Wnd* ww = Get(hwnd)) {
            RECT c = ClientRectOf(ww);
            Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.right, c.bottom));
            Invalidate(hwnd, false);
        }
    }
}

bool EnableWin(HWND hwnd, bool enable) {
    Wnd* w = Get(hwnd);
    if (!w)
        return false;
    UiState& s = S();
    bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (enable && wasDisabled) {
        w->style &= ~WS_DISABLED;
        Send(hwnd, WM_ENABLE, TRUE, 0);
    } else if (!enable && !wasDisabled) {
        Send(hwnd, WM_CANCELMODE, 0, 0);
        if (!(w = Get(hwnd)))
            return wasDisabled;
        w->style |= WS_DISABLED;
        // A disabled window cannot keep the focus.
        if (s.focus == hwnd)
            SetFocusTo(nullptr);
        if (s.capture && (s.capture == hwnd || IsDescendant(hwnd, s.capture)))
            s.capture = nullptr;
        Send(hwnd, WM_ENABLE, FALSE, 0);
    }
    return wasDisabled;
}

}  // namespace wm
}  // namespace winsim
