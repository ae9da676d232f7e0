// The eight languages: which library and font a system's language gets, and what every library carries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/langres.h"
#include "ui/UninstallDlg.h"
#include "ui/resource.h"
#include "workstation.h"

namespace {

const char kProgramDir[] = "C:\\Program Files\\Trellin\\";
const char* const kLibraries[] = {"us_res", "jp_res", "fr_res", "it_res", "gr_res", "sp_res", "du_res", "bp_res"};

const UINT kLoadedIds[] = {IDS_MAIN_CAPTION,    IDS_ABOUT,          IDS_SELECT_PRINTER,  IDS_PRINTER_FILES,
                           IDS_EXIT,            IDS_DELETE,         IDS_RESTART_NOTICE_9X, IDS_OK,
                           IDS_ABOUT_VERSION,   IDS_ABOUT_LINE1,    IDS_ABOUT_LINE3,     IDS_ABOUT_LINE4,
                           IDS_RESET_CAPTION,   IDS_RESET_TEXT,     IDS_NO_PRINTER,      IDS_NO_SELECTION,
                           IDS_CONFIRM_BEFORE,  IDS_CONFIRM_AFTER,  IDS_WARNING_CAPTION, IDS_RESTART_QUESTION,
                           IDS_RESTART_CAPTION, IDS_CANCEL,         IDS_USAGE_SYNTAX,    IDS_USAGE_OPTIONS,
                           IDS_USAGE_NAMES,     IDS_USAGE_LOG,      IDS_USAGE_WHATIF,    IDS_USAGE_BACKUP,
                           IDS_USAGE_HELP,      IDS_USAGE_EXIT1,    IDS_USAGE_EXIT2,     IDS_USAGE_EXIT3,
                           IDS_USAGE_ALL,       IDS_USAGE_LIST};

// Installs the seven other language libraries beside the program and the English one.
void InstallAllLanguages(Workstation& ws) {
    for (const char* lib : kLibraries) {
        winsim::ModuleImage image;
        image.resFile = std::string(LANG_RES_DIR) + "/" + lib + ".res";
        ws->modules.Register(std::string(kProgramDir) + lib + ".dll", image);
    }
}

std::string Text(HMODULE lib, UINT id) {
    char text[200] = "";
    LoadStringA(lib, id, text, sizeof(text));
    return text;
}

struct FontExpectation {
    const char* face;
    BYTE charSet;
};

// The logical description every UI font shares; only face and character set vary.
void ExpectUiFont(const LOGFONTA* font, const FontExpectation& want, const std::string& context) {
    ASSERT_NE(font, nullptr) << context;
    EXPECT_STREQ(font->lfFaceName, want.face) << context;
    EXPECT_EQ(font->lfCharSet, want.charSet) << context;
    EXPECT_EQ(font->lfHeight, -12) << context;
    EXPECT_EQ(font->lfWidth, 0) << context;
    EXPECT_EQ(font->lfEscapement, 0) << context;
    EXPECT_EQ(font->lfOrientation, 0) << context;
    EXPECT_EQ(font->lfWeight, 400) << context;
    EXPECT_EQ(font->lfItalic, 0) << context;
    EXPECT_EQ(font->lfUnderline, 0) << context;
    EXPECT_EQ(font->lfStrikeOut, 0) << context;
    EXPECT_EQ(font->lfOutPrecision, 0) << context;
    EXPECT_EQ(font->lfClipPrecision, 0) << context;
    EXPECT_EQ(font->lfQuality, 0) << context;
    EXPECT_EQ(font->lfPitchAndFamily, 0) << context;
}

}  // namespace

// Each of the eight systems, run interactively: its library shows in the dialog with its font, and the
// run loads and frees that library, and creates and deletes the font, exactly once.
TEST(Languages, EachSystemLanguageGetsItsLibraryAndFontOncePerRun) {
    struct Case {
        LCID lcid;
        const char* library;
        FontExpectation font;
    } cases[] = {
        {0x0409, "us_res", {"Arial", 0}},      {0x0411, "jp_res", {"MS UI Gothic", 128}},
        {0x040C, "fr_res", {"Arial", 0}},      {0x0410, "it_res", {"Arial", 0}},
        {0x0407, "gr_res", {"Arial", 0}},      {0x0C0A, "sp_res", {"Arial", 0}},
        {0x0413, "du_res", {"Arial", 0}},      {0x0416, "bp_res", {"Arial", 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library);
        Workstation ws;
        InstallAllLanguages(ws);
        ws->system.SetLocale(c.lcid);
        ws.AddUimDriver("Brontal 4500 PS", "BR4500.PPD");
        ws.AddPrinter("Brontal 4500 PS", "Brontal 4500 PS");
        ws->user.On(IDD_TRELLIN_DIALOG)
            .Inspect([&](HWND dlg) {
                HMODULE lib = GetModuleHandleA(c.library);
                ASSERT_NE(lib, nullptr);
                EXPECT_EQ(ws->ui.Text(dlg), Text(lib, IDS_MAIN_CAPTION));
                EXPECT_EQ(ws->ui.Text(GetDlgItem(dlg, IDC_DELETE)), Text(lib, IDS_DELETE));
                EXPECT_EQ(ws->ui.Text(GetDlgItem(dlg, IDC_SELECT_LABEL)), Text(lib, IDS_SELECT_PRINTER));
                ExpectUiFont(ws->gdi.FontOf(ws->ui.FontOf(GetDlgItem(dlg, IDC_DELETE))), c.font, "Delete button");
                ExpectUiFont(ws->gdi.FontOf(ws->ui.FontOf(dlg)), c.font, "dialog");
            })
            .Press(IDC_ABOUT)
            .On(IDD_ABOUTBOX)
            .Inspect([&](HWND dlg) {
                HMODULE lib = GetModuleHandleA(c.library);
                EXPECT_EQ(ws->ui.Text(dlg), Text(lib, IDS_ABOUT));
                EXPECT_EQ(ws->ui.Text(GetDlgItem(dlg, IDC_ABOUT_LINE2)), Text(lib, IDS_ABOUT_VERSION) + " 1.1.19");
                ExpectUiFont(ws->gdi.FontOf(ws->ui.FontOf(GetDlgItem(dlg, IDOK))), c.font, "About OK button");
            })
            .PressEnter()
            .On(IDD_TRELLIN_DIALOG)
            .PressEsc();
        ws.Run("");
        EXPECT_TRUE(ws->user.Unused().empty());
        for (const char* lib : kLibraries) {
            int expected = std::string(lib) == c.library ? 1 : 0;
            EXPECT_EQ(ws->modules.LoadsTotal(lib), expected) << lib;
            EXPECT_EQ(ws->modules.FreesTotal(lib), expected) << lib;
        }
        EXPECT_EQ(ws->gdi.FontsCreated(), 1);
        EXPECT_EQ(ws->gdi.LiveFonts(), 0);
    }
}

// Language names as GetLocaleInfoA might word them: the library and face follow a case-sensitive
// substring test from the top of the table, the Japanese character set only the exact name.
TEST(Languages, NameDecidesLibraryFaceAndCharacterSet) {
    struct Case {
        const char* name;
        const char* library;
        FontExpectation font;
    } cases[] = {
        {"Japanese", "jp_res.dll", {"MS UI Gothic", 128}},
        {"Japanese (Japan)", "jp_res.dll", {"MS UI Gothic", 0}},
        {"Japanese ", "jp_res.dll", {"MS UI Gothic", 0}},
        {"japanese", "us_res.dll", {"Arial", 0}},
        {"JAPANESE", "us_res.dll", {"Arial", 0}},
        {"French", "fr_res.dll", {"Arial", 0}},
        {"French (Canada)", "fr_res.dll", {"Arial", 0}},
        {"Italian", "it_res.dll", {"Arial", 0}},
        {"German", "gr_res.dll", {"Arial", 0}},
        {"Swiss German", "gr_res.dll", {"Arial", 0}},
        {"Spanish", "sp_res.dll", {"Arial", 0}},
        {"Dutch", "du_res.dll", {"Arial", 0}},
        {"Portuguese", "bp_res.dll", {"Arial", 0}},
        {"Portuguese (Portugal)", "bp_res.dll", {"Arial", 0}},
        // The first row that matches wins.
        {"French Japanese", "jp_res.dll", {"MS UI Gothic", 0}},
        {"Dutch and Portuguese", "du_res.dll", {"Arial", 0}},
        {"English", "us_res.dll", {"Arial", 0}},
        {"Swedish", "us_res.dll", {"Arial", 0}},
        {"Chinese", "us_res.dll", {"Arial", 0}},
        {"", "us_res.dll", {"Arial", 0}},
    };
    for (const Case& c : cases) {
        Workstation ws;
        CUninstallDlg dlg(NULL, 0, "");
        g_strLangLib = "stale.dll";
        dlg.SelectLanguage(c.name);
        EXPECT_STREQ(g_strLangLib, c.library) << '"' << c.name << '"';
        EXPECT_EQ(dlg.CreateUiFont(c.name), 1) << c.name;
        ExpectUiFont(ws->gdi.FontOf(g_uiFont), c.font, std::string("\"") + c.name + "\"");
        EXPECT_EQ(ws->gdi.FontsCreated(), 1);
    }
}

// A locale query that fails counts as no name: English texts and Arial, even on a Japanese system.
TEST(Languages, FailedLocaleQueryFallsBackToEnglish) {
    Workstation ws;
    InstallAllLanguages(ws);
    ws->system.SetLocale(0x0411);
    ws->faults.Fail("GetLocaleInfoA", ERROR_INVALID_PARAMETER);
    ws->user.On(IDD_TRELLIN_DIALOG)
        .Inspect([&](HWND dlg) {
            EXPECT_EQ(ws->ui.Text(GetDlgItem(dlg, IDC_EXIT)), Text(GetModuleHandleA("us_res"), IDS_EXIT));
            ExpectUiFont(ws->gdi.FontOf(ws->ui.FontOf(GetDlgItem(dlg, IDC_EXIT))), {"Arial", 0}, "Exit button");
        })
        .PressEsc();
    ws.Run("");
    EXPECT_TRUE(ws->user.Unused().empty());
    EXPECT_GT(ws->faults.Calls("GetLocaleInfoA"), 0);
    EXPECT_EQ(ws->modules.LoadsTotal("us_res"), 1);
    EXPECT_EQ(ws->modules.LoadsTotal("jp_res"), 0);
}

// Without a font the dialog keeps its template font, and the controls get the null handle: the system font.
TEST(Languages, FontThatCannotBeCreatedLeavesTheControlsTheSystemFont) {
    Workstation ws;
    ws->faults.Fail("CreateFontIndirectA", ERROR_NOT_ENOUGH_MEMORY);
    ws->user.On(IDD_TRELLIN_DIALOG)
        .Inspect([&](HWND dlg) {
            EXPECT_EQ(ws->ui.FontOf(GetDlgItem(dlg, IDC_EXIT)), nullptr);
            EXPECT_EQ(ws->ui.FontOf(GetDlgItem(dlg, IDC_PRINTER_LIST)), nullptr);
            const LOGFONTA* dialogFont = ws->gdi.FontOf(ws->ui.FontOf(dlg));
            ASSERT_NE(dialogFont, nullptr);
            EXPECT_STREQ(dialogFont->lfFaceName, "Arial");
            EXPECT_NE(dialogFont->lfHeight, -12);
            EXPECT_EQ(ws->ui.Text(GetDlgItem(dlg, IDC_EXIT)), "Exit");
        })
        .PressEsc();
    ws.Run("");
    EXPECT_TRUE(ws->user.Unused().empty());
    EXPECT_EQ(ws->gdi.LiveFonts(), 0);
}

// Every library holds every id the program loads, whole within the 200-byte buffer in the code page of
// its own language, and every character has a place in that code page (Japanese: 932).
TEST(Languages, EveryLibraryCarriesEveryIdWithinTheTextBufferInItsCodePage) {
    struct Case {
        const char* library;
        LCID lcid;
    } cases[] = {
        {"us_res", 0x0409}, {"jp_res", 0x0411}, {"fr_res", 0x040C}, {"it_res", 0x0410},
        {"gr_res", 0x0407}, {"sp_res", 0x0C0A}, {"du_res", 0x0413}, {"bp_res", 0x0416},
    };
    std::vector<std::string> englishTexts;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library);
        Workstation ws;
        InstallAllLanguages(ws);
        ws->system.SetLocale(c.lcid);
        HMODULE lib = LoadLibraryA(c.library);
        ASSERT_NE(lib, nullptr);
        int differing = 0;
        for (size_t i = 0; i < sizeof(kLoadedIds) / sizeof(kLoadedIds[0]); ++i) {
            UINT id = kLoadedIds[i];
            // A buffer far larger than the program's shows the text's whole length.
            char text[1000] = "";
            int length = LoadStringA(lib, id, text, sizeof(text));
            EXPECT_GT(length, 0) << "string " << id;
            EXPECT_LE(length, 199) << "string " << id << ": " << text;
            WCHAR wide[1000] = {0};
            int wideLength = LoadStringW(lib, id, wide, 1000);
            ASSERT_GT(wideLength, 0) << "string " << id;
            char converted[1000] = "";
            BOOL lost = TRUE;
            WideCharToMultiByte(CP_ACP, 0, wide, wideLength, converted, sizeof(converted), NULL, &lost);
            EXPECT_FALSE(lost) << "string " << id << " has characters outside the code page";
            if (c.lcid == 0x0409)
                englishTexts.push_back(text);
            else if (englishTexts[i] != text)
                ++differing;
        }
        // A library that is only a copy of the English one is no translation (a few texts may agree: "OK").
        if (c.lcid != 0x0409)
            EXPECT_GE(differing, 18);
        FreeLibrary(lib);
    }
}

// The Japanese texts reach the program as Shift-JIS on a Japanese system; elsewhere they degrade as
// Windows degrades them, to '?'.
TEST(Languages, JapaneseTextsAreShiftJisOnlyUnderCodePage932) {
    Workstation ws;
    InstallAllLanguages(ws);
    ws->system.SetLocale(0x0411);
    HMODULE lib = LoadLibraryA("jp_res");
    ASSERT_NE(lib, nullptr);
    // "終了" (Exit) in code page 932.
    EXPECT_EQ(Text(lib, IDS_EXIT), "\x8f\x49\x97\xb9");
    ws->system.SetLocale(0x0409);
    EXPECT_EQ(Text(lib, IDS_EXIT), "??");
    FreeLibrary(lib);
}
