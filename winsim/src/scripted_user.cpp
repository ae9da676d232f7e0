// The scripted user: steps, the gestures they turn into (mouse and keyboard input through the queue), and message box answers.
#include "w_internal.h"

#include <winsim/user.h>

#include <algorithm>

namespace winsim {

namespace {

const char* ButtonName(int id) {
    switch (id) {
    case IDOK:
        return "IDOK";
    case IDCANCEL:
        return "IDCANCEL";
    case IDABORT:
        return "IDABORT";
    case IDRETRY:
        return "IDRETRY";
    case IDIGNORE:
        return "IDIGNORE";
    case IDYES:
        return "IDYES";
    case IDNO:
        return "IDNO";
    case IDTRYAGAIN:
        return "IDTRYAGAIN";
    case IDCONTINUE:
        return "IDCONTINUE";
    }
    return nullptr;
}

std::string AnswerText(int id) {
    const char* name = ButtonName(id);
    return name ? name : std::to_string(id);
}

HWND RequireDialog(HWND dlg, const std::string& gesture) {
    if (!dlg || !wm::Get(dlg))
        throw SimAbort(gesture + ": no dialog is up to do it in");
    return dlg;
}

// The control a person would act on: it must be there, on the screen, and usable.
Wnd* RequireControl(HWND dlg, int id, const std::string& gesture, bool mustBeEnabled = true) {
    RequireDialog(dlg, gesture);
    HWND ctrl = wm::FindChildById(dlg, id);
    Wnd* w = wm::Get(ctrl);
    if (!w)
        throw SimAbort(gesture + ": " + wm::DescribeWindow(dlg) + " has no control " + std::to_string(id));
    if (!wm::IsVisibleChain(w))
        throw SimAbort(gesture + ": control " + std::to_string(id) + " of " + wm::DescribeWindow(dlg) +
                       " is not visible");
    if (mustBeEnabled && !wm::IsEnabledChain(w))
        throw SimAbort(gesture + ": control " + std::to_string(id) + " of " + wm::DescribeWindow(dlg) +
                       " is disabled");
    return w;
}

void Click(HWND target, int x, int y) {
    LPARAM at = MAKELPARAM(x, y);
    wm::PostInput(target, WM_MOUSEMOVE, 0, at);
    wm::PostInput(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    wm::PostInput(target, WM_LBUTTONUP, 0, at);
}

// A key goes to the focus window; with no focus in the dialog it reaches the dialog as a system key,
// as Windows sends keys to the active window when nothing has the focus.
void Key(HWND dlg, WPARAM vk, BYTE scan) {
    HWND focus = wm::S().focus;
    bool inDialog = focus && (focus == dlg || wm::IsDescendant(dlg, focus));
    HWND target = inDialog ? focus : dlg;
    LPARAM down = LPARAM(1 | (DWORD(scan) << 16));
    LPARAM up = LPARAM(DWORD(down) | 0xC0000000u);
    wm::PostInput(target, inDialog ? WM_KEYDOWN : WM_SYSKEYDOWN, vk, down);
    wm::PostInput(target, inDialog ? WM_KEYUP : WM_SYSKEYUP, vk, up);
}

Action KeyAction(const char* name, WPARAM vk, BYTE scan) {
    return Action{name, [name, vk, scan](HWND dlg) { Key(RequireDialog(dlg, name), vk, scan); }};
}

void ClickLine(HWND dlg, int listId, int index, const std::string& gesture) {
    Wnd* w = RequireControl(dlg, listId, gesture);
    if (w->kind != WndKind::ListBox)
        throw SimAbort(gesture + ": control " + std::to_string(listId) + " is a " + w->className + ", not a list box");
    if (index < 0 || index >= int(w->lines.size()))
        throw SimAbort(gesture + ": list " + std::to_string(listId) + " has " + std::to_string(w->lines.size()) +
                       " lines");
    // The user scrolls the line into view, then clicks on it.
    int y = wm::ListLineY(w->handle, index);
    Click(w->handle, 2, y);
}

}  // namespace

// ---- gestures ----

Action Press(int controlId) {
    std::string name = "Press(" + std::to_string(controlId) + ")";
    return Action{name, [controlId, name](HWND dlg) {
                      Wnd* w = RequireControl(dlg, controlId, name);
                      if (w->kind != WndKind::Button || (w->style & BS_TYPEMASK) == BS_GROUPBOX)
                          throw SimAbort(name + ": control " + std::to_string(controlId) + " is not a button");
                      RECT c = wm::ClientRectOf(w);
                      Click(w->handle, int(c.right / 2), int(c.bottom / 2));
                  }};
}

Action PressEsc() {
    return KeyAction("PressEsc()", VK_ESCAPE, 0x01);
}

Action PressEnter() {
    return KeyAction("PressEnter()", VK_RETURN, 0x1C);
}

Action PressTab() {
    return KeyAction("PressTab()", VK_TAB, 0x0F);
}

Action CloseBox() {
    return Action{"CloseBox()", [](HWND dlg) {
                      Wnd* w = wm::Get(RequireDialog(dlg, "CloseBox()"));
                      if ((w->style & (WS_CAPTION | WS_SYSMENU)) != (WS_CAPTION | WS_SYSMENU))
                          throw SimAbort("CloseBox(): " + wm::DescribeWindow(dlg) + " has no close box");
                      if (SystemMenu* m = wm::SystemMenuOf(dlg, false)) {
                          bool enabled = false;
                          for (const SystemMenu::Item& i : m->items)
                              if (i.id == SC_CLOSE && !(i.flags & (MF_GRAYED | MF_DISABLED)))
                                  enabled = true;
                          if (!enabled)
                              throw SimAbort("CloseBox(): the close box of " + wm::DescribeWindow(dlg) +
                                             " is disabled");
                      }
                      POINT o = wm::ClientOrigin(w);
                      wm::PostInput(dlg, WM_NCLBUTTONDOWN, HTCLOSE, MAKELPARAM(o.x + 10, o.y - 10));
                  }};
}

Action ClickIn(int templateId, int controlId) {
    std::string name = "ClickIn(" + std::to_string(templateId) + ", " + std::to_string(controlId) + ")";
    return Action{name, [templateId, controlId, name](HWND) {
                      HWND behind = nullptr;
                      for (const DialogRecord& d : wm::S().dialogs) {
                          if (d.templateId == templateId && !d.destroyed && wm::Get(d.hwnd))
                              behind = d.hwnd;
                      }
                      // Where the control is on the screen; whether it takes the click is the input's business.
                      Wnd* w = RequireControl(behind, controlId, name, false);
                      RECT c = wm::ClientRectOf(w);
                      Click(w->handle, int(c.right / 2), int(c.bottom / 2));
                  }};
}

Action SelectLine(int listId, const std::string& text) {
    std::string name = "SelectLine(" + std::to_string(listId) + ", \"" + text + "\")";
    return Action{name, [listId, text, name](HWND dlg) {
                      Wnd* w = RequireControl(dlg, listId, name);
                      std::string seen;
                      for (size_t i = 0; i < w->lines.size(); ++i) {
                          if (wm::ToA(w->lines[i].text) == text || wm::ToUtf8(w->lines[i].text) == text) {
                              ClickLine(dlg, listId, int(i), name);
                              return;
                          }
                          seen += (seen.empty() ? "\"" : ", \"") + wm::ToUtf8(w->lines[i].text) + "\"";
                      }
                      throw SimAbort(name + ": no such line; the list shows " + (seen.empty() ? "nothing" : seen));
                  }};
}

Action SelectLine(int listId, int index) {
    std::string name = "SelectLine(" + std::to_string(listId) + ", " + std::to_string(index) + ")";
    return Action{name, [listId, index, name](HWND dlg) { ClickLine(dlg, listId, index, name); }};
}

Action Focus(int controlId) {
    std::string name = "Focus(" + std::to_string(controlId) + ")";
    return Action{name, [controlId, name](HWND dlg) {
                      Wnd* w = RequireControl(dlg, controlId, name);
                      wm::Send(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(w->handle), TRUE);
                  }};
}

Action Minimize() {
    return Action{"Minimize()", [](HWND dlg) {
                      wm::PostInput(RequireDialog(dlg, "Minimize()"), WM_SYSCOMMAND, SC_MINIMIZE, 0);
                  }};
}

Action Restore() {
    return Action{"Restore()", [](HWND dlg) {
                      wm::PostInput(RequireDialog(dlg, "Restore()"), WM_SYSCOMMAND, SC_RESTORE, 0);
                  }};
}

Action MoveMouseOver(int controlId) {
    std::string name = "MoveMouseOver(" + std::to_string(controlId) + ")";
    return Action{name, [controlId, name](HWND dlg) {
                      HWND target = RequireDialog(dlg, name);
                      if (controlId)
                          target = RequireControl(dlg, controlId, name, false)->handle;
                      RECT c = wm::ClientRectOf(wm::Get(target));
                      wm::PostInput(target, WM_MOUSEMOVE, 0, MAKELPARAM(c.right / 2, c.bottom / 2));
                  }};
}

Action Wait(uint64_t ms) {
    Action a{"Wait(" + std::to_string(ms) + ")", nullptr};
    a.waitMs = ms;
    return a;
}

Action Inspect(std::function<void(HWND dlg)> look) {
    return Action{"Inspect()", std::move(look)};
}

Action Do(const std::string& description, std::function<void(HWND dlg)> act) {
    return Action{"Do(" + description + ")", std::move(act)};
}

// ---- the script ----

std::string ScriptedUser::Target::Describe() const {
    switch (kind) {
    case Kind::TemplateId:
        return "On(" + std::to_string(templateId) + ")";
    case Kind::Caption:
        return "On(\"" + caption + "\")";
    case Kind::Any:
        break;
    }
    return "Anywhere()";
}

std::string ScriptedUser::Step::Describe() const {
    if (isAnswer)
        return "Answer(" + AnswerText(answer) + (answerMatch.empty() ? "" : ", \"" + answerMatch + "\"") + ")";
    return target.Describe() + ": " + action.description;
}

ScriptedUser::Script& ScriptedUser::Script::Then(Action action) {
    Step s;
    s.target = m_target;
    s.action = std::move(action);
    m_user->m_steps.push_back(std::move(s));
    return *this;
}

ScriptedUser::Script& ScriptedUser::Script::On(int templateId) {
    m_target = Target{Target::Kind::TemplateId, templateId, std::string()};
    return *this;
}

ScriptedUser::Script& ScriptedUser::Script::On(const std::string& caption) {
    m_target = Target{Target::Kind::Caption, 0, caption};
    return *this;
}

ScriptedUser::Script& ScriptedUser::Script::Anywhere() {
    m_target = Target{};
    return *this;
}

ScriptedUser::Script& ScriptedUser::Script::Answer(int button, const std::string& textContains) {
    Step s;
    s.isAnswer = true;
    s.answer = button;
    s.answerMatch = textContains;
    m_user->m_steps.push_back(std::move(s));
    return *this;
}

ScriptedUser::Script ScriptedUser::On(int templateId) {
    return Script(*this, Target{Target::Kind::TemplateId, templateId, std::string()});
}

ScriptedUser::Script ScriptedUser::On(const std::string& caption) {
    return Script(*this, Target{Target::Kind::Caption, 0, caption});
}

ScriptedUser::Script ScriptedUser::Anywhere() {
    return Script(*this, Target{});
}

ScriptedUser::Script ScriptedUser::Answer(int button, const std::string& textContains) {
    Script s(*this, Target{});
    s.Answer(button, textContains);
    return s;
}

std::vector<std::string> ScriptedUser::Unused() const {
    std::vector<std::string> out;
    for (const Step& s : m_steps)
        if (!s.performed)
            out.push_back(s.Describe());
    return out;
}

ScriptedUser::Step* ScriptedUser::NextPending() {
    for (Step& s : m_steps)
        if (!s.performed)
            return &s;
    return nullptr;
}

const ScriptedUser::Step* ScriptedUser::NextPending() const {
    for (const Step& s : m_steps)
        if (!s.performed)
            return &s;
    return nullptr;
}

std::string ScriptedUser::NextStep() const {
    const Step* s = NextPending();
    return s ? s->Describe() : "nothing";
}

static bool TargetMatches(const ScriptedUser::Target& t, HWND dlg) {
    using Kind = ScriptedUser::Target::Kind;
    if (t.kind == Kind::Any)
        return true;
    Wnd* w = wm::Get(dlg);
    if (!w)
        return false;
    if (t.kind == Kind::TemplateId) {
        if (!w->dialog || w->dialog->record < 0)
            return false;
        return wm::S().dialogs[size_t(w->dialog->record)].templateId == t.templateId;
    }
    return wm::ToA(w->text) == t.caption || wm::ToUtf8(w->text) == t.caption;
}

ScriptedUser::Idle ScriptedUser::OnIdle(HWND activeDialog) {
    Machine& m = Current();
    if (m_quietUntil > m.now)
        return Idle::KeepingStill;
    Step* s = NextPending();
    if (!s)
        return Idle::NothingScripted;
    if (s->isAnswer || !TargetMatches(s->target, activeDialog))
        return Idle::NotMatching;
    s->performed = true;
    std::string where = activeDialog ? " in " + wm::DescribeWindow(activeDialog) : "";
    m_log.push_back(s->Describe() + where);
    if (s->action.waitMs)
        m_quietUntil = m.now + s->action.waitMs;
    // Copied: the action may add steps, which moves the vector.
    std::function<void(HWND)> perform = s->action.perform;
    if (perform)
        perform(activeDialog);
    return Idle::Performed;
}

int ScriptedUser::AnswerMessageBox(const MessageBoxRecord& box) {
    std::string shown = "message box \"" + box.caption + "\": \"" + box.text + "\"";
    Step* s = NextPending();
    if (!s || !s->isAnswer)
        throw SimAbort("the program shows a " + shown + " the test did not script; the next scripted step is " +
                       NextStep());
    if (!s->answerMatch.empty() && box.text.find(s->answerMatch) == std::string::npos)
        throw SimAbort("the program shows a " + shown + ", but the script expected one saying \"" + s->answerMatch +
                       "\"");
    std::vector<int> buttons;
    switch (box.type & MB_TYPEMASK) {
    case MB_OK:
        buttons = {IDOK};
        break;
    case MB_OKCANCEL:
        buttons = {IDOK, IDCANCEL};
        break;
    case MB_ABORTRETRYIGNORE:
        buttons = {IDABORT, IDRETRY, IDIGNORE};
        break;
    case MB_YESNOCANCEL:
        buttons = {IDYES, IDNO, IDCANCEL};
        break;
    case MB_YESNO:
        buttons = {IDYES, IDNO};
        break;
    case MB_RETRYCANCEL:
        buttons = {IDRETRY, IDCANCEL};
        break;
    case MB_CANCELTRYCONTINUE:
        buttons = {IDCANCEL, IDTRYAGAIN, IDCONTINUE};
        break;
    }
    if (std::find(buttons.begin(), buttons.end(), s->answer) == buttons.end())
        throw SimAbort("Answer(" + AnswerText(s->answer) + "): the " + shown + " has no such button");
    s->performed = true;
    m_log.push_back(s->Describe() + " to " + shown);
    return s->answer;
}

}  // namespace winsim
