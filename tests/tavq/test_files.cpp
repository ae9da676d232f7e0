// The shortcut, program-file and folder steps, and the desktop folder through the shell.
#include "tavq_test.h"

#include "tavq.h"

#include <functional>

namespace {

struct FolderCase {
    const char* name;
    std::function<void(winsim::Machine&)> arrange;
    bool folderGone;
    std::vector<std::string> staying;  // files left in the folder
};

const FolderCase kFolders[] = {
    {"AllSixDeleted", [](winsim::Machine&) {}, true, {}},
    {"HelpFileAlreadyMissing",
     [](winsim::Machine& m) { m.files.DeleteFile(TallyvueFolder(m) + "\\Tallyvue.chm"); }, false, {}},
    {"LibraryInUse", [](winsim::Machine& m) { m.files.HoldOpen(TallyvueFolder(m) + "\\merrow_core.dll", true); },
     false, {"merrow_core.dll"}},
    {"ForeignFileInFolder", [](winsim::Machine& m) { m.files.WriteFile(TallyvueFolder(m) + "\\report.txt", "x"); },
     false, {"report.txt"}},
};

void PrintTo(const FolderCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramFolder : public TavqTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(ProgramFolder, SixFilesGoAndTheFolderOnlyWhenEmptied) {
    PlaceTallyvueTraces(*m);
    GetParam().arrange(*m);

    EXPECT_EQ(1, Call());

    EXPECT_EQ(GetParam().folderGone, !m->files.Exists(TallyvueFolder(*m)));
    if (!GetParam().folderGone)
        EXPECT_EQ(GetParam().staying, m->files.List(TallyvueFolder(*m)));
}

INSTANTIATE_TEST_SUITE_P(Cases, ProgramFolder, ::testing::ValuesIn(kFolders),
                         [](const ::testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

TEST_F(TavqTest, TheShortcutNamedAfterString2IsDeletedFromTheDesktop) {
    PlaceTallyvueTraces(*m);
    std::string desktop = m->shell.DesktopDirectory();
    m->files.WriteFile(desktop + "\\Shortcut to Tallyvue.lnk", "lnk");

    EXPECT_EQ(1, Call());

    EXPECT_TRUE(Traced("DeleteFileW(" + desktop + "\\Tallyvue.lnk)"));
    EXPECT_FALSE(m->files.Exists(desktop + "\\Tallyvue.lnk"));
    EXPECT_TRUE(m->files.Exists(desktop + "\\Shortcut to Tallyvue.lnk"));
}

TEST_F(TavqTest, DesktopUnknownOnTheFirstCallDeletesNoShortcut) {
    PlaceTallyvueTraces(*m);
    m->files.WriteFile("C:\\Tallyvue.lnk", "not the desktop's");
    m->shell.desktopMissing = true;

    EXPECT_EQ(1, Call());

    EXPECT_EQ(0, m->faults.Calls("DeleteFileW") - 6);
    EXPECT_TRUE(m->files.Exists("C:\\Tallyvue.lnk"));
    EXPECT_TRUE(m->files.Exists(TallyvueShortcut(*m)));
    EXPECT_FALSE(m->files.Exists(TallyvueFolder(*m)));
    ExpectNothingLeft();
}

TEST_F(TavqTest, DesktopUnknownOnALaterCallKeepsTheLastOne) {
    // One load across both calls: the path found by the first is what the second uses.
    HMODULE held = LoadLibraryA(kDriverCopy);
    ASSERT_NE(nullptr, held);
    std::string shortcut = TallyvueShortcut(*m);
    m->files.WriteFile(shortcut, "lnk");
    EXPECT_EQ(1, Call());
    EXPECT_FALSE(m->files.Exists(shortcut));

    m->files.WriteFile(shortcut, "lnk");
    m->faults.Fail("SHGetSpecialFolderLocation", 0);
    EXPECT_EQ(1, Call());

    EXPECT_FALSE(m->files.Exists(shortcut));
    FreeLibrary(held);
}

TEST_F(TavqTest, DesktopComesFromTheShellAndComIsReleased) {
    m->shell.desktopDir = "D:\\Profiles\\jdoe\\Escritorio";
    m->files.WriteFile("D:\\Profiles\\jdoe\\Escritorio\\Tallyvue.lnk", "lnk");

    EXPECT_EQ(1, Call());

    EXPECT_FALSE(m->files.Exists("D:\\Profiles\\jdoe\\Escritorio\\Tallyvue.lnk"));
    EXPECT_EQ(1, m->faults.Calls("CoInitialize"));
    ExpectNothingLeft();
}

TEST_F(TavqTest, ComAlreadyInitialisedOnTheThreadKeepsItsCount) {
    ASSERT_EQ(S_OK, CoInitialize(NULL));

    EXPECT_EQ(1, Call());

    ExpectNothingLeft(1);
    CoUninitialize();
}

TEST_F(TavqTest, ShellWithoutDesktopFolderObjectLeavesComBalanced) {
    PlaceTallyvueTraces(*m);
    m->faults.Fail("SHGetDesktopFolder", 0);

    EXPECT_EQ(1, Call());

    EXPECT_TRUE(m->files.Exists(TallyvueShortcut(*m)));
    EXPECT_FALSE(m->registry.KeyExists(kTallyvueSettingsKey));
    ExpectNothingLeft();
}

TEST_F(TavqTest, WithoutTemporaryFolderTheFilesStay) {
    PlaceTallyvueTraces(*m);
    m->faults.Fail("GetTempPathW", 0);

    EXPECT_EQ(1, Call());

    EXPECT_TRUE(m->files.Exists(TallyvueFolder(*m) + "\\Tallyvue.exe"));
    EXPECT_FALSE(m->files.Exists(TallyvueShortcut(*m)));
    EXPECT_FALSE(m->registry.ValueExists(kTallyvueRunKey, kTallyvueRunValue));
}

}  // namespace
