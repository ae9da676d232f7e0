// The scripted user: what a person does, step by step, each time the program waits for input.
//
//   m->user.On(IDD_MAIN)
//       .Inspect([&](HWND dlg) { EXPECT_EQ(3, SendDlgItemMessageA(dlg, IDC_LIST, LB_GETCOUNT, 0, 0)); })
//       .SelectLine(IDC_LIST, "Printer 2")
//       .Press(IDC_DELETE)
//       .Answer(IDYES)
//       .On(IDD_DONE).PressEnter();
//
// Steps run in order. A dialog step runs when the program waits for input (a message loop finds
// nothing to do) and the dialog it names is the one a person would act on; an Answer step answers
// the next MessageBoxA. Gestures reach the program as a person's would: mouse clicks and key
// presses go through the message queue and the program's own loop.
#pragma once
#include <winsim/wintypes.h>

#include <functional>
#include <string>
#include <vector>

namespace winsim {

struct MessageBoxRecord;

// One gesture of the user, performed on the dialog its step names (null for Anywhere()).
struct Action {
    std::string description;
    std::function<void(HWND dlg)> perform;
    // For Wait: the user keeps still this long once the step starts.
    uint64_t waitMs = 0;
};

// A mouse click on a button (refused, with SimAbort, when the button is hidden or disabled).
Action Press(int controlId);
Action PressEsc();
Action PressEnter();
Action PressTab();
// A click on the close box of the dialog's caption (WM_SYSCOMMAND SC_CLOSE).
Action CloseBox();
// A mouse click on control `controlId` of the latest live dialog made from `templateId`, wherever the
// step's own dialog is: a person clicking on a window behind the one in front. It reaches the control
// only when that takes input; a disabled window, or one inside a disabled window (the owner of a modal
// dialog), gets none, as on Windows.
Action ClickIn(int templateId, int controlId);
// A click on the line of a list box showing exactly `text`, or on line `index`.
Action SelectLine(int listId, const std::string& text);
Action SelectLine(int listId, int index);
// Moves the keyboard focus to a control, as Tab or a click on it would.
Action Focus(int controlId);
Action Minimize();
Action Restore();
// The mouse comes to rest over a control (0: over the dialog itself).
Action MoveMouseOver(int controlId = 0);
// Does nothing for `ms` of virtual time; timers fire meanwhile.
Action Wait(uint64_t ms);
// Reads the dialog without acting on it.
Action Inspect(std::function<void(HWND dlg)> look);
// Anything else, described for the log.
Action Do(const std::string& description, std::function<void(HWND dlg)> act);

class ScriptedUser {
public:
    // Which dialog a step is for.
    struct Target {
        enum class Kind { Any, TemplateId, Caption } kind = Kind::Any;
        int templateId = 0;
        std::string caption;
        std::string Describe() const;
    };

    // Appends steps for one target; returned by On() and Anywhere(), chainable.
    class Script {
    public:
        Script& Then(Action action);
        Script& On(int templateId);
        Script& On(const std::string& caption);
        Script& Anywhere();
        // The next message box is answered with `button` (IDOK, IDYES...); when `textContains` is not
        // empty the box's text must contain it.
        Script& Answer(int button, const std::string& textContains = std::string());

        Script& Press(int controlId) { return Then(winsim::Press(controlId)); }
        Script& PressEsc() { return Then(winsim::PressEsc()); }
        Script& PressEnter() { return Then(winsim::PressEnter()); }
        Script& PressTab() { return Then(winsim::PressTab()); }
        Script& CloseBox() { return Then(winsim::CloseBox()); }
        Script& ClickIn(int templateId, int controlId) { return Then(winsim::ClickIn(templateId, controlId)); }
        Script& SelectLine(int listId, const std::string& text) { return Then(winsim::SelectLine(listId, text)); }
        Script& SelectLine(int listId, int index) { return Then(winsim::SelectLine(listId, index)); }
        Script& Focus(int controlId) { return Then(winsim::Focus(controlId)); }
        Script& Minimize() { return Then(winsim::Minimize()); }
        Script& Restore() { return Then(winsim::Restore()); }
        Script& MoveMouseOver(int controlId = 0) { return Then(winsim::MoveMouseOver(controlId)); }
        Script& Wait(uint64_t ms) { return Then(winsim::Wait(ms)); }
        Script& Inspect(std::function<void(HWND dlg)> look) { return Then(winsim::Inspect(std::move(look))); }
        Script& Do(const std::string& description, std::function<void(HWND dlg)> act) {
            return Then(winsim::Do(description, std::move(act)));
        }

    private:
        friend class ScriptedUser;
        Script(ScriptedUser& user, Target target) : m_user(&user), m_target(std::move(target)) {}
        ScriptedUser* m_user;
        Target m_target;
    };

    Script On(int templateId);
    Script On(const std::string& caption);
    // Steps that do not care which dialog is up (or whether one is).
    Script Anywhere();
    Script Answer(int button, const std::string& textContains = std::string());

    // Steps not performed yet, described ("On(102): Press(1001)"); empty when the script was used up.
    std::vector<std::string> Unused() const;
    // Steps performed, in order, with the dialog they met.
    const std::vector<std::string>& Log() const { return m_log; }

    // ---- for the window manager ----
    enum class Idle {
        Performed,        // a step ran: look at the queue again
        KeepingStill,     // a Wait is running until QuietUntil()
        NotMatching,      // the next step is for another dialog or for a message box
        NothingScripted,  // no step left
    };
    Idle OnIdle(HWND activeDialog);
    uint64_t QuietUntil() const { return m_quietUntil; }
    // The next step, described, for error messages ("nothing" when none is left).
    std::string NextStep() const;
    // Answers a message box from the script, or throws SimAbort when the script has no answer for it.
    int AnswerMessageBox(const MessageBoxRecord& box);

private:
    struct Step {
        Target target;
        Action action;
        bool isAnswer = false;
        int answer = 0;
        std::string answerMatch;
        bool performed = false;
        std::string Describe() const;
    };
    Step* NextPending();
    const Step* NextPending() const;

    std::vector<Step> m_steps;
    std::vector<std::string> m_log;
    uint64_t m_quietUntil = 0;
};

}  // namespace winsim
