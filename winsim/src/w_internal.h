// The window manager's state and helpers, shared by the user32 parts of the simulation.
#pragma once
#include <windows.h>
#include <winsim/machine.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

// winerror.h does not carry these window-manager codes.
#ifndef ERROR_TLW_WITH_WSCHILD
#define ERROR_TLW_WITH_WSCHILD 1406L
#endif
#ifndef ERROR_CONTROL_ID_NOT_FOUND
#define ERROR_CONTROL_ID_NOT_FOUND 1421L
#endif
#ifndef ERROR_NO_WILDCARD_CHARACTERS
#define ERROR_NO_WILDCARD_CHARACTERS 1417L
#endif

namespace winsim {

enum class WndKind { Generic, Dialog, Button, Static, ListBox };

struct ListLine {
    std::u16string text;
    ULONG_PTR data = 0;
    bool selected = false;  // multiple-selection list boxes only
};

// What the dialog manager keeps for a dialog window (Wine calls it DIALOGINFO).
struct DialogData {
    DLGPROC proc = nullptr;
    HFONT font = nullptr;  // the DS_SETFONT font, deleted with the dialog
    int xBase = 8;
    int yBase = 16;
    INT_PTR idResult = IDOK;  // the default button's id until EndDialog stores its value here
    bool ended = false;
    bool modal = false;
    HWND savedFocus = nullptr;
    int record = -1;  // index into UiState::dialogs
};

struct Wnd {
    HWND handle = nullptr;
    WndKind kind = WndKind::Generic;
    std::string className;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HWND parent = nullptr;  // child windows only
    HWND owner = nullptr;   // top-level windows only
    std::vector<HWND> children;  // top of the z-order first, which is creation order
    LONG_PTR id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::u16string text;
    // Screen coordinates for a top-level window, the parent's client coordinates for a child.
    RECT rect{};
    HFONT lastSetFont = nullptr;  // the last font WM_SETFONT brought, whoever handled it
    HFONT font = nullptr;         // the font a control draws with
    HICON iconBig = nullptr;
    HICON iconSmall = nullptr;
    LONG_PTR userData = 0;
    std::vector<uint8_t> extra;  // window extra bytes (DWLP_* for dialogs)
    HCURSOR classCursor = nullptr;
    bool destroyed = false;
    bool destroying = false;
    bool needsPaint = false;
    std::unique_ptr<DialogData> dialog;

    // Button.
    UINT buttonState = 0;
    // Static: the icon of an SS_ICON control.
    HICON image = nullptr;
    // List box.
    std::vector<ListLine> lines;
    int selected = -1;
    int caret = 0;
    int anchor = -1;
    int top = 0;
    int horzExtent = 0;
    int itemHeight = 16;
    bool captured = false;
    bool inFocus = false;
    bool caretOn = true;
    bool wantVScroll = false;  // WS_VSCROLL / WS_HSCROLL asked for at creation
    bool wantHScroll = false;
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    uint64_t due = 0;
    TIMERPROC proc = nullptr;
};

struct WndClass {
    std::string name;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    int wndExtra = 0;
    HCURSOR cursor = nullptr;
    HICON icon = nullptr;
    WndKind kind = WndKind::Generic;
    bool system = false;
};

// A window's system menu: the commands it lists and their MF_GRAYED / MF_DISABLED state.
struct SystemMenu {
    HWND window = nullptr;
    struct Item {
        UINT id;
        UINT flags;
    };
    std::vector<Item> items;
};

struct UiState {
    std::map<HWND, std::unique_ptr<Wnd>> windows;  // every window ever made, destroyed ones flagged
    std::vector<HWND> topLevel;                    // live top-level windows, topmost first
    uintptr_t nextHandle = 0x0001004A;
    std::deque<MSG> posted;  // PostMessage
    std::deque<MSG> input;   // the scripted user's mouse and keyboard
    bool quitPending = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    UINT_PTR nextTimerId = 0x7FFF;  // thread timers count down from here, as on Wine
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    HWND desktop = nullptr;
    std::vector<DialogRecord> dialogs;
    std::vector<MessageBoxRecord> boxes;
    std::vector<UINT> beeps;
    std::vector<WndClass> classes;
    std::map<HWND, HMENU> systemMenus;
    std::map<HMENU, SystemMenu> menus;
    uintptr_t nextMenu = 0x000200A0;
    uint64_t messages = 0;
    uint64_t emptyPolls = 0;
    DWORD messageTime = 0;
    // Virtual time the message loops spent waiting for timers since the scripted user last acted.
    uint64_t idleAdvanced = 0;
    uint64_t lastPollTime = 0;
};

namespace wm {

UiState& S();
// The live window behind `hwnd`, or null.
Wnd* Get(HWND hwnd);
// Also destroyed windows.
Wnd* GetAny(HWND hwnd);
// The live window, or null with ERROR_INVALID_WINDOW_HANDLE.
Wnd* Check(HWND hwnd);
std::string HwndText(HWND hwnd);
// "0x0010": a message or command number in fault texts.
std::string Hex(UINT value);
// "dialog 102 \"Caption\"" for error messages and logs.
std::string DescribeWindow(HWND hwnd);

// Window extra bytes (DWLP_* for dialogs); false when the offset is out of range.
bool GetExtra(const Wnd* w, int offset, LONG_PTR* value, size_t size = sizeof(LONG_PTR));
bool SetExtra(Wnd* w, int offset, LONG_PTR value, size_t size = sizeof(LONG_PTR));
DLGPROC DialogProcOf(const Wnd* w);

// Text between the program (machine's ANSI code page) and the windows (UTF-16).
std::u16string FromA(const char* text);
std::string ToA(const std::u16string& text);
std::string ToUtf8(const std::u16string& text);
// Copies ANSI text into a caller's buffer of `size` bytes as WM_GETTEXT does: at most size-1 bytes,
// never half of a double-byte character, NUL-terminated; returns the bytes copied.
int CopyText(const std::string& text, char* buffer, int size);

// Non-client insets of a window with these styles (left, top, right, bottom).
RECT Insets(DWORD style, DWORD exStyle);
RECT ClientRectOf(const Wnd* w);
// Screen position of a window's client origin.
POINT ClientOrigin(const Wnd* w);
bool IsVisibleChain(const Wnd* w);
bool IsEnabledChain(const Wnd* w);
HWND TopLevelOf(HWND hwnd);
bool IsDescendant(HWND ancestor, HWND hwnd);

// Messages, without fault injection and call tracing: what the system itself sends.
LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Input from the scripted user: retrieved after posted messages, before paint and timers.
void PostInput(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void CountMessage();
bool Peek(MSG* msg, HWND hwnd, UINT first, UINT last, UINT flags);
// Blocks as GetMessage does: when nothing is there, lets the scripted user act or the clock run.
void GetBlocking(MSG* msg, HWND hwnd, UINT first, UINT last);
LRESULT Dispatch(const MSG* msg);
bool Translate(const MSG* msg);

// Window lifetime and state.
struct CreateParams {
    DWORD exStyle = 0;
    std::string className;  // or an atom in classAtom
    WORD classAtom = 0;
    const char* name = nullptr;  // ANSI text, or "\xff" + WORD resource id as dialog templates give it
    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    HWND parent = nullptr;
    LONG_PTR idOrMenu = 0;
    HINSTANCE instance = nullptr;
    LPVOID param = nullptr;
    int extraBytes = -1;  // -1: from the class
};
HWND Create(const CreateParams& p);
void Destroy(HWND hwnd);
BOOL Show(HWND hwnd, int cmd);
void SetVisible(Wnd* w, bool visible);
HWND SetFocusTo(HWND hwnd);
// Sets (or with null releases) the mouse capture; the window losing it gets WM_CAPTURECHANGED.
HWND CaptureMouse(HWND hwnd);
void Activate(HWND hwnd);
// Activates the window Windows picks when `leaving` stops being the active one.
void ActivateOther(HWND leaving);
void Invalidate(HWND hwnd, bool children);
void Move(Wnd* w, int x, int y, int cx, int cy, bool move, bool size);
bool EnableWin(HWND hwnd, bool enable);
HWND FindChildById(HWND parent, int id);
const WndClass* FindClass(const std::string& name);

// The system menu of a window (made on first use), or null when the window has none.
SystemMenu* SystemMenuOf(HWND hwnd, bool create);

// Dialog manager.
HWND NextTabItem(HWND dlg, HWND ctrl, bool previous);
HWND NextGroupItem(HWND dlg, HWND ctrl, bool previous);
HWND CreateDialogFrom(HINSTANCE instance, const uint8_t* tpl, size_t size, HWND owner, DLGPROC proc, LPARAM param,
                      bool modal, const std::string& name, int templateId);
// The raw template of a dialog resource, or null with the error FindResource reports.
const std::vector<uint8_t>* FindTemplate(HINSTANCE instance, LPCSTR name, DWORD* error);
INT_PTR RunModal(HWND dlg, HWND owner);
bool DialogMessage(HWND dlg, MSG* msg);
LRESULT DefDlg(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL EndDialogInternal(HWND hwnd, INT_PTR result);
// The icon a dialog template or SS_ICON names, loaded from the module as LoadIconA would.
HICON LoadModuleIcon(HINSTANCE instance, LPCSTR name);

// Built-in window procedures.
LRESULT CALLBACK DialogWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void RegisterSystemClasses(UiState& s);

// The y coordinate (list client) of the middle of a list box line, scrolling it into view first.
int ListLineY(HWND list, int index);

// Sets the thread's last error.
void SetError(DWORD error);

}  // namespace wm
}  // namespace winsim
