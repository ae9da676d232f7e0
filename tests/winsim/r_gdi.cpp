// Simulated GDI: the text-measuring rule, dialog base units, font and DC accounting, cursors and icons by name.
#include <windows.h>
#include <winsim/machine.h>

#include <gtest/gtest.h>

#include "r_reswriter.h"

namespace {

LOGFONTA Font(LONG height, LONG width = 0, const char* face = "Arial") {
    LOGFONTA lf;
    memset(&lf, 0, sizeof(lf));
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfWeight = FW_NORMAL;
    strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

// ---- the measuring rule ----

struct ExtentCase {
    LONG height, width;
    const char* text;
    LONG cx, cy;
};

// Names the case in test listings by its values rather than its bytes.
void PrintTo(const ExtentCase& c, std::ostream* os) {
    *os << "height " << c.height << " width " << c.width << " \"" << c.text << "\"";
}

class TextExtentTest : public ::testing::TestWithParam<ExtentCase> {};

TEST_P(TextExtentTest, FollowsTheDocumentedRule) {
    const ExtentCase& c = GetParam();
    winsim::ScopedMachine m;
    HDC dc = GetDC(nullptr);
    LOGFONTA lf = Font(c.height, c.width);
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{-1, -1};
    ASSERT_TRUE(GetTextExtentPoint32A(dc, c.text, int(strlen(c.text)), &size));
    EXPECT_EQ(size.cx, c.cx);
    EXPECT_EQ(size.cy, c.cy);
    TEXTMETRICA tm;
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(tm.tmHeight, c.cy == 0 ? winsim::MetricsOf(lf).height : c.cy);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
}

INSTANTIATE_TEST_SUITE_P(Fonts, TextExtentTest,
                         ::testing::Values(ExtentCase{-13, 0, "abcd", 4 * 7, 16},  // em 13: advance 7, cell 16
                                           ExtentCase{-11, 0, "abc", 3 * 6, 13},   // 8 pt
                                           ExtentCase{-40, 0, "ab", 2 * 20, 48},
                                           ExtentCase{24, 0, "ab", 2 * 10, 24},  // cell 24: em 20
                                           ExtentCase{0, 0, "abc", 3 * 7, 16},   // default size
                                           ExtentCase{-13, 9, "abc", 3 * 9, 16},  // lfWidth wins
                                           ExtentCase{-13, 0, "", 0, 0}));

TEST(GdiRule, TheSystemFontIsEightBySixteen) {
    winsim::ScopedMachine m;
    HDC dc = GetDC(nullptr);
    SIZE size;
    ASSERT_TRUE(GetTextExtentPoint32A(dc, "abcde", 5, &size));
    EXPECT_EQ(size.cx, 40);
    EXPECT_EQ(size.cy, 16);
    ReleaseDC(nullptr, dc);
}

TEST(GdiRule, DoubleByteCharactersAreTwiceAsWide) {
    winsim::ScopedMachine m;
    m->system.SetLocale(0x0411);
    HDC dc = GetDC(nullptr);
    SIZE ascii, japanese;
    GetTextExtentPoint32A(dc, "ab", 2, &ascii);
    GetTextExtentPoint32A(dc, "\x93\xfa", 2, &japanese);  // one character in code page 932
    EXPECT_EQ(japanese.cx, ascii.cx);
    ReleaseDC(nullptr, dc);
}

struct BaseUnitCase {
    const char* face;
    int points;
    int cx, cy;
};

// Names the case in test listings by its font rather than its bytes.
void PrintTo(const BaseUnitCase& c, std::ostream* os) {
    *os << (*c.face ? c.face : "no face") << " at " << c.points << " points";
}

class DialogBaseUnitsTest : public ::testing::TestWithParam<BaseUnitCase> {};

TEST_P(DialogBaseUnitsTest, MatchTheFontMetrics) {
    const BaseUnitCase& c = GetParam();
    int cx = 0, cy = 0;
    winsim::DialogBaseUnits(c.face, c.points, cx, cy);
    EXPECT_EQ(cx, c.cx);
    EXPECT_EQ(cy, c.cy);
}

INSTANTIATE_TEST_SUITE_P(Faces, DialogBaseUnitsTest,
                         ::testing::Values(BaseUnitCase{"MS Shell Dlg", 8, 6, 13}, BaseUnitCase{"Arial", 10, 7, 16},
                                           BaseUnitCase{"MS UI Gothic", 9, 6, 14}, BaseUnitCase{"", 0, 8, 16},
                                           BaseUnitCase{"Arial", 0, 8, 16}));

// ---- fonts and DCs ----

TEST(GdiFonts, LiveFontsCountWhatTheProgramDidNotDelete) {
    winsim::ScopedMachine m;
    LOGFONTA lf = Font(-12);
    HFONT a = CreateFontIndirectA(&lf), b = CreateFontIndirectA(&lf);
    HFONT c = CreateFontA(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Tahoma");
    EXPECT_EQ(m->gdi.LiveFonts(), 3);
    EXPECT_EQ(m->gdi.FontsCreated(), 3);
    // A dialog font of the window manager is not the program's.
    HFONT dialog = m->gdi.CreateSystemFont(lf);
    EXPECT_EQ(m->gdi.LiveFonts(), 3);
    EXPECT_TRUE(DeleteObject(a));
    EXPECT_TRUE(DeleteObject(c));
    EXPECT_EQ(m->gdi.LiveFontHandles(), std::vector<HFONT>{b});
    ASSERT_NE(m->gdi.FontOf(b), nullptr);
    EXPECT_EQ(m->gdi.FontOf(b)->lfHeight, -12);
    EXPECT_EQ(m->gdi.FontOf(a), nullptr);
    m->gdi.DestroySystemFont(dialog);
    EXPECT_EQ(m->gdi.FontOf(dialog), nullptr);
    DeleteObject(b);
    EXPECT_EQ(m->gdi.LiveFonts(), 0);
}

TEST(GdiFonts, DeletingASelectedFontCountsAsDeleted) {
    winsim::ScopedMachine m;
    LOGFONTA lf = Font(-12);
    HFONT font = CreateFontIndirectA(&lf);
    HDC dc = GetDC(nullptr);
    SelectObject(dc, font);
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_EQ(m->gdi.LiveFonts(), 0);
    EXPECT_EQ(m->gdi.SelectedFont(dc), font);
    ASSERT_EQ(ReleaseDC(nullptr, dc), 1);
    // Gone with the DC that held it.
    EXPECT_EQ(m->gdi.FontOf(font), nullptr);
}

TEST(GdiFonts, InjectedCreateFailure) {
    winsim::ScopedMachine m;
    m->faults.Fail("CreateFontIndirectA", ERROR_NOT_ENOUGH_MEMORY, 1, 0,
                   [](const std::string& face) { return face == "Arial"; });
    LOGFONTA arial = Font(-12, 0, "Arial"), tahoma = Font(-12, 0, "Tahoma");
    EXPECT_NE(CreateFontIndirectA(&tahoma), nullptr);
    SetLastError(0);
    EXPECT_EQ(CreateFontIndirectA(&arial), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_NE(CreateFontIndirectA(&arial), nullptr);
    EXPECT_EQ(m->gdi.LiveFonts(), 2);
}

TEST(GdiFonts, StockFontsFollowTheCodePage) {
    winsim::ScopedMachine m;
    HGDIOBJ system = GetStockObject(SYSTEM_FONT);
    LOGFONTA lf;
    ASSERT_EQ(GetObjectA(system, sizeof(lf), &lf), int(sizeof(lf)));
    EXPECT_EQ(lf.lfCharSet, ANSI_CHARSET);
    m->system.SetLocale(0x0411);
    ASSERT_EQ(GetObjectA(system, sizeof(lf), &lf), int(sizeof(lf)));
    EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(GetStockObject(SYSTEM_FONT), system);
}

TEST(GdiDcs, GetDCHoldsItsWindowAndTheSystemFont) {
    winsim::ScopedMachine m;
    HDC dc = GetDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(m->gdi.WindowOf(dc), nullptr);
    EXPECT_EQ(m->gdi.SelectedFont(dc), GetStockObject(SYSTEM_FONT));
    HDC second = GetDC(nullptr);
    EXPECT_NE(second, dc);
    EXPECT_EQ(m->gdi.LiveDCs(), 2);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 1);
    EXPECT_EQ(ReleaseDC(nullptr, second), 1);
    EXPECT_EQ(m->gdi.LiveDCs(), 0);
    EXPECT_EQ(m->gdi.DcOf(dc), nullptr);
}

// ---- painting a real window ----

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// A visible popup dialog template with DS_SETFONT, 8 pt "MS Shell Dlg", and no controls.
std::vector<uint8_t> DialogTemplate() {
    std::vector<uint8_t> t;
    auto put16 = [&](uint16_t v) {
        t.push_back(uint8_t(v));
        t.push_back(uint8_t(v >> 8));
    };
    auto put32 = [&](uint32_t v) {
        put16(uint16_t(v));
        put16(uint16_t(v >> 16));
    };
    put32(0x80000000u | 0x10000000u | 0x40u);  // WS_POPUP | WS_VISIBLE | DS_SETFONT
    put32(0);
    put16(0);  // no controls
    for (uint16_t v : {0, 0, 100, 50})
        put16(v);
    put16(0);  // no menu
    put16(0);  // the dialog class
    put16(0);  // no title
    put16(8);
    for (char c : std::string("MS Shell Dlg"))
        put16(uint16_t(c));
    put16(0);
    return t;
}

class PaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::ModuleImage image;
        image.resFile = rtest::ResWriter().Add(5, 100, 0x409, DialogTemplate()).Write("dialog");
        HMODULE exe = m->modules.SetMainModule("C:\\Program Files\\Trellin\\Trellin.exe", image);
        dialog = CreateDialogParamA(exe, MAKEINTRESOURCEA(100), nullptr, QuietDialog, 0);
        ASSERT_NE(dialog, nullptr);
    }
    void TearDown() override { DestroyWindow(dialog); }
    winsim::ScopedMachine m;
    HWND dialog = nullptr;
};

TEST_F(PaintTest, BeginPaintValidatesAndEndPaintReleases) {
    InvalidateRect(dialog, nullptr, TRUE);
    ASSERT_TRUE(m->ui.NeedsPaint(dialog));
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(dialog, &ps);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(ps.hdc, dc);
    EXPECT_FALSE(m->ui.NeedsPaint(dialog));
    EXPECT_EQ(m->gdi.WindowOf(dc), dialog);
    EXPECT_EQ(m->gdi.PaintCount(dialog), 1);
    // A paint DC is EndPaint's to release.
    EXPECT_EQ(ReleaseDC(dialog, dc), 0);
    EXPECT_TRUE(EndPaint(dialog, &ps));
    EXPECT_EQ(m->gdi.DcOf(dc), nullptr);
}

TEST_F(PaintTest, GetDCIgnoresTheWindowsFont) {
    HFONT dialogFont = m->ui.FontOf(dialog);
    ASSERT_NE(dialogFont, nullptr);
    HDC dc = GetDC(dialog);
    EXPECT_EQ(m->gdi.WindowOf(dc), dialog);
    EXPECT_EQ(m->gdi.SelectedFont(dc), GetStockObject(SYSTEM_FONT));
    EXPECT_NE(m->gdi.SelectedFont(dc), dialogFont);
    SIZE inDc, inDialogFont;
    GetTextExtentPoint32A(dc, "abc", 3, &inDc);
    SelectObject(dc, dialogFont);
    GetTextExtentPoint32A(dc, "abc", 3, &inDialogFont);
    EXPECT_EQ(inDc.cx, 3 * 8);
    EXPECT_EQ(inDialogFont.cx, 3 * 6);
    ReleaseDC(dialog, dc);
}

// ---- cursors and icons ----

TEST(GdiCursors, CursorsByName) {
    winsim::ScopedMachine m;
    EXPECT_EQ(GetCursor(), nullptr);
    HCURSOR starting = LoadCursorA(nullptr, IDC_APPSTARTING);
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    EXPECT_EQ(m->gdi.CursorName(starting), "IDC_APPSTARTING");
    EXPECT_EQ(m->gdi.CursorName(arrow), "IDC_ARROW");
    EXPECT_EQ(SetCursor(starting), nullptr);
    EXPECT_EQ(SetCursor(arrow), starting);
    EXPECT_EQ(m->gdi.CursorName(m->gdi.currentCursor), "IDC_ARROW");
    EXPECT_EQ(m->gdi.cursorHistory, (std::vector<HCURSOR>{starting, arrow}));
    // Not a cursor: refused, nothing changes.
    SetLastError(0);
    EXPECT_EQ(SetCursor(reinterpret_cast<HCURSOR>(0x4321)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_CURSOR_HANDLE));
    EXPECT_EQ(GetCursor(), arrow);
}

TEST(GdiIcons, ModuleIconsByNameAndDrawing) {
    winsim::ScopedMachine m;
    winsim::ModuleImage image;
    image.resFile = rtest::ResWriter().Icon(128, 1).Icon(5, 2, true).Write("icons");
    HMODULE exe = m->modules.SetMainModule("C:\\Program Files\\Trellin\\Trellin.exe", image);
    HICON icon = LoadIconA(exe, MAKEINTRESOURCEA(128));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(m->gdi.IconName(icon), "Trellin.exe#128");
    EXPECT_EQ(m->gdi.CursorName(icon), "");
    HCURSOR cursor = LoadCursorA(exe, MAKEINTRESOURCEA(5));
    EXPECT_EQ(m->gdi.CursorName(cursor), "Trellin.exe#5");
    EXPECT_EQ(m->gdi.IconName(LoadIconA(nullptr, IDI_WARNING)), "IDI_EXCLAMATION");

    HDC dc = GetDC(nullptr);
    EXPECT_TRUE(DrawIcon(dc, 3, 4, icon));
    EXPECT_FALSE(DrawIcon(dc, 0, 0, reinterpret_cast<HICON>(0x4321)));
    ASSERT_EQ(m->gdi.drawnIcons.size(), 1u);
    EXPECT_EQ(m->gdi.drawnIcons[0].dc, dc);
    EXPECT_EQ(m->gdi.drawnIcons[0].icon, icon);
    EXPECT_EQ(m->gdi.drawnIcons[0].x, 3);
    EXPECT_EQ(m->gdi.drawnIcons[0].y, 4);
    ReleaseDC(nullptr, dc);
}

TEST(GdiIcons, MissingIconsReportWhatWineReports) {
    winsim::ScopedMachine m;
    winsim::ModuleImage withIcons, withoutResources;
    withIcons.resFile = rtest::ResWriter().Icon(1, 1).Write("wine_icons");
    HMODULE a = m->modules.Register("C:\\x\\icons.dll", withIcons);
    HMODULE b = m->modules.Register("C:\\x\\none.dll", withoutResources);
    LoadLibraryA("C:\\x\\icons.dll");
    LoadLibraryA("C:\\x\\none.dll");
    struct {
        HMODULE module;
        LPCSTR name;
        DWORD error;
    } cases[] = {{a, MAKEINTRESOURCEA(2), ERROR_RESOURCE_TYPE_NOT_FOUND},
                 {b, MAKEINTRESOURCEA(1), ERROR_RESOURCE_DATA_NOT_FOUND},
                 {nullptr, MAKEINTRESOURCEA(1), ERROR_RESOURCE_TYPE_NOT_FOUND}};
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(LoadIconA(c.module, c.name), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

}  // namespace
