// The scripted user and the message loops with a modeless notice and a polling timer: a spooler cycle as the
// removal program drives it, in a modal dialog, in a hidden dialog's own GetMessageA loop, and PeekMessageA.
#include <windows.h>
#include <winsim/machine.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "r_reswriter.h"
#include "w_template.h"

namespace {

enum {
    IDD_MAIN = 120,
    IDD_NOTICE = 121,
    IDD_REBOOT = 122,
    IDC_DELETE = 1004,
    IDC_NOTICE_TEXT = 1010,
    kPollTimer = 2,
};

struct Tick {
    uint64_t at;
    DWORD state;
};

// A main dialog whose Delete shows a modeless notice, stops the spooler and polls it with a 1000 ms timer;
// once the spooler runs again the notice goes and a modal restart question comes up.
struct Program {
    HINSTANCE instance = nullptr;
    HWND notice = nullptr;
    bool stopIssued = false;
    bool done = false;
    bool commandLine = false;  // no restart question
    std::vector<Tick> ticks;
    INT_PTR rebootAnswer = -2;
    bool noticeGoneBeforeReboot = false;
};

Program g;

DWORD SpoolerState(bool startWhenStopped) {
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE svc = scm ? OpenServiceA(scm, "spooler", SERVICE_ALL_ACCESS) : nullptr;
    SERVICE_STATUS st = {};
    DWORD state = svc && QueryServiceStatus(svc, &st) ? st.dwCurrentState : 0;
    if (state == SERVICE_STOPPED && startWhenStopped)
        StartServiceA(svc, 0, nullptr);
    if (svc)
        CloseServiceHandle(svc);
    if (scm)
        CloseServiceHandle(scm);
    return state;
}

void StopSpooler() {
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE svc = OpenServiceA(scm, "spooler", SERVICE_ALL_ACCESS);
    SERVICE_STATUS st;
    ControlService(svc, SERVICE_CONTROL_STOP, &st);
    CloseServiceHandle(svc);
    CloseServiceHandle(scm);
    g.stopIssued = true;
}

INT_PTR CALLBACK NoticeProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    return msg == WM_INITDIALOG ? TRUE : FALSE;
}

INT_PTR CALLBACK RebootProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG)
        return TRUE;
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

// One tick of the poll: start a stopped spooler, finish once it runs again after the stop.
void OnPoll(HWND dlg) {
    DWORD state = SpoolerState(true);
    g.ticks.push_back(Tick{winsim::Current().now, state});
    if (state != SERVICE_RUNNING || !g.stopIssued)
        return;
    KillTimer(dlg, kPollTimer);
    if (g.notice) {
        DestroyWindow(g.notice);
        g.notice = nullptr;
    }
    g.done = true;
    if (g.commandLine)
        return;
    g.noticeGoneBeforeReboot = winsim::Current().ui.ActiveDialog() == dlg;
    g.rebootAnswer = DialogBoxParamA(g.instance, MAKEINTRESOURCEA(IDD_REBOOT), dlg, RebootProc, 0);
}

INT_PTR CALLBACK MainProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_TIMER:
        if (wParam == kPollTimer)
            OnPoll(dlg);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_DELETE) {
            g.notice = CreateDialogParamA(g.instance, MAKEINTRESOURCEA(IDD_NOTICE), dlg, NoticeProc, 0);
            ShowWindow(g.notice, SW_SHOW);
            StopSpooler();
            SetTimer(dlg, kPollTimer, 1000, nullptr);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

class ModelessAndTimers : public ::testing::Test {
protected:
    void SetUp() override {
        g = Program();
        wtest::DialogTemplate main(u"Uninstall");
        main.Button(IDC_DELETE, u"&Delete").Button(IDCANCEL, u"E&xit");
        wtest::DialogTemplate notice(u"Resetting the spooler", DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION);
        notice.Text(IDC_NOTICE_TEXT, u"Please wait");
        wtest::DialogTemplate reboot(u"Reboot System");
        reboot.Button(IDOK, u"OK", BS_DEFPUSHBUTTON | WS_TABSTOP).Button(IDCANCEL, u"Cancel");
        rtest::ResWriter res;
        res.Add(5, IDD_MAIN, 0x409, main.Bytes())
            .Add(5, IDD_NOTICE, 0x409, notice.Bytes())
            .Add(5, IDD_REBOOT, 0x409, reboot.Bytes());
        winsim::ModuleImage image;
        image.resFile = res.Write("w_modeless");
        g.instance = m->modules.SetMainModule("C:\\Program Files\\Trellin\\Trellin.exe", image);
    }

    winsim::ScopedMachine m;
};

// A service that takes 2500 ms each way is polled once a second inside the modal loop, with the notice up.
TEST_F(ModelessAndTimers, TheModalLoopPollsASlowSpoolerWhileTheNoticeIsUp) {
    m->services.Behaviour().stopLatencyMs = 2500;
    m->services.Behaviour().startLatencyMs = 2500;
    m->user.On(IDD_MAIN)
        .Press(IDC_DELETE)
        .On(IDD_NOTICE)
        .Inspect([](HWND notice) {
            EXPECT_EQ(g.notice, notice);
            EXPECT_TRUE(IsWindowVisible(notice));
            EXPECT_TRUE(g.ticks.empty());
        })
        .On(IDD_REBOOT)
        .Inspect([](HWND) {
            EXPECT_EQ(6000u, winsim::Current().now);
            EXPECT_TRUE(winsim::Current().spooler.Running());
        })
        .Press(IDCANCEL)
        .On(IDD_MAIN)
        .Press(IDCANCEL);
    EXPECT_EQ(IDCANCEL, DialogBoxParamA(g.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainProc, 0));
    EXPECT_TRUE(m->user.Unused().empty());

    std::vector<uint64_t> at;
    std::vector<DWORD> states;
    for (const Tick& t : g.ticks) {
        at.push_back(t.at);
        states.push_back(t.state);
    }
    EXPECT_EQ((std::vector<uint64_t>{1000, 2000, 3000, 4000, 5000, 6000}), at);
    EXPECT_EQ((std::vector<DWORD>{SERVICE_STOP_PENDING, SERVICE_STOP_PENDING, SERVICE_STOPPED, SERVICE_START_PENDING,
                                  SERVICE_START_PENDING, SERVICE_RUNNING}),
              states);
    EXPECT_EQ(IDCANCEL, g.rebootAnswer);
    EXPECT_TRUE(g.noticeGoneBeforeReboot);
    const winsim::DialogRecord* notice = m->ui.LastDialog(IDD_NOTICE);
    ASSERT_TRUE(notice);
    EXPECT_FALSE(notice->modal);
    EXPECT_TRUE(notice->everVisible);
    EXPECT_TRUE(notice->destroyed);
    EXPECT_EQ(0, m->ui.TimerCount());
    EXPECT_EQ(0u, m->services.OpenHandles());
}

// The same cycle twice in one run: the second Delete creates the notice again.
TEST_F(ModelessAndTimers, ASecondRemovalCreatesTheNoticeAgain) {
    m->user.On(IDD_MAIN)
        .Press(IDC_DELETE)
        .On(IDD_REBOOT)
        .Press(IDCANCEL)
        .On(IDD_MAIN)
        .Do("reset", [](HWND) { g.stopIssued = false; })
        .Press(IDC_DELETE)
        .On(IDD_REBOOT)
        .Press(IDOK)
        .On(IDD_MAIN)
        .Press(IDCANCEL);
    EXPECT_EQ(IDCANCEL, DialogBoxParamA(g.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainProc, 0));
    EXPECT_EQ(2, m->ui.CountDialogs(IDD_NOTICE));
    EXPECT_EQ(2, m->services.spoolerStops);
    EXPECT_EQ(2, m->services.spoolerStarts);
}

// Command-line shape: a hidden modeless dialog and the program's own bounded GetMessageA loop with Sleep.
// With only a timer pending, GetMessageA runs the clock to it; nothing is scripted and nothing aborts.
TEST_F(ModelessAndTimers, AHiddenDialogsOwnGetMessageLoopRunsTheClockToItsTimer) {
    m->services.Behaviour().startLatencyMs = 2500;
    g.commandLine = true;
    HWND dlg = CreateDialogParamA(g.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainProc, 0);
    ASSERT_TRUE(dlg);
    EXPECT_FALSE(IsWindowVisible(dlg));
    StopSpooler();
    ASSERT_TRUE(SetTimer(dlg, kPollTimer, 1000, nullptr));
    for (int pass = 0; pass < 10 && !g.done; ++pass) {
        MSG msg;
        if (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(900);
    }
    EXPECT_TRUE(g.done);
    std::vector<uint64_t> at;
    std::vector<DWORD> states;
    for (const Tick& t : g.ticks) {
        at.push_back(t.at);
        states.push_back(t.state);
    }
    // Each pass sleeps 900 ms, so GetMessageA waits the last 100 ms to the next tick.
    EXPECT_EQ((std::vector<uint64_t>{1000, 2000, 3000, 4000}), at);
    EXPECT_EQ((std::vector<DWORD>{SERVICE_STOPPED, SERVICE_START_PENDING, SERVICE_START_PENDING, SERVICE_RUNNING}),
              states);
    EXPECT_EQ(4900u, m->now);
    EXPECT_EQ(0, m->ui.TimerCount());
    DestroyWindow(dlg);
}

// Sleep moves the clock too: a timer that fell due meanwhile is there at once, once per period taken.
TEST_F(ModelessAndTimers, SleepMakesATimerDueWithoutAnyWait) {
    HWND dlg = CreateDialogParamA(g.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainProc, 0);
    ASSERT_TRUE(SetTimer(dlg, 9, 1000, nullptr));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, dlg, WM_TIMER, WM_TIMER, PM_REMOVE));
    Sleep(2500);
    ASSERT_TRUE(PeekMessageA(&msg, dlg, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(9u, msg.wParam);
    EXPECT_EQ(2500u, m->now);
    // Windows keeps one WM_TIMER per timer: the missed periods do not pile up.
    EXPECT_FALSE(PeekMessageA(&msg, dlg, WM_TIMER, WM_TIMER, PM_REMOVE));
    DestroyWindow(dlg);
}

// PM_NOREMOVE leaves a due WM_TIMER where it is, and so does a filter from WM_TIMER down to 0, which
// matches nothing (Wine's rule, pinned by the conformance test dialog_timer); the next loop still gets it.
TEST_F(ModelessAndTimers, PeekingWithoutRemovingLeavesTheTimerMessageQueued) {
    HWND dlg = CreateDialogParamA(g.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainProc, 0);
    ASSERT_TRUE(SetTimer(dlg, 5, 1000, nullptr));
    Sleep(1000);
    MSG msg = {};
    EXPECT_FALSE(PeekMessageA(&msg, dlg, WM_TIMER, 0, PM_NOREMOVE));
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(PeekMessageA(&msg, dlg, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(UINT(WM_TIMER), msg.message);
        EXPECT_EQ(5u, msg.wParam);
    }
    EXPECT_FALSE(PeekMessageA(&msg, dlg, WM_TIMER, 0, PM_NOREMOVE));
    ASSERT_TRUE(GetMessageA(&msg, dlg, 0, 0));
    EXPECT_EQ(UINT(WM_TIMER), msg.message);
    EXPECT_EQ(1000u, m->now);
    // Taken now: the next one is a full period away, and GetMessageA waits for it.
    ASSERT_TRUE(GetMessageA(&msg, dlg, 0, 0));
    EXPECT_EQ(UINT(WM_TIMER), msg.message);
    EXPECT_EQ(2000u, m->now);
    DestroyWindow(dlg);
}

// A modeless dialog created from a timer inside a plain GetMessageA loop takes the scripted user's click.
TEST_F(ModelessAndTimers, AModelessDialogInAPlainMessageLoopTakesTheUsersClick) {
    HWND dlg = CreateDialogParamA(g.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainProc, 0);
    ShowWindow(dlg, SW_SHOW);
    m->user.On(IDD_MAIN).Wait(500).Press(IDCANCEL);
    INT_PTR ended = 0;
    MSG msg;
    for (int i = 0; i < 100 && !ended; ++i) {
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0)
            break;
        if (!IsDialogMessageA(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const winsim::DialogRecord* r = m->ui.LastDialog(IDD_MAIN);
        if (r && r->ended)
            ended = r->result;
    }
    EXPECT_EQ(IDCANCEL, ended);
    EXPECT_EQ(500u, m->now);
    EXPECT_TRUE(m->user.Unused().empty());
    DestroyWindow(dlg);
}

}  // namespace
