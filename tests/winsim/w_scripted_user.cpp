// The scripted user driving a small dialog program: gestures, message boxes, timers, unscripted waits, dialog history.
#include <windows.h>
#include <winsim/machine.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "r_reswriter.h"
#include "w_template.h"

namespace {

enum {
    IDD_MAIN = 102,
    IDD_CONFIRM = 103,
    IDC_LIST = 1001,
    IDC_DELETE = 1002,
    IDC_STATUS = 1003,
    IDC_MORE = 1004,
};

const UINT WM_APP_WORK = WM_APP + 1;

// The program under test: a main dialog with a printer list, a Delete button with a confirmation box,
// a second modal dialog, and the switches a test flips to make it behave as the real program might.
struct Program {
    HINSTANCE instance = nullptr;
    bool hideAtInit = false;  // command-line mode: hidden, the work posted to itself
    UINT timerMs = 0;         // a periodic timer armed in WM_INITDIALOG
    int ticksToEnd = 0;       // EndDialog(100) on this tick (0: never)
    bool busy = false;        // the hourglass over the dialog
    bool neverValidates = false;
    int ticks = 0;
    uint64_t lastTickAt = 0;
    int workDone = 0;
    std::vector<std::string> selections;
    std::vector<int> clicks;
    INT_PTR confirmResult = -2;
    BOOL ownerEnabledDuringConfirm = -1;
};

Program g;

std::string Selected(HWND dlg) {
    LRESULT sel = SendDlgItemMessageA(dlg, IDC_LIST, LB_GETCURSEL, 0, 0);
    if (sel == LB_ERR)
        return "";
    char text[64] = "";
    SendDlgItemMessageA(dlg, IDC_LIST, LB_GETTEXT, WPARAM(sel), reinterpret_cast<LPARAM>(text));
    return text;
}

INT_PTR CALLBACK ConfirmProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        g.ownerEnabledDuringConfirm = IsWindowEnabled(GetParent(dlg));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(dlg, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK MainProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        for (const char* name : {"Printer B", "Printer A", "Printer C"})
            SendDlgItemMessageA(dlg, IDC_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (g.hideAtInit) {
            ShowWindow(dlg, SW_HIDE);
            PostMessageA(dlg, WM_APP_WORK, 0, 0);
        }
        if (g.timerMs)
            SetTimer(dlg, 1, g.timerMs, nullptr);
        return TRUE;
    case WM_APP_WORK:
        g.workDone++;
        if (!g.timerMs)
            EndDialog(dlg, 7);
        return TRUE;
    case WM_TIMER:
        g.ticks++;
        g.lastTickAt = winsim::Current().now;
        if (g.ticksToEnd && g.ticks == g.ticksToEnd) {
            KillTimer(dlg, 1);
            EndDialog(dlg, 100);
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_LIST && HIWORD(wParam) == LBN_SELCHANGE) {
            g.selections.push_back(Selected(dlg));
            return TRUE;
        }
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        g.clicks.push_back(LOWORD(wParam));
        switch (LOWORD(wParam)) {
        case IDC_DELETE: {
            std::string name = Selected(dlg);
            if (name.empty()) {
                MessageBoxA(dlg, "Select a printer first.", "Uninstall", MB_OK | MB_ICONEXCLAMATION);
                return TRUE;
            }
            std::string question = "Delete " + name + "?";
            if (MessageBoxA(dlg, question.c_str(), "Uninstall", MB_YESNO | MB_ICONQUESTION) == IDYES) {
                LRESULT sel = SendDlgItemMessageA(dlg, IDC_LIST, LB_GETCURSEL, 0, 0);
                SendDlgItemMessageA(dlg, IDC_LIST, LB_DELETESTRING, WPARAM(sel), 0);
                SetDlgItemTextA(dlg, IDC_STATUS, ("Deleted " + name).c_str());
            }
            return TRUE;
        }
        case IDC_MORE:
            g.confirmResult = DialogBoxParamA(g.instance, MAKEINTRESOURCEA(IDD_CONFIRM), dlg, ConfirmProc, 0);
            return TRUE;
        case IDOK:
        case IDCANCEL:
            EndDialog(dlg, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_SETCURSOR:
        if (g.busy) {
            SetCursor(LoadCursorA(nullptr, IDC_WAIT));
            SetWindowLongPtrA(dlg, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_PAINT:
        if (IsIconic(dlg)) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(dlg, &ps);
            DrawIcon(dc, 0, 0, LoadIconA(nullptr, IDI_APPLICATION));
            EndPaint(dlg, &ps);
            return TRUE;
        }
        return g.neverValidates ? TRUE : FALSE;
    }
    return FALSE;
}

class ScriptedUserTest : public ::testing::Test {
protected:
    void SetUp() override { Install(*m); }

    // The program's module, with its two dialog templates, on machine `machine`.
    static void Install(winsim::Machine& machine) {
        g = Program();
        wtest::DialogTemplate main(u"Uninstall");
        main.Font(8, u"MS Sans Serif")
            .List(IDC_LIST, LBS_SORT | LBS_NOTIFY)
            .Button(IDOK, u"OK", BS_DEFPUSHBUTTON | WS_TABSTOP)
            .Button(IDCANCEL, u"Cancel")
            .Button(IDC_DELETE, u"&Delete")
            .Button(IDC_MORE, u"More...")
            .Text(IDC_STATUS, u"");
        wtest::DialogTemplate confirm(u"Are you sure");
        confirm.Button(IDOK, u"OK", BS_DEFPUSHBUTTON | WS_TABSTOP).Button(IDCANCEL, u"Cancel");
        rtest::ResWriter res;
        res.Add(5, IDD_MAIN, 0x409, main.Bytes()).Add(5, IDD_CONFIRM, 0x409, confirm.Bytes());
        winsim::ModuleImage image;
        image.resFile = res.Write("w_user");
        g.instance = machine.modules.SetMainModule("C:\\Program Files\\Trellin\\Trellin.exe", image);
    }

    INT_PTR Run() { return DialogBoxParamA(g.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainProc, 0); }

    // Runs the program expecting SimAbort; returns its message.
    std::string RunAborted() {
        try {
            Run();
        } catch (const winsim::SimAbort& e) {
            return e.what();
        }
        ADD_FAILURE() << "the program ran to its end";
        return "";
    }

    winsim::ScopedMachine m;
};

bool Contains(const std::string& s, const std::string& part) {
    return s.find(part) != std::string::npos;
}

TEST_F(ScriptedUserTest, PressingAButtonEndsTheDialogWithItsId) {
    m->user.On(IDD_MAIN).Press(IDCANCEL);
    EXPECT_EQ(IDCANCEL, Run());
    EXPECT_TRUE(m->user.Unused().empty());
    ASSERT_EQ(1u, m->user.Log().size());
    EXPECT_TRUE(Contains(m->user.Log()[0], "On(102): Press(2)")) << m->user.Log()[0];
    EXPECT_EQ(std::vector<int>{IDCANCEL}, g.clicks);
}

// What each gesture does to the main dialog, and the result DialogBoxParamA returns.
TEST_F(ScriptedUserTest, KeysAndTheCloseBoxFollowTheDialogManager) {
    struct Case {
        const char* name;
        std::vector<winsim::Action> steps;
        INT_PTR result;
        std::vector<int> clicks;
    };
    std::vector<Case> cases = {
        {"Esc", {winsim::PressEsc()}, IDCANCEL, {IDCANCEL}},
        // The focus is on the list: Enter clicks the default button.
        {"Enter on the list", {winsim::PressEnter()}, IDOK, {IDOK}},
        // A push button the user tabbed to is the default one while it has the focus.
        {"Enter on Cancel", {winsim::Focus(IDCANCEL), winsim::PressEnter()}, IDCANCEL, {IDCANCEL}},
        {"Tab twice, Enter", {winsim::PressTab(), winsim::PressTab(), winsim::PressEnter()}, IDCANCEL, {IDCANCEL}},
        // The close box: SC_CLOSE, WM_CLOSE, then IDCANCEL's BN_CLICKED posted by the dialog manager.
        {"close box", {winsim::CloseBox()}, IDCANCEL, {IDCANCEL}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g.clicks.clear();
        winsim::ScriptedUser::Script s = m->user.On(IDD_MAIN);
        for (const winsim::Action& a : c.steps)
            s.Then(a);
        EXPECT_EQ(c.result, Run());
        EXPECT_EQ(c.clicks, g.clicks);
        EXPECT_TRUE(m->user.Unused().empty());
    }
}

// With the Cancel button disabled, Esc and the close box only beep.
TEST_F(ScriptedUserTest, ADisabledCancelButtonTurnsEscAndTheCloseBoxIntoBeeps) {
    m->user.On(IDD_MAIN)
        .Do("disable Cancel", [](HWND dlg) { EnableWindow(GetDlgItem(dlg, IDCANCEL), FALSE); })
        .PressEsc()
        .CloseBox()
        .Inspect([](HWND) { EXPECT_EQ(2u, winsim::Current().ui.Beeps().size()); })
        .Press(IDOK);
    EXPECT_EQ(IDOK, Run());
    EXPECT_EQ(std::vector<int>{IDOK}, g.clicks);
}

TEST_F(ScriptedUserTest, SelectingALineNotifiesTheDialogWithTheLineSelected) {
    m->user.On(IDD_MAIN)
        .Inspect([](HWND dlg) {
            EXPECT_EQ((std::vector<std::string>{"Printer A", "Printer B", "Printer C"}),
                      winsim::Current().ui.ListLines(GetDlgItem(dlg, IDC_LIST)));
        })
        .SelectLine(IDC_LIST, "Printer B")
        .SelectLine(IDC_LIST, 2)
        .PressEsc();
    EXPECT_EQ(IDCANCEL, Run());
    EXPECT_EQ((std::vector<std::string>{"Printer B", "Printer C"}), g.selections);
}

TEST_F(ScriptedUserTest, AnswersComeFromTheScriptInOrder) {
    m->user.On(IDD_MAIN)
        .Press(IDC_DELETE)
        .Answer(IDOK, "Select a printer")
        .SelectLine(IDC_LIST, "Printer A")
        .Press(IDC_DELETE)
        .Answer(IDNO)
        .Press(IDC_DELETE)
        .Answer(IDYES, "Delete Printer A?")
        .Inspect([](HWND dlg) {
            EXPECT_EQ(2, SendDlgItemMessageA(dlg, IDC_LIST, LB_GETCOUNT, 0, 0));
            EXPECT_EQ("Deleted Printer A", winsim::Current().ui.Text(GetDlgItem(dlg, IDC_STATUS)));
        })
        .Press(IDOK);
    EXPECT_EQ(IDOK, Run());
    EXPECT_TRUE(m->user.Unused().empty());
    const auto& boxes = m->ui.MessageBoxes();
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ(UINT(MB_OK | MB_ICONEXCLAMATION), boxes[0].type);
    EXPECT_EQ(IDNO, boxes[1].answer);
    EXPECT_EQ("Delete Printer A?", boxes[2].text);
    EXPECT_EQ("Uninstall", boxes[2].caption);
}

// Scripts the program does not follow end the test with a message that says what went wrong.
TEST_F(ScriptedUserTest, ScriptMistakesAbortWithTheReason) {
    struct Case {
        const char* name;
        std::function<void(winsim::ScriptedUser&)> script;
        std::vector<std::string> mentions;
    };
    std::vector<Case> cases = {
        {"nothing scripted", [](winsim::ScriptedUser&) {},
         {"waits for input the test did not script", "dialog 102 \"Uninstall\" is up", "used up"}},
        {"another dialog expected", [](winsim::ScriptedUser& u) { u.On(IDD_CONFIRM).Press(IDOK); },
         {"dialog 102", "On(103): Press(1)"}},
        {"caption expected", [](winsim::ScriptedUser& u) { u.On(std::string("Setup")).PressEnter(); },
         {"On(\"Setup\"): PressEnter()"}},
        {"message box not scripted", [](winsim::ScriptedUser& u) { u.On(IDD_MAIN).Press(IDC_DELETE); },
         {"message box \"Uninstall\": \"Select a printer first.\"", "did not script"}},
        {"answer the box does not offer",
         [](winsim::ScriptedUser& u) { u.On(IDD_MAIN).SelectLine(IDC_LIST, 0).Press(IDC_DELETE).Answer(IDOK); },
         {"Answer(IDOK)", "no such button"}},
        {"box with other text", [](winsim::ScriptedUser& u) { u.On(IDD_MAIN).Press(IDC_DELETE).Answer(IDOK, "Delete"); },
         {"expected one saying \"Delete\""}},
        {"no such line", [](winsim::ScriptedUser& u) { u.On(IDD_MAIN).SelectLine(IDC_LIST, "Printer Z"); },
         {"no such line", "\"Printer A\", \"Printer B\", \"Printer C\""}},
        {"no such control", [](winsim::ScriptedUser& u) { u.On(IDD_MAIN).Press(4711); }, {"has no control 4711"}},
        {"not a button", [](winsim::ScriptedUser& u) { u.On(IDD_MAIN).Press(IDC_STATUS); }, {"is not a button"}},
        {"disabled button",
         [](winsim::ScriptedUser& u) {
             u.On(IDD_MAIN).Do("disable Delete", [](HWND dlg) { EnableWindow(GetDlgItem(dlg, IDC_DELETE), FALSE); })
                 .Press(IDC_DELETE);
         },
         {"Press(1002)", "is disabled"}},
        {"close box disabled",
         [](winsim::ScriptedUser& u) {
             u.On(IDD_MAIN)
                 .Do("gray Close", [](HWND dlg) { EnableMenuItem(GetSystemMenu(dlg, FALSE), SC_CLOSE, MF_GRAYED); })
                 .CloseBox();
         },
         {"close box", "is disabled"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        winsim::ScopedMachine fresh;
        Install(*fresh);
        c.script(fresh->user);
        std::string why = RunAborted();
        for (const std::string& part : c.mentions)
            EXPECT_TRUE(Contains(why, part)) << why;
    }
}

TEST_F(ScriptedUserTest, TimersFireOnTheVirtualClockWhileTheUserWaits) {
    g.timerMs = 500;
    m->user.On(IDD_MAIN)
        .Wait(1200)
        .Inspect([](HWND) {
            EXPECT_EQ(2, g.ticks);
            EXPECT_EQ(1200u, winsim::Current().now);
        })
        .Press(IDOK);
    EXPECT_EQ(IDOK, Run());
    EXPECT_EQ(1000u, g.lastTickAt);
}

TEST_F(ScriptedUserTest, ADialogThatEndsOnATimerNeedsNoScript) {
    g.timerMs = 250;
    g.ticksToEnd = 4;
    EXPECT_EQ(100, Run());
    EXPECT_EQ(1000u, m->now);
    EXPECT_EQ(0, m->ui.TimerCount());
}

TEST_F(ScriptedUserTest, WaitingForeverWithATimerRunningIsBounded) {
    g.timerMs = 1000;
    m->user.On(IDD_CONFIRM).Press(IDOK);
    std::string why = RunAborted();
    EXPECT_TRUE(Contains(why, "kept waiting")) << why;
    EXPECT_TRUE(Contains(why, "On(103): Press(1)")) << why;
    EXPECT_LE(m->now, m->ui.maxWaitMs + 1000);
}

TEST_F(ScriptedUserTest, AWindowThatNeverValidatesItsPaintIsALivelock) {
    g.neverValidates = true;
    m->ui.maxMessages = 5000;
    m->user.On(IDD_MAIN).Press(IDOK);
    std::string why = RunAborted();
    EXPECT_TRUE(Contains(why, "never settles")) << why;
}

// Hidden in WM_INITDIALOG with its work posted to itself, a modal dialog is never seen; once its loop
// runs dry (here: waiting for a timer) the dialog manager shows it anyway, as Windows and Wine do.
TEST_F(ScriptedUserTest, AModalDialogHiddenAtInitStaysHiddenOnlyUntilItsLoopIdles) {
    g.hideAtInit = true;
    EXPECT_EQ(7, Run());
    EXPECT_EQ(1, g.workDone);
    ASSERT_EQ(1u, m->ui.Dialogs().size());
    EXPECT_FALSE(m->ui.Dialogs()[0].everVisible);

    g = Program();
    g.instance = m->modules.MainModule();
    g.hideAtInit = true;
    g.timerMs = 100;
    g.ticksToEnd = 1;
    EXPECT_EQ(100, Run());
    ASSERT_EQ(2u, m->ui.Dialogs().size());
    EXPECT_TRUE(m->ui.Dialogs()[1].everVisible);
}

TEST_F(ScriptedUserTest, DialogHistoryRecordsNestedModalDialogs) {
    HFONT font = nullptr;
    m->user.On(IDD_MAIN)
        .Inspect([&](HWND dlg) { font = reinterpret_cast<HFONT>(SendMessageA(dlg, WM_GETFONT, 0, 0)); })
        .Press(IDC_MORE)
        .On(IDD_CONFIRM)
        .Inspect([](HWND dlg) {
            HWND main = GetParent(dlg);
            EXPECT_FALSE(IsWindowEnabled(main));
            EXPECT_EQ(dlg, winsim::Current().ui.ActiveDialog());
        })
        .PressEnter()
        .On(IDD_MAIN)
        .Inspect([](HWND dlg) { EXPECT_TRUE(IsWindowEnabled(dlg)); })
        .Press(IDOK);
    EXPECT_EQ(IDOK, Run());
    EXPECT_EQ(IDOK, g.confirmResult);
    EXPECT_FALSE(g.ownerEnabledDuringConfirm);
    const auto& d = m->ui.Dialogs();
    ASSERT_EQ(2u, d.size());
    EXPECT_EQ(IDD_MAIN, d[0].templateId);
    EXPECT_EQ(IDD_CONFIRM, d[1].templateId);
    for (const winsim::DialogRecord& r : d) {
        EXPECT_TRUE(r.modal);
        EXPECT_TRUE(r.everVisible);
        EXPECT_TRUE(r.ended);
        EXPECT_TRUE(r.destroyed);
        EXPECT_EQ(IDOK, r.result);
    }
    EXPECT_EQ("Are you sure", d[1].caption);
    // The DS_SETFONT font lived as long as its dialog.
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(nullptr, m->gdi.FontOf(font));
    EXPECT_EQ(1, m->ui.CountDialogs(IDD_CONFIRM));
    EXPECT_EQ(d[1].hwnd, m->ui.LastDialog(IDD_CONFIRM)->hwnd);
}

// The owner of a modal dialog is disabled, and a click on it while the dialog is up reaches nothing:
// the hit test ends at the disabled window (HTERROR, a beep for a button press). Once the dialog has
// ended, the same click reaches the button.
TEST_F(ScriptedUserTest, AClickOnTheOwnerOfAModalDialogReachesNothing) {
    size_t beeps = 0;
    m->user.On(IDD_MAIN)
        .Press(IDC_MORE)
        .On(IDD_CONFIRM)
        .ClickIn(IDD_MAIN, IDC_DELETE)
        .Inspect([&](HWND) { beeps = m->ui.Beeps().size(); })
        .PressEnter()
        .On(IDD_MAIN)
        .ClickIn(IDD_MAIN, IDC_DELETE)
        .Answer(IDOK, "Select a printer first.")
        .On(IDD_MAIN)
        .Press(IDCANCEL);
    EXPECT_EQ(IDCANCEL, Run());
    EXPECT_TRUE(m->user.Unused().empty());
    EXPECT_EQ((std::vector<int>{IDC_MORE, IDC_DELETE, IDCANCEL}), g.clicks);
    EXPECT_EQ(1u, beeps);
}

TEST_F(ScriptedUserTest, AMinimizedDialogPaintsItsIcon) {
    m->user.On(IDD_MAIN)
        .Minimize()
        .Inspect([](HWND dlg) { EXPECT_TRUE(IsIconic(dlg)); })
        .Restore()
        .Inspect([](HWND dlg) { EXPECT_FALSE(IsIconic(dlg)); })
        .Press(IDOK);
    EXPECT_EQ(IDOK, Run());
    ASSERT_EQ(1u, m->gdi.drawnIcons.size());
    EXPECT_EQ("IDI_APPLICATION", m->gdi.IconName(m->gdi.drawnIcons[0].icon));
}

TEST_F(ScriptedUserTest, TheMouseOverTheDialogShowsTheCursorTheProgramChooses) {
    m->user.On(IDD_MAIN)
        .Do("get busy", [](HWND) { g.busy = true; })
        .MoveMouseOver(IDC_LIST)
        .Inspect([](HWND) { EXPECT_EQ("IDC_WAIT", winsim::Current().gdi.CursorName(winsim::Current().gdi.currentCursor)); })
        .Do("finish", [](HWND) { g.busy = false; })
        .MoveMouseOver()
        .Inspect([](HWND) { EXPECT_EQ("IDC_ARROW", winsim::Current().gdi.CursorName(winsim::Current().gdi.currentCursor)); })
        .PressEsc();
    EXPECT_EQ(IDCANCEL, Run());
}

TEST_F(ScriptedUserTest, UnusedListsTheStepsTheProgramNeverReached) {
    m->user.On(IDD_MAIN).Press(IDOK).On(IDD_CONFIRM).PressEnter().Answer(IDYES);
    EXPECT_EQ(IDOK, Run());
    EXPECT_EQ((std::vector<std::string>{"On(103): PressEnter()", "Answer(IDYES)"}), m->user.Unused());
}

// A modeless dialog in the program's own GetMessage loop, with IsDialogMessage for the keyboard.
INT_PTR CALLBACK ModelessProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_INITDIALOG)
        return TRUE;
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        g.clicks.push_back(LOWORD(wParam));
        DestroyWindow(dlg);
        return TRUE;
    }
    if (msg == WM_DESTROY)
        PostQuitMessage(LOWORD(g.clicks.empty() ? 0 : g.clicks.back()));
    return FALSE;
}

TEST_F(ScriptedUserTest, AModelessDialogRunsInTheProgramsOwnLoop) {
    HWND dlg = CreateDialogParamA(g.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, ModelessProc, 0);
    ASSERT_NE(nullptr, dlg);
    ShowWindow(dlg, SW_SHOW);
    m->user.On(IDD_MAIN).PressEsc();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (!IsDialogMessageA(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    EXPECT_EQ(WPARAM(IDCANCEL), msg.wParam);
    EXPECT_FALSE(IsWindow(dlg));
    EXPECT_FALSE(m->ui.Dialogs()[0].modal);
    EXPECT_TRUE(m->ui.Dialogs()[0].destroyed);
}

// Injected failures make the dialog calls fail as Windows reports it.
TEST_F(ScriptedUserTest, InjectedFailuresReachTheProgram) {
    m->faults.Fail("DialogBoxParamA", ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_EQ(-1, Run());
    EXPECT_EQ(DWORD(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_TRUE(m->ui.Dialogs().empty());
    m->faults.Fail("CreateDialogParamA", ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_EQ(nullptr, CreateDialogParamA(g.instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, ModelessProc, 0));
    m->faults.Fail("SetTimer", ERROR_NOT_ENOUGH_MEMORY, 1);
    g.timerMs = 100;
    m->user.On(IDD_MAIN).Inspect([](HWND dlg) { EXPECT_FALSE(winsim::Current().ui.HasTimer(dlg, 1)); }).PressEsc();
    EXPECT_EQ(IDCANCEL, Run());
    EXPECT_EQ(0, g.ticks);
}

// Text follows the machine's ANSI code page; a test may name a line in UTF-8.
TEST_F(ScriptedUserTest, JapaneseTextInCodePage932) {
    m->system.SetLocale(0x0411);
    m->system.acp = 932;
    m->user.On(IDD_MAIN)
        .Do("add a Japanese printer",
            [](HWND dlg) {
                SendDlgItemMessageA(dlg, IDC_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("\x83\x76\x83\x8a\x83\x93\x83\x5e"));
            })
        .SelectLine(IDC_LIST, "\xe3\x83\x97\xe3\x83\xaa\xe3\x83\xb3\xe3\x82\xbf")
        .PressEsc();
    EXPECT_EQ(IDCANCEL, Run());
    ASSERT_EQ(1u, g.selections.size());
    EXPECT_EQ("\x83\x76\x83\x8a\x83\x93\x83\x5e", g.selections[0]);
}

TEST_F(ScriptedUserTest, PollingAnEmptyQueueForeverIsCaught) {
    MSG msg;
    EXPECT_THROW(
        {
            for (;;)
                PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
        },
        winsim::SimAbort);
}

}  // namespace
