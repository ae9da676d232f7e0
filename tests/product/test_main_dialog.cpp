// The main dialog in interactive mode: its controls and texts, the printer and file lists, leaving it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "lang/langres.h"
#include "ui/resource.h"
#include "workstation.h"

namespace {

// On NT the lists fill once the spooler has been stopped and started again: a few seconds.
const uint64_t kSpoolerCycleMs = 3000;

// Brontal printers (by .UIM and by marker, two sharing a driver) among ordinary ones, added unsorted.
void SeedOffice(Workstation& ws) {
    ws.AddUimDriver("Brontal 4500 PS", "BR4500.PPD");
    ws.AddMarkerDriver("Brontal 7200 PCL", "BR7200.PPD");
    // The marker is there, but the data file's path has no "PPD": not a Brontal driver.
    ws.AddMarkerDriver("Generic Laser", "genlaser.gpd");
    ws.AddPlainDriver("Plain PS", "PLAIN.PPD");
    ws.AddPrinter("Brontal 7200 Color (Office 2)", "Brontal 7200 PCL");
    ws.AddPrinter("Office Laser", "Generic Laser");
    ws.AddPrinter("Brontal 4500 PS", "Brontal 4500 PS");
    ws.AddPrinter("Plain PS Printer", "Plain PS");
    ws.AddPrinter("Brontal 7200 Color", "Brontal 7200 PCL");
}

std::vector<std::string> Lines(HWND dlg, int id) {
    return winsim::Current().ui.ListLines(GetDlgItem(dlg, id));
}

LRESULT Send(HWND dlg, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendDlgItemMessageA(dlg, id, message, wParam, lParam);
}

std::string LibraryText(UINT id) {
    char text[200] = "";
    LoadStringA(GetModuleHandleA("us_res.dll"), id, text, sizeof(text));
    return text;
}

// The candidate files of the Brontal 4500 PS driver that AddUimDriver installs, on an NT family.
std::vector<std::string> Br4500Files(const std::string& d) {
    std::vector<std::string> names = {"BRUI.DLL",   "BR4500.PPD", "PSCRIPT5.DLL", "BRHELP.HLP", "TAVQ.DLL",
                                      "BR4500.BDD", "BR4500.XFR", "BR4500.ABD",   "BR4500.BPD"};
    std::vector<std::string> paths;
    for (const std::string& n : names) {
        paths.push_back(d + "\\" + n);
        paths.push_back(d + "\\3\\" + n);
    }
    paths.push_back(d + "\\3\\BR4500.WMK");
    return paths;
}

void ExpectSortedAsListBox(const std::vector<std::string>& lines) {
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_LE(lstrcmpiA(lines[i - 1].c_str(), lines[i].c_str()), 0) << lines[i - 1] << " / " << lines[i];
}

}  // namespace

TEST(MainDialog, ShowsLibraryTextsWithTheUiFontAndLeavesTheTemplateFontOnTheRest) {
    Workstation ws;
    ws->user.On(IDD_TRELLIN_DIALOG)
        .Wait(kSpoolerCycleMs)
        .Inspect([&](HWND dlg) {
            EXPECT_EQ(ws->ui.Text(dlg), LibraryText(IDS_MAIN_CAPTION));
            struct Item {
                int id;
                const char* className;
                UINT text;
            } items[] = {
                {IDC_DELETE, "Button", IDS_DELETE},          {IDC_ABOUT, "Button", IDS_ABOUT},
                {IDC_EXIT, "Button", IDS_EXIT},              {IDC_SELECT_LABEL, "Static", IDS_SELECT_PRINTER},
                {IDC_FILES_LABEL, "Static", IDS_PRINTER_FILES},
            };
            HFONT uiFont = ws->ui.FontOf(GetDlgItem(dlg, IDC_EXIT));
            const LOGFONTA* font = ws->gdi.FontOf(uiFont);
            ASSERT_NE(font, nullptr);
            EXPECT_STREQ(font->lfFaceName, "Arial");
            EXPECT_EQ(font->lfHeight, -12);
            EXPECT_EQ(font->lfWeight, FW_NORMAL);
            EXPECT_EQ(font->lfCharSet, 0);
            for (const Item& item : items) {
                HWND control = GetDlgItem(dlg, item.id);
                EXPECT_EQ(ws->ui.ClassName(control), item.className) << item.id;
                EXPECT_EQ(ws->ui.Text(control), LibraryText(item.text)) << item.id;
                EXPECT_EQ(ws->ui.FontOf(control), uiFont) << item.id;
            }
            EXPECT_EQ(ws->ui.FontOf(GetDlgItem(dlg, IDC_PRINTER_LIST)), uiFont);
            EXPECT_EQ(ws->ui.FontOf(GetDlgItem(dlg, IDC_FILES_LIST)), uiFont);
            EXPECT_NE(ws->ui.FontOf(GetDlgItem(dlg, IDC_MAIN_ICON)), uiFont);
            EXPECT_EQ(ws->ui.FontOf(dlg), uiFont);
            EXPECT_EQ(ws->gdi.IconName(ws->ui.IconOf(dlg, true)), "Trellin.exe#128");
            EXPECT_EQ(ws->gdi.IconName(ws->ui.IconOf(dlg, false)), "Trellin.exe#128");
            // Focus starts on Exit, the first tab stop.
            EXPECT_EQ(GetFocus(), GetDlgItem(dlg, IDC_EXIT));
        })
        .PressEsc();
    ws.Run("");
    EXPECT_TRUE(ws->user.Unused().empty());
    EXPECT_EQ(ws->gdi.LiveFonts(), 0);
    EXPECT_EQ(ws->modules.FreesTotal("us_res.dll"), 1);
}

TEST(MainDialog, TemplateHoldsItsControlsWithTheirStyles) {
    Workstation ws;
    ws->user.On(IDD_TRELLIN_DIALOG)
        .Wait(kSpoolerCycleMs)
        .Inspect([&](HWND dlg) {
            LONG style = GetWindowLongA(dlg, GWL_STYLE);
            for (LONG bit : {(LONG)WS_POPUP, (LONG)WS_CAPTION, (LONG)WS_SYSMENU, (LONG)WS_MINIMIZEBOX, (LONG)WS_MAXIMIZEBOX,
                             (LONG)DS_MODALFRAME})
                EXPECT_EQ(style & bit, bit) << std::hex << bit;
            EXPECT_TRUE(GetWindowLongA(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW);
            // The dialog manager turns WS_BORDER into a client edge, and a list box shows its
            // scroll-bar styles only while it needs them: the template's own bits are checked.
            struct Control {
                int id;
                const char* className;
                LONG style;
            } controls[] = {
                {IDC_EXIT, "Button", WS_TABSTOP},
                {IDC_PRINTER_LIST, "ListBox",
                 LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_TABSTOP},
                {IDC_FILES_LIST, "ListBox",
                 LBS_SORT | LBS_NOTIFY | LBS_NOSEL | LBS_DISABLENOSCROLL | LBS_NOINTEGRALHEIGHT | WS_TABSTOP},
                {IDC_DELETE, "Button", WS_TABSTOP},
                {IDC_SELECT_LABEL, "Static", 0},
                {IDC_FILES_LABEL, "Static", 0},
                {IDC_ABOUT, "Button", WS_TABSTOP},
                {IDC_MAIN_ICON, "Static", SS_ICON},
            };
            for (const Control& c : controls) {
                HWND control = GetDlgItem(dlg, c.id);
                ASSERT_NE(control, nullptr) << c.id;
                EXPECT_EQ(ws->ui.ClassName(control), c.className) << c.id;
                EXPECT_EQ(GetWindowLongA(control, GWL_STYLE) & c.style, c.style) << c.id;
                EXPECT_FALSE(GetWindowLongA(control, GWL_STYLE) & BS_DEFPUSHBUTTON && c.className[0] == 'B') << c.id;
            }
        })
        .Press(IDC_EXIT);
    ws.Run("");
    EXPECT_EQ(ws->ui.LastDialog(IDD_TRELLIN_DIALOG)->result, IDCANCEL);
}

TEST(MainDialog, ListsTheBrontalPrintersSortedWithTheFirstOnesFiles) {
    Workstation ws;
    SeedOffice(ws);
    ws->user.On(IDD_TRELLIN_DIALOG)
        .Wait(kSpoolerCycleMs)
        .Inspect([&](HWND dlg) {
            EXPECT_EQ(Lines(dlg, IDC_PRINTER_LIST),
                      (std::vector<std::string>{"Brontal 4500 PS", "Brontal 7200 Color", "Brontal 7200 Color (Office 2)"}));
            EXPECT_EQ(Send(dlg, IDC_PRINTER_LIST, LB_GETCURSEL), 0);
            std::vector<std::string> files = Lines(dlg, IDC_FILES_LIST);
            ExpectSortedAsListBox(files);
            std::vector<std::string> expected = Br4500Files(ws.DriverDir());
            std::vector<std::string> sortedFiles = files;
            std::sort(sortedFiles.begin(), sortedFiles.end());
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(sortedFiles, expected);
            // Measured in the list's DC, which holds the system font: 8 pixels a byte.
            size_t longest = 0;
            for (const std::string& f : files)
                longest = std::max(longest, f.size());
            EXPECT_EQ(Send(dlg, IDC_FILES_LIST, LB_GETHORIZONTALEXTENT), (LRESULT)(8 * longest));
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_DELETE)));
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_FILES_LIST)));
        })
        .SelectLine(IDC_PRINTER_LIST, "Brontal 7200 Color (Office 2)")
        .Inspect([&](HWND dlg) {
            std::vector<std::string> files = Lines(dlg, IDC_FILES_LIST);
            EXPECT_NE(std::find(files.begin(), files.end(), ws.DriverDir() + "\\3\\BR7200.PPD"), files.end());
            EXPECT_EQ(std::find(files.begin(), files.end(), ws.DriverDir() + "\\3\\BR4500.PPD"), files.end());
        })
        .PressEsc();
    ws.Run("");
    EXPECT_TRUE(ws->user.Unused().empty());
}

TEST(MainDialog, ListsTheSameOnEveryFamily) {
    for (winsim::Os os : {winsim::Os::Win98, winsim::Os::NT4, winsim::Os::Win2000, winsim::Os::WinXP}) {
        SCOPED_TRACE(static_cast<int>(os));
        Workstation ws(os);
        SeedOffice(ws);
        ws->user.On(IDD_TRELLIN_DIALOG)
            .Wait(kSpoolerCycleMs)
            .Inspect([&](HWND dlg) {
                EXPECT_EQ(Lines(dlg, IDC_PRINTER_LIST),
                          (std::vector<std::string>{"Brontal 4500 PS", "Brontal 7200 Color",
                                                    "Brontal 7200 Color (Office 2)"}));
                std::vector<std::string> files = Lines(dlg, IDC_FILES_LIST);
                bool versioned = FamilyOf(os) != OS_FAMILY_9X;
                EXPECT_EQ(files.size(), versioned ? 19u : 10u);
                EXPECT_NE(std::find(files.begin(), files.end(),
                                    ws.DriverDir() + (versioned ? "\\3\\BR4500.WMK" : "\\0\\BR4500.WMK")),
                          files.end());
            })
            .PressEsc();
        ws.Run("");
        EXPECT_TRUE(ws->user.Unused().empty());
    }
}

TEST(MainDialog, WithoutRemovablePrintersShowsPlaceholdersAndDisablesTheLists) {
    for (bool anyPrinter : {false, true}) {
        Workstation ws;
        if (anyPrinter) {
            ws.AddPlainDriver("Plain PS", "PLAIN.PPD");
            ws.AddPrinter("Plain PS Printer", "Plain PS");
        }
        ws->user.On(IDD_TRELLIN_DIALOG)
            .Wait(kSpoolerCycleMs)
            .Inspect([&](HWND dlg) {
                EXPECT_EQ(Lines(dlg, IDC_PRINTER_LIST), std::vector<std::string>{LibraryText(IDS_NO_PRINTER)});
                EXPECT_EQ(Lines(dlg, IDC_FILES_LIST), std::vector<std::string>{LibraryText(IDS_NO_SELECTION)});
                EXPECT_FALSE(LibraryText(IDS_NO_PRINTER).empty());
                EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_PRINTER_LIST)));
                EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_DELETE)));
                EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_FILES_LIST)));
                EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_ABOUT)));
            })
            .Press(IDC_ABOUT)
            .On(IDD_ABOUTBOX)
            .Press(IDOK)
            .On(IDD_TRELLIN_DIALOG)
            .Inspect([&](HWND dlg) { EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_PRINTER_LIST))); })
            .Press(IDC_EXIT);
        ws.Run("");
        EXPECT_TRUE(ws->user.Unused().empty());
        EXPECT_EQ(ws->ui.LastDialog(IDD_ABOUTBOX)->result, IDOK);
    }
}

TEST(MainDialog, EveryWayOutEndsTheRunAndReleasesEverything) {
    struct Case {
        const char* what;
        winsim::Action (*leave)();
        INT_PTR result;
        bool focusOnList;
    } cases[] = {
        {"Esc", [] { return winsim::PressEsc(); }, IDCANCEL, false},
        {"Exit", [] { return winsim::Press(IDC_EXIT); }, IDCANCEL, false},
        {"close box", [] { return winsim::CloseBox(); }, IDCANCEL, false},
        // The first focus does not make Exit the default button (measured under Wine): Enter is IDOK.
        {"Enter while Exit has the first focus", [] { return winsim::PressEnter(); }, IDOK, false},
        {"Enter on the printer list", [] { return winsim::PressEnter(); }, IDOK, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Workstation ws;
        SeedOffice(ws);
        winsim::ScriptedUser::Script script = ws->user.On(IDD_TRELLIN_DIALOG);
        if (c.focusOnList)
            script.Focus(IDC_PRINTER_LIST);
        script.Then(c.leave());
        EXPECT_EQ(ws.Run(""), 0);
        EXPECT_EQ(ws->ui.LastDialog(IDD_TRELLIN_DIALOG)->result, c.result);
        EXPECT_TRUE(ws->ui.LastDialog(IDD_TRELLIN_DIALOG)->destroyed);
        EXPECT_TRUE(ws->user.Unused().empty());
        EXPECT_EQ(ws->gdi.LiveFonts(), 0);
        EXPECT_EQ(ws->gdi.LiveDCs(), 0);
        EXPECT_EQ(ws->spooler.OpenHandles(), 0);
        EXPECT_FALSE(ws->modules.IsLoaded("C:\\Program Files\\Trellin\\us_res.dll"));
    }
}

TEST(MainDialog, MinimisedDialogDrawsTheProgramIconCentred) {
    Workstation ws;
    ws->user.On(IDD_TRELLIN_DIALOG)
        .Wait(kSpoolerCycleMs)
        .Minimize()
        .Inspect([&](HWND dlg) {
            ASSERT_TRUE(IsIconic(dlg));
            ASSERT_FALSE(ws->gdi.drawnIcons.empty());
            const winsim::DrawnIcon& drawn = ws->gdi.drawnIcons.back();
            RECT client;
            GetClientRect(dlg, &client);
            EXPECT_EQ(drawn.x, (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2);
            EXPECT_EQ(drawn.y, (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2);
            EXPECT_EQ(ws->gdi.IconName(drawn.icon), "Trellin.exe#128");
            EXPECT_EQ((HICON)SendMessageA(dlg, WM_QUERYDRAGICON, 0, 0), drawn.icon);
        })
        .Restore()
        .PressEsc();
    ws.Run("");
    EXPECT_TRUE(ws->user.Unused().empty());
}

TEST(MainDialog, BusyCursorShowsOnlyWhileTheListsAreFilled) {
    Workstation ws;
    SeedOffice(ws);
    ws->user.On(IDD_TRELLIN_DIALOG)
        .Inspect([&](HWND) {
            ASSERT_FALSE(ws->gdi.cursorHistory.empty());
            EXPECT_EQ(ws->gdi.CursorName(ws->gdi.cursorHistory.front()), "IDC_APPSTARTING");
        })
        .MoveMouseOver(IDC_PRINTER_LIST)
        .Inspect([&](HWND) { EXPECT_EQ(ws->gdi.CursorName(ws->gdi.currentCursor), "IDC_APPSTARTING"); })
        .Wait(kSpoolerCycleMs)
        .MoveMouseOver(IDC_PRINTER_LIST)
        .Inspect([&](HWND) { EXPECT_EQ(ws->gdi.CursorName(ws->gdi.currentCursor), "IDC_ARROW"); })
        .PressEsc();
    ws.Run("");
    EXPECT_TRUE(ws->user.Unused().empty());
}

TEST(MainDialog, SelectedPrinterWithAVeryLongNameStillShowsItsFiles) {
    Workstation ws;
    ws.AddUimDriver("Brontal 4500 PS", "BR4500.PPD");
    std::string name = "Brontal " + std::string(250, 'L');
    ws.AddPrinter(name, "Brontal 4500 PS");
    ws->user.On(IDD_TRELLIN_DIALOG)
        .Wait(kSpoolerCycleMs)
        .SelectLine(IDC_PRINTER_LIST, name)
        .Inspect([&](HWND dlg) {
            EXPECT_EQ(Lines(dlg, IDC_PRINTER_LIST), std::vector<std::string>{name});
            EXPECT_EQ(Lines(dlg, IDC_FILES_LIST).size(), 19u);
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_FILES_LIST)));
        })
        .PressEsc();
    ws.Run("");
    EXPECT_TRUE(ws->user.Unused().empty());
}

TEST(MainDialog, AboutShowsTheVersionAfterStringElevenAndClosesOnOk) {
    Workstation ws;
    ws->user.On(IDD_TRELLIN_DIALOG)
        .Wait(kSpoolerCycleMs)
        .Press(IDC_ABOUT)
        .On(IDD_ABOUTBOX)
        .Inspect([&](HWND dlg) {
            EXPECT_EQ(ws->ui.Text(dlg), LibraryText(IDS_ABOUT));
            EXPECT_EQ(ws->ui.Text(GetDlgItem(dlg, IDC_ABOUT_LINE2)), LibraryText(IDS_ABOUT_VERSION) + " 1.1.19");
            EXPECT_EQ(ws->ui.Text(GetDlgItem(dlg, IDC_ABOUT_LINE1)), LibraryText(IDS_ABOUT_LINE1));
            EXPECT_EQ(ws->ui.Text(GetDlgItem(dlg, IDOK)), LibraryText(IDS_OK));
        })
        .PressEnter()
        .On(IDD_TRELLIN_DIALOG)
        .PressEsc();
    ws.Run("");
    EXPECT_TRUE(ws->user.Unused().empty());
}

TEST(MainDialog, MissingLanguageLibraryLeavesTextsEmptyButTheVersion) {
    Workstation ws;
    ASSERT_TRUE(ws->files.DeleteFile("C:\\Program Files\\Trellin\\us_res.dll"));
    ws->user.On(IDD_TRELLIN_DIALOG)
        .Wait(kSpoolerCycleMs)
        .Inspect([&](HWND dlg) {
            // Loads from a null library read the program's own table, which holds only the version.
            EXPECT_EQ(ws->ui.Text(dlg), " 1.1.19");
            EXPECT_EQ(ws->ui.Text(GetDlgItem(dlg, IDC_EXIT)), "");
        })
        .PressEsc();
    ws.Run("");
    EXPECT_TRUE(ws->user.Unused().empty());
}
