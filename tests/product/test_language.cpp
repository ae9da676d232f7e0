// The language library: every text the program loads is there, whole.
#include <gtest/gtest.h>

#include <string>

#include "lang/langres.h"
#include "workstation.h"

TEST(LanguageLibrary, CarriesEveryLoadedIdWithinTheTextBuffer) {
    const UINT ids[] = {IDS_MAIN_CAPTION,     IDS_ABOUT,          IDS_SELECT_PRINTER,  IDS_PRINTER_FILES,
                        IDS_EXIT,             IDS_DELETE,         IDS_RESTART_NOTICE_9X, IDS_OK,
                        IDS_ABOUT_VERSION,    IDS_ABOUT_LINE1,    IDS_ABOUT_LINE3,     IDS_ABOUT_LINE4,
                        IDS_RESET_CAPTION,    IDS_RESET_TEXT,     IDS_NO_PRINTER,      IDS_NO_SELECTION,
                        IDS_CONFIRM_BEFORE,   IDS_CONFIRM_AFTER,  IDS_WARNING_CAPTION, IDS_RESTART_QUESTION,
                        IDS_RESTART_CAPTION,  IDS_CANCEL};
    Workstation ws;
    HMODULE lib = LoadLibraryA("us_res.dll");
    ASSERT_NE(lib, nullptr);
    for (UINT id : ids) {
        char text[200] = "";
        int length = LoadStringA(lib, id, text, sizeof(text));
        EXPECT_GT(length, 0) << "string " << id;
        // A text the 200-byte buffer would cut is a translation fault.
        EXPECT_LT(length, 199) << "string " << id;
    }
    FreeLibrary(lib);
}

TEST(LanguageLibrary, ProgramsOwnTableHoldsOnlyTheVersion) {
    Workstation ws;
    HMODULE program = GetModuleHandleA(NULL);
    char text[200] = "";
    EXPECT_EQ(LoadStringA(program, 1, text, sizeof(text)), 7);
    EXPECT_STREQ(text, " 1.1.19");
    for (UINT id = 2; id <= 27; ++id)
        EXPECT_EQ(LoadStringA(program, id, text, sizeof(text)), 0) << id;
}
