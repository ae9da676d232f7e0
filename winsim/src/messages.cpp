// The message queue: sending, posting, retrieval order, timers on the virtual clock, idle time and the default window procedure.
#include "w_internal.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace winsim {
namespace wm {

namespace {

const uint64_t kNoTimer = std::numeric_limits<uint64_t>::max();

bool MatchesWindow(HWND filter, HWND hwnd) {
    if (!filter)
        return true;
    if (filter == reinterpret_cast<HWND>(-1))
        return hwnd == nullptr;
    return hwnd == filter || IsDescendant(filter, hwnd);
}

// Only first == last == 0 means "every message"; an inverted range (last < first) matches nothing,
// as Wine's server checks first <= msg <= last.
bool MatchesRange(UINT msg, UINT first, UINT last) {
    if (first == 0 && last == 0)
        return true;
    return msg >= first && msg <= last;
}

bool IsMouseMessage(UINT msg) {
    return (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) || msg == WM_NCLBUTTONDOWN || msg == WM_NCMOUSEMOVE;
}

// Where the hit test stops for a mouse message aimed at `hwnd`: the outermost disabled window around it
// (itself included), which gets no mouse input; null when every window on the way takes input.
HWND DisabledOnTheWay(HWND hwnd) {
    HWND found = nullptr;
    for (Wnd* w = Get(hwnd); w; w = w->parent ? Get(w->parent) : nullptr) {
        if (w->style & WS_DISABLED)
            found = w->handle;
    }
    return found;
}

void FillMsg(MSG* out, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    out->hwnd = hwnd;
    out->message = message;
    out->wParam = wParam;
    out->lParam = lParam;
    out->time = DWORD(Current().now);
    out->pt = POINT{0, 0};
}

// The first window needing paint in z-order, parents before their children.
HWND FindPaint(HWND hwnd, HWND filter, UINT first, UINT last) {
    Wnd* w = Get(hwnd);
    if (!w || !(w->style & WS_VISIBLE))
        return nullptr;
    if (w->needsPaint && MatchesWindow(filter, hwnd))
        return hwnd;
    for (HWND c : w->children)
        if (HWND h = FindPaint(c, filter, first, last))
            return h;
    return nullptr;
}

// Earliest due time of a timer the caller's filter lets through.
uint64_t NextTimer(HWND filter, UINT first, UINT last) {
    uint64_t best = kNoTimer;
    if (!MatchesRange(WM_TIMER, first, last))
        return best;
    for (const Timer& t : S().timers)
        if (MatchesWindow(filter, t.hwnd))
            best = std::min(best, t.due);
    return best;
}

std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

}  // namespace

std::string DescribeWindow(HWND hwnd) {
    Wnd* w = GetAny(hwnd);
    if (!w)
        return "no window";
    std::string text = Quoted(ToUtf8(w->text));
    if (w->dialog && w->dialog->record >= 0) {
        const DialogRecord& r = S().dialogs[size_t(w->dialog->record)];
        return "dialog " + (r.templateId ? std::to_string(r.templateId) : r.templateName) + " " + text;
    }
    return "window " + HwndText(hwnd) + " of class " + w->className + " " + text;
}

// What the machine shows when nothing can happen any more, for error messages.
static std::string DescribeScreen(HWND active) {
    if (active)
        return DescribeWindow(active) + " is up";
    std::string hidden;
    for (HWND h : S().topLevel) {
        Wnd* w = Get(h);
        if (w && w->kind == WndKind::Dialog) {
            if (!hidden.empty())
                hidden += ", ";
            hidden += DescribeWindow(h) + ((w->style & WS_VISIBLE) ? " (disabled)" : " (hidden)");
        }
    }
    return hidden.empty() ? "no dialog exists" : "no dialog can take input: " + hidden;
}

void CountMessage() {
    UiState& s = S();
    if (++s.messages > Current().ui.maxMessages)
        throw SimAbort("the program handled more than " + std::to_string(Current().ui.maxMessages) +
                       " messages without ending: it never settles (" + DescribeScreen(Current().ui.ActiveDialog()) +
                       ")");
}

static LRESULT CallProc(Wnd* w, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETFONT)
        w->lastSetFont = reinterpret_cast<HFONT>(wParam);
    WNDPROC proc = w->proc;
    return proc(w->handle, msg, wParam, lParam);
}

LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Wnd* w = Get(hwnd);
    if (!w)
        return 0;
    CountMessage();
    return CallProc(w, msg, wParam, lParam);
}

void Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG m;
    FillMsg(&m, hwnd, msg, wParam, lParam);
    S().posted.push_back(m);
}

void PostInput(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MSG m;
    FillMsg(&m, hwnd, msg, wParam, lParam);
    S().input.push_back(m);
}

// Retrieval order as on Windows: posted messages, the quit flag, input, WM_PAINT, then WM_TIMER.
bool Peek(MSG* msg, HWND hwnd, UINT first, UINT last, UINT flags) {
    UiState& s = S();
    bool remove = (flags & PM_REMOVE) != 0;
    for (auto it = s.posted.begin(); it != s.posted.end(); ++it) {
        if (MatchesWindow(hwnd, it->hwnd) && MatchesRange(it->message, first, last)) {
            *msg = *it;
            if (remove) {
                s.posted.erase(it);
                CountMessage();
            }
            s.messageTime = msg->time;
            return true;
        }
    }
    // WM_QUIT is never filtered out (GetMessage documents it; Wine's server skips the range check).
    if (s.quitPending) {
        FillMsg(msg, nullptr, WM_QUIT, WPARAM(s.quitCode), 0);
        if (remove)
            s.quitPending = false;
        return true;
    }
    for (auto it = s.input.begin(); it != s.input.end(); ++it) {
        if (!s.capture && IsMouseMessage(it->message)) {
            if (HWND disabled = DisabledOnTheWay(it->hwnd)) {
                // A disabled window (one a modal dialog's owner is, say) gets no mouse input: the hit
                // test ends at it with HTERROR, it hears WM_SETCURSOR, and the message is dropped.
                UINT message = it->message;
                if (message == WM_NCLBUTTONDOWN || message == WM_NCMOUSEMOVE)
                    message -= WM_NCMOUSEMOVE - WM_MOUSEMOVE;
                s.input.erase(it);
                CountMessage();
                Send(disabled, WM_SETCURSOR, reinterpret_cast<WPARAM>(disabled), MAKELPARAM(WORD(HTERROR), message));
                return Peek(msg, hwnd, first, last, flags);
            }
        }
        if (MatchesWindow(hwnd, it->hwnd) && MatchesRange(it->message, first, last)) {
            *msg = *it;
            msg->time = DWORD(Current().now);
            if (remove) {
                s.input.erase(it);
                CountMessage();
                if (IsMouseMessage(msg->message)) {
                    // A click on a window of an inactive top-level window activates it first, and the
                    // window under the mouse sets the cursor before it sees the mouse message.
                    HWND top = TopLevelOf(msg->hwnd);
                    if ((msg->message == WM_LBUTTONDOWN || msg->message == WM_NCLBUTTONDOWN) && top &&
                        top != s.active)
                        Activate(top);
                    if (!s.capture && Get(msg->hwnd)) {
                        WORD hit = msg->message == WM_NCLBUTTONDOWN ? WORD(msg->wParam) : WORD(HTCLIENT);
                        Send(msg->hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(msg->hwnd),
                             MAKELPARAM(hit, msg->message));
                    }
                }
            }
            s.messageTime = msg->time;
            return true;
        }
    }
    if (MatchesRange(WM_PAINT, first, last)) {
        for (HWND top : s.topLevel) {
            if (HWND h = FindPaint(top, hwnd, first, last)) {
                FillMsg(msg, h, WM_PAINT, 0, 0);
                if (remove)
                    CountMessage();
                return true;
            }
        }
    }
    if (MatchesRange(WM_TIMER, first, last)) {
        Timer* due = nullptr;
        for (Timer& t : s.timers)
            if (t.due <= Current().now && MatchesWindow(hwnd, t.hwnd) && (!due || t.due < due->due))
                due = &t;
        if (due) {
            FillMsg(msg, due->hwnd, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc));
            if (remove) {
                // One WM_TIMER at a time per timer: the next one falls due a full period after this one is taken.
                due->due = Current().now + due->elapse;
                CountMessage();
            }
            s.messageTime = msg->time;
            return true;
        }
    }
    return false;
}

// Nothing in the queue for this wait: the scripted user acts, or the clock runs to the next timer.
static void Idle(HWND hwnd, UINT first, UINT last) {
    Machine& m = Current();
    UiState& s = S();
    HWND dialog = m.ui.ActiveDialog();
    ScriptedUser::Idle r = m.user.OnIdle(dialog);
    if (r == ScriptedUser::Idle::Performed) {
        s.idleAdvanced = 0;
        return;
    }
    uint64_t target = NextTimer(hwnd, first, last);
    if (r == ScriptedUser::Idle::KeepingStill)
        target = std::min(target, m.user.QuietUntil());
    if (target == kNoTimer) {
        std::string why = "the program waits for input the test did not script: " + DescribeScreen(dialog);
        if (r == ScriptedUser::Idle::NotMatching)
            why += "; the next scripted step is " + m.user.NextStep();
        else
            why += "; the script is used up";
        if (!s.timers.empty())
            why += " (timers are armed, but the waiting loop does not take their messages)";
        throw SimAbort(why);
    }
    if (target > m.now) {
        s.idleAdvanced += target - m.now;
        m.Advance(target - m.now);
    }
    if (s.idleAdvanced > m.ui.maxWaitMs)
        throw SimAbort("the program kept waiting for " + std::to_string(s.idleAdvanced / 1000) +
                       " s of virtual time with timers running and nothing the script could do: " +
                       DescribeScreen(dialog) + "; the next scripted step is " + m.user.NextStep());
}

void GetBlocking(MSG* msg, HWND hwnd, UINT first, UINT last) {
    for (;;) {
        if (Peek(msg, hwnd, first, last, PM_REMOVE))
            return;
        Idle(hwnd, first, last);
    }
}

LRESULT Dispatch(const MSG* msg) {
    if (msg->message == WM_TIMER && msg->lParam) {
        // Only a callback some timer was armed with is called (Windows refuses forged ones).
        TIMERPROC proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        for (const Timer& t : S().timers) {
            if (t.proc == proc) {
                proc(msg->hwnd, WM_TIMER, msg->wParam, DWORD(Current().now));
                return 0;
            }
        }
        return 0;
    }
    if (!msg->hwnd)
        return 0;
    Wnd* w = Get(msg->hwnd);
    if (!w) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return CallProc(w, msg->message, msg->wParam, msg->lParam);
}

bool Translate(const MSG* msg) {
    UINT m = msg->message;
    if (m != WM_KEYDOWN && m != WM_KEYUP && m != WM_SYSKEYDOWN && m != WM_SYSKEYUP)
        return false;
    if (m == WM_KEYUP || m == WM_SYSKEYUP)
        return true;
    int ch = 0;
    WPARAM vk = msg->wParam;
    if (vk == VK_BACK || vk == VK_TAB || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_SPACE)
        ch = int(vk);
    else if (vk >= '0' && vk <= '9')
        ch = int(vk);
    else if (vk >= 'A' && vk <= 'Z')
        ch = int(vk) + ('a' - 'A');  // no Shift held
    if (ch)
        Post(msg->hwnd, m == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, WPARAM(ch), msg->lParam);
    return true;
}

static void SetCursorInternal(HCURSOR cursor) {
    Gdi& gdi = Current().gdi;
    gdi.currentCursor = cursor;
    gdi.cursorHistory.push_back(cursor);
}

LRESULT DefWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Wnd* w = Get(hwnd);
    if (!w)
        return 0;
    switch (msg) {
    case WM_NCCREATE: {
        const CREATESTRUCTA* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        // A resource id from a template ("\xff" + id) becomes the text as it is, like any other.
        if (cs && cs->lpszName)
            w->text = FromA(cs->lpszName);
        return TRUE;
    }
    case WM_SETTEXT:
        w->text = FromA(reinterpret_cast<const char*>(lParam));
        return TRUE;
    case WM_GETTEXT:
        if (!wParam)
            return 0;
        return CopyText(ToA(w->text), reinterpret_cast<char*>(lParam), int(wParam));
    case WM_GETTEXTLENGTH:
        return LRESULT(ToA(w->text).size());
    case WM_CLOSE:
        Destroy(hwnd);
        return 0;
    case WM_NCLBUTTONDOWN:
        switch (wParam) {
        case HTCLOSE:
            Send(hwnd, WM_SYSCOMMAND, SC_CLOSE, lParam);
            break;
        case HTMINBUTTON:
            Send(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, lParam);
            break;
        case HTMAXBUTTON:
            Send(hwnd, WM_SYSCOMMAND, (w->style & WS_MAXIMIZE) ? SC_RESTORE : SC_MAXIMIZE, lParam);
            break;
        }
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            return Send(hwnd, WM_CLOSE, 0, 0);
        case SC_MINIMIZE:
            Show(hwnd, SW_MINIMIZE);
            return 0;
        case SC_MAXIMIZE:
            Show(hwnd, SW_MAXIMIZE);
            return 0;
        case SC_RESTORE:
            Show(hwnd, SW_RESTORE);
            return 0;
        }
        return 0;
    case WM_SETCURSOR:
        if ((w->style & WS_CHILD) && w->parent && Send(w->parent, WM_SETCURSOR, wParam, lParam))
            return TRUE;
        if (LOWORD(lParam) == HTCLIENT) {
            if (w->classCursor) {
                SetCursorInternal(w->classCursor);
                return TRUE;
            }
            return FALSE;
        }
        if (LOWORD(lParam) == WORD(HTERROR) && (HIWORD(lParam) == WM_LBUTTONDOWN)) {
            S().beeps.push_back(0);
            return FALSE;
        }
        {
            Gdi::IconObject arrow;
            arrow.cursor = true;
            arrow.systemName = "IDC_ARROW";
            SetCursorInternal(Current().gdi.SharedIcon(arrow));
        }
        return TRUE;
    case WM_PAINT:
        w->needsPaint = false;
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_SETICON: {
        HICON old;
        if (wParam == ICON_BIG) {
            old = w->iconBig;
            w->iconBig = reinterpret_cast<HICON>(lParam);
        } else {
            old = w->iconSmall;
            w->iconSmall = reinterpret_cast<HICON>(lParam);
        }
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON:
        if (wParam == ICON_BIG)
            return reinterpret_cast<LRESULT>(w->iconBig);
        if (wParam == ICON_SMALL)
            return reinterpret_cast<LRESULT>(w->iconSmall);
        return reinterpret_cast<LRESULT>(w->iconSmall ? w->iconSmall : w->iconBig);
    case WM_QUERYDRAGICON: {
        // The first icon of the window's module, else the application icon (Wine looks at ids 1 to 63).
        for (int id = 1; id < 64; ++id)
            if (HICON icon = LoadModuleIcon(w->instance, MAKEINTRESOURCEA(id)))
                return reinterpret_cast<LRESULT>(icon);
        Gdi::IconObject app;
        app.systemName = "IDI_APPLICATION";
        return reinterpret_cast<LRESULT>(Current().gdi.SharedIcon(app));
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam))
            SetFocusTo(hwnd);
        return 0;
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_CANCELMODE:
        if (S().capture == hwnd)
            S().capture = nullptr;
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 closes the window unless its close command is disabled.
        if (wParam == VK_F4 && (HIWORD(lParam) & 0x2000))
            Post(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    }
    return 0;
}

}  // namespace wm
}  // namespace winsim
