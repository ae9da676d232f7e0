// Conformance of the list box: sorting, selection, text, errors and notifications, in the dialog of conformance.rc.
#include "conformance.h"
#include "conformance_res.h"

#include <string.h>

namespace {

int g_selChanges;
int g_commands;

INT_PTR CALLBACK CountingProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) {
        g_commands++;
        if (HIWORD(wParam) == LBN_SELCHANGE)
            g_selChanges++;
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}

HWND CreateListDialog() {
    g_selChanges = 0;
    g_commands = 0;
    return CreateDialogParamA(conformance::TestModule(), MAKEINTRESOURCEA(IDD_CONFORMANCE), NULL, CountingProc, 0);
}

LRESULT Add(HWND list, const char* text) {
    return SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)text);
}

// The line at `index`, or "<LB_ERR>".
const char* Line(HWND list, int index) {
    static char text[256];
    LRESULT len = SendMessageA(list, LB_GETTEXTLEN, index, 0);
    if (len == LB_ERR || len >= (LRESULT)sizeof(text))
        return "<LB_ERR>";
    memset(text, 'X', sizeof(text));
    LRESULT got = SendMessageA(list, LB_GETTEXT, index, (LPARAM)text);
    if (got != len || text[len] != '\0')
        return "<bad copy>";
    return text;
}

// A click on a line, as the mouse sends it.
void ClickLine(HWND list, int index) {
    RECT r;
    SendMessageA(list, LB_GETITEMRECT, index, (LPARAM)&r);
    LPARAM at = MAKELPARAM(r.left + 2, r.top + 1);
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(list, WM_LBUTTONUP, 0, at);
}

}  // namespace

// LBS_SORT places each line case-insensitively; an equal line goes before the one already there.
START_TEST(listbox_sorted_add) {
    HWND dlg = CreateListDialog();
    HWND list = GetDlgItem(dlg, IDC_SORTED_LIST);
    ok(list != NULL, "no list box\n");
    if (!list)
        return;
    struct {
        const char* text;
        LRESULT index;
    } adds[] = {{"b", 0}, {"A", 0}, {"c", 2}, {"B", 1}};
    for (size_t i = 0; i < sizeof(adds) / sizeof(adds[0]); ++i) {
        LRESULT r = Add(list, adds[i].text);
        ok(r == adds[i].index, "adding \"%s\" gave index %ld, expected %ld\n", adds[i].text, (long)r,
           (long)adds[i].index);
    }
    const char* order[] = {"A", "B", "b", "c"};
    ok(SendMessageA(list, LB_GETCOUNT, 0, 0) == 4, "count %ld\n", (long)SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < 4; ++i)
        ok(strcmp(Line(list, i), order[i]) == 0, "line %d is \"%s\", expected \"%s\"\n", i, Line(list, i), order[i]);
    ok(SendMessageA(list, LB_GETTEXTLEN, 0, 0) == 1, "LB_GETTEXTLEN\n");
    ok(SendMessageA(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM) "C") == 3, "LB_FINDSTRINGEXACT ignores case\n");
    ok(SendMessageA(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM) "d") == LB_ERR, "LB_FINDSTRINGEXACT of a missing line\n");

    // Printer names: case ignored, digits before letters.
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    const char* names[] = {"Printer 2", "printer10", "Printer 10", "Brontal 2000 PCL", "brontal 2000 pcl", "Zeta"};
    for (size_t i = 0; i < sizeof(names) / sizeof(names[0]); ++i)
        Add(list, names[i]);
    const char* sorted[] = {"brontal 2000 pcl", "Brontal 2000 PCL", "Printer 10", "Printer 2", "printer10", "Zeta"};
    for (int i = 0; i < 6; ++i)
        ok(strcmp(Line(list, i), sorted[i]) == 0, "printer line %d is \"%s\", expected \"%s\"\n", i, Line(list, i),
           sorted[i]);

    // LB_INSERTSTRING puts the line where it is told, even in a sorted list; -1 means the end.
    ok(SendMessageA(list, LB_INSERTSTRING, 1, (LPARAM) "zz") == 1, "LB_INSERTSTRING at 1\n");
    ok(SendMessageA(list, LB_INSERTSTRING, (WPARAM)-1, (LPARAM) "aa") == 7, "LB_INSERTSTRING at the end\n");
    ok(strcmp(Line(list, 1), "zz") == 0 && strcmp(Line(list, 7), "aa") == 0, "inserted lines misplaced\n");
    ok(SendMessageA(list, LB_INSERTSTRING, 9, (LPARAM) "x") == LB_ERR, "LB_INSERTSTRING past the end\n");
    ok(SendMessageA(list, LB_DELETESTRING, 0, 0) == 7, "LB_DELETESTRING returns the lines left\n");

    // Punctuation: symbols before digits before letters, and the word sort's skipped '-' and '\''.
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    const char* marks[] = {"Printer 2", "printer-3", "printer_4", "printer3", "Printer (5)", "printer.6",
                           "printer'7", "_a", "-b", "1c", "eb"};
    for (size_t i = 0; i < sizeof(marks) / sizeof(marks[0]); ++i)
        Add(list, marks[i]);
    const char* marksSorted[] = {"_a", "1c", "-b", "eb", "Printer (5)", "Printer 2", "printer.6", "printer_4",
                                 "printer3", "printer-3", "printer'7"};
    for (int i = 0; i < 11; ++i)
        ok(strcmp(Line(list, i), marksSorted[i]) == 0, "punctuation line %d is \"%s\", expected \"%s\"\n", i,
           Line(list, i), marksSorted[i]);
    DestroyWindow(dlg);
}

// Single selection: LB_SETCURSEL, LB_GETSEL, LB_GETCURSEL, -1, bad indexes, and no notification.
START_TEST(listbox_selection) {
    HWND dlg = CreateListDialog();
    HWND list = GetDlgItem(dlg, IDC_SORTED_LIST);
    if (!list) {
        skip("no list box\n");
        return;
    }
    ok(SendMessageA(list, LB_GETCURSEL, 0, 0) == LB_ERR, "empty list has a selection\n");
    Add(list, "one");
    Add(list, "three");
    Add(list, "two");
    g_commands = 0;
    ok(SendMessageA(list, LB_SETCURSEL, 2, 0) == 2, "LB_SETCURSEL returned the wrong index\n");
    ok(SendMessageA(list, LB_GETCURSEL, 0, 0) == 2, "LB_GETCURSEL\n");
    ok(SendMessageA(list, LB_GETSEL, 2, 0) > 0, "the selected line does not report selected\n");
    ok(SendMessageA(list, LB_GETSEL, 1, 0) == 0, "another line reports selected\n");
    ok(SendMessageA(list, LB_GETSEL, 5, 0) == LB_ERR, "LB_GETSEL of a bad index\n");
    ok(g_commands == 0, "LB_SETCURSEL sent %d WM_COMMAND to the dialog\n", g_commands);

    // A new line above the selection moves the selection with its line.
    Add(list, "a first");
    ok(SendMessageA(list, LB_GETCURSEL, 0, 0) == 3 && strcmp(Line(list, 3), "two") == 0,
       "selection did not follow its line\n");

    ok(SendMessageA(list, LB_SETCURSEL, 9, 0) == LB_ERR, "LB_SETCURSEL of a bad index\n");
    ok(SendMessageA(list, LB_GETCURSEL, 0, 0) == 3, "a bad LB_SETCURSEL changed the selection\n");
    // -1 clears the selection and, as documented, reports LB_ERR.
    ok(SendMessageA(list, LB_SETCURSEL, (WPARAM)-1, 0) == LB_ERR, "LB_SETCURSEL -1\n");
    ok(SendMessageA(list, LB_GETCURSEL, 0, 0) == LB_ERR, "selection after LB_SETCURSEL -1\n");
    ok(g_commands == 0, "selection changes by message notified the dialog\n");

    // Errors for bad indexes.
    char buf[16];
    ok(SendMessageA(list, LB_GETTEXT, 10, (LPARAM)buf) == LB_ERR, "LB_GETTEXT of a bad index\n");
    ok(SendMessageA(list, LB_GETTEXTLEN, (WPARAM)-1, 0) == LB_ERR, "LB_GETTEXTLEN of -1\n");
    ok(SendMessageA(list, LB_DELETESTRING, 10, 0) == LB_ERR, "LB_DELETESTRING of a bad index\n");

    ok(SendMessageA(list, LB_SETHORIZONTALEXTENT, 500, 0) == LB_OKAY, "LB_SETHORIZONTALEXTENT\n");
    ok(SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0) == 500, "horizontal extent did not round-trip\n");

    ok(SendMessageA(list, LB_RESETCONTENT, 0, 0) == 0, "LB_RESETCONTENT\n");
    ok(SendMessageA(list, LB_GETCOUNT, 0, 0) == 0, "lines left after LB_RESETCONTENT\n");
    ok(SendMessageA(list, LB_GETCURSEL, 0, 0) == LB_ERR, "selection left after LB_RESETCONTENT\n");
    DestroyWindow(dlg);
}

// A mouse click selects a line and, with LBS_NOTIFY, tells the dialog once the button comes up.
START_TEST(listbox_click) {
    HWND dlg = CreateListDialog();
    HWND list = GetDlgItem(dlg, IDC_SORTED_LIST);
    if (!list) {
        skip("no list box\n");
        return;
    }
    Add(list, "alpha");
    Add(list, "beta");
    Add(list, "gamma");
    g_selChanges = 0;
    ClickLine(list, 1);
    ok(SendMessageA(list, LB_GETCURSEL, 0, 0) == 1, "click did not select line 1\n");
    ok(g_selChanges == 1, "click gave %d LBN_SELCHANGE\n", g_selChanges);
    ClickLine(list, 1);
    ok(g_selChanges == 2, "click on the selected line gave %d LBN_SELCHANGE in all\n", g_selChanges);
    ok(GetFocus() == list, "the click did not focus the list\n");
    DestroyWindow(dlg);
}

// LBS_NOSEL: the program can still set a selection (Windows returns the index; Wine reports LB_ERR).
START_TEST(listbox_nosel) {
    HWND dlg = CreateListDialog();
    HWND list = GetDlgItem(dlg, IDC_NOSEL_LIST);
    if (!list) {
        skip("no list box\n");
        return;
    }
    Add(list, "first");
    Add(list, "second");
    Add(list, "third");
    ok(SendMessageA(list, LB_GETCURSEL, 0, 0) == LB_ERR, "a selection before any was set\n");
    LRESULT r = SendMessageA(list, LB_SETCURSEL, 2, 0);
    todo_wine ok(r == 2, "LB_SETCURSEL returned %ld\n", (long)r);
    ok(SendMessageA(list, LB_GETSEL, 2, 0) == 1, "LB_GETSEL of the set line\n");
    ok(SendMessageA(list, LB_GETCURSEL, 0, 0) == 2, "LB_GETCURSEL after LB_SETCURSEL\n");
    DestroyWindow(dlg);
}

// Without LBS_DISABLENOSCROLL a scroll bar shows, and WS_VSCROLL is in the style, only while needed.
START_TEST(listbox_scroll_bars) {
    HWND dlg = CreateListDialog();
    HWND list = GetDlgItem(dlg, IDC_NOSEL_LIST);
    if (!list) {
        skip("no list box\n");
        return;
    }
    ok(!(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL), "an empty list shows a vertical scroll bar\n");
    Add(list, "one line");
    ok(!(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL), "one line needs no scroll bar\n");
    for (int i = 0; i < 30; ++i)
        Add(list, "more");
    ok(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL, "31 lines need the scroll bar\n");
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    ok(!(GetWindowLongA(list, GWL_STYLE) & WS_VSCROLL), "the scroll bar stayed after LB_RESETCONTENT\n");
    DestroyWindow(dlg);
}
