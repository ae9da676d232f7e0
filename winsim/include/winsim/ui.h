// Simulated windows: dialogs built from templates, controls, the message queue, focus, painting and timers.
#pragma once
#include <winsim/wintypes.h>
#include <winsim/api_user.h>

#include <memory>
#include <string>
#include <vector>

namespace winsim {

struct UiState;

// One dialog the program created, kept after it is destroyed so a test can read its story.
struct DialogRecord {
    HWND hwnd = nullptr;
    int templateId = 0;        // resource id of the template; 0 for a named or in-memory template
    std::string templateName;  // "#102", the template's name, or "(indirect)"
    std::string caption;       // the caption the template gave, in the machine's ANSI code page
    bool modal = false;        // DialogBoxParamA / DialogBoxIndirectParamA
    bool everVisible = false;  // was shown on the screen at some point
    bool ended = false;        // EndDialog was called
    INT_PTR result = 0;        // the value given to EndDialog
    bool destroyed = false;
};

// One MessageBoxA call and the answer the scripted user gave.
struct MessageBoxRecord {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT type = 0;
    int answer = 0;
    // The texts as a W call passed them, in UTF-8 (empty for MessageBoxA).
    std::string textUtf8;
    std::string captionUtf8;
};

class Ui {
public:
    Ui();
    ~Ui();
    Ui(const Ui&) = delete;
    Ui& operator=(const Ui&) = delete;

    // ---- what a test reads ----
    // Every dialog created, in creation order.
    const std::vector<DialogRecord>& Dialogs() const;
    // The most recent dialog made from template `templateId`, or null.
    const DialogRecord* LastDialog(int templateId) const;
    int CountDialogs(int templateId) const;
    // The dialog a person would act on now: the topmost visible, enabled dialog; null when none.
    HWND ActiveDialog() const;
    // Live top-level windows, topmost first.
    std::vector<HWND> TopLevelWindows() const;

    // A window's text in the machine's ANSI code page, and in UTF-8 (empty for no window).
    std::string Text(HWND window) const;
    std::string TextUtf8(HWND window) const;
    std::string ClassName(HWND window) const;
    // The font the window last received by WM_SETFONT (null if none).
    HFONT FontOf(HWND window) const;
    // The icon the window holds from WM_SETICON.
    HICON IconOf(HWND window, bool big) const;
    // True while the window has an update region that WM_PAINT has not validated.
    bool NeedsPaint(HWND window) const;
    // The lines of a list box in the machine's ANSI code page, top to bottom.
    std::vector<std::string> ListLines(HWND list) const;

    const std::vector<MessageBoxRecord>& MessageBoxes() const;
    // MessageBeep arguments in call order.
    const std::vector<UINT>& Beeps() const;
    // Timers armed now, and whether one (window, id) is.
    int TimerCount() const;
    bool HasTimer(HWND window, UINT_PTR id) const;

    // Bounds that turn a program that never settles into a SimAbort: virtual time a message loop may
    // spend waiting, and messages sent or retrieved.
    uint64_t maxWaitMs = 60ull * 60 * 1000;
    uint64_t maxMessages = 2000000;

    // ---- for the other parts of the simulation ----
    // BeginPaint validates the window's update region through this.
    void ValidatePaint(HWND window);
    // GetDC/BeginPaint: whether the window exists, and its client rectangle.
    bool Exists(HWND window) const;
    RECT ClientRect(HWND window) const;
    UiState& State() { return *m_state; }
    const UiState& State() const { return *m_state; }

private:
    std::unique_ptr<UiState> m_state;
};

}  // namespace winsim
