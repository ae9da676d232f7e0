// user32's message entry points: sending, posting and the queue, timers, and wsprintf.
#include "w_internal.h"

#include <winsim/codepage.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace winsim;
using namespace winsim::wm;

extern "C" {

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
