// The companion hand-off: the driver's copy of the companion library removes the monitoring application,
// and on NT the copy shipped beside the program replaces it.
#include <gtest/gtest.h>

#include "removal_station.h"
#include "tavq_fixture.h"

namespace {

int NothingToDo() {
    return 1;
}

FILETIME Stamp1998() {
    SYSTEMTIME t = {1998, 1, 4, 1, 1, 1, 1, 0};
    FILETIME ft;
    SystemTimeToFileTime(&t, &ft);
    return ft;
}

bool Stamped(Workstation& ws, const std::string& path) {
    auto times = ws->files.GetTimes(path);
    const uint64_t stamp = winsim::ToU64(Stamp1998());
    return times && winsim::ToU64(times->creation) == stamp && winsim::ToU64(times->lastWrite) == stamp &&
           winsim::ToU64(times->lastAccess) == stamp;
}

struct CompanionCase {
    const char* name;
    winsim::Os os;
    std::function<void(RemovalStation&)> arrange;
    int calls;
    std::function<void(RemovalStation&)> check;
};

// Names the case in test listings by its table name rather than its bytes.
void PrintTo(const CompanionCase& c, std::ostream* os) {
    *os << c.name;
}

class CompanionCases : public ::testing::TestWithParam<CompanionCase> {};

TEST_P(CompanionCases, HandOffAsTheDriverInstalledIt) {
    const CompanionCase& c = GetParam();
    RemovalStation st(c.os);
    st.AddBrontalDriver("Brontal Office", "OFFICE.PPD");
    st.AddPrinter("Office", "Brontal Office");
    if (c.arrange)
        c.arrange(st);
    EXPECT_EQ(st.Run("Office"), 0);
    EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
    EXPECT_EQ(g_companion.calls, c.calls);
    if (c.check)
        c.check(st);
    EXPECT_EQ(st.ws->modules.LoadCount(st.versionDir + "\\TAVQ.DLL"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Removal, CompanionCases,
    ::testing::Values(
        CompanionCase{"ReplacedByTheShippedCopyAndKept", winsim::Os::WinXP, nullptr, 1,
                      [](RemovalStation& st) {
                          const std::string tavq = st.versionDir + "\\TAVQ.DLL";
                          EXPECT_EQ(st.ws->files.ReadFile(tavq), st.ws->files.ReadFile(kShippedCompanion));
                          EXPECT_TRUE(Stamped(st.ws, tavq));
                      }},
        CompanionCase{"NoShippedCopyLeavesItForDeletion", winsim::Os::WinXP,
                      [](RemovalStation& st) { st.ws->files.DeleteFile(kShippedCompanion); }, 1,
                      [](RemovalStation& st) { EXPECT_FALSE(st.ws->files.Exists(st.versionDir + "\\TAVQ.DLL")); }},
        CompanionCase{"LibraryWithoutTheExportIsPassedOver", winsim::Os::WinXP,
                      [](RemovalStation& st) {
                          winsim::ModuleImage plain;
                          st.ws->modules.Register(st.versionDir + "\\TAVQ.DLL", plain);
                      },
                      0, [](RemovalStation& st) { EXPECT_FALSE(st.ws->files.Exists(st.versionDir + "\\TAVQ.DLL")); }},
        CompanionCase{"NameInCapitalsOrNotIsFound", winsim::Os::NT4, nullptr, 1,
                      [](RemovalStation& st) { EXPECT_TRUE(Stamped(st.ws, st.versionDir + "\\TAVQ.DLL")); }},
        CompanionCase{"AnotherPrinterStillListsIt", winsim::Os::WinXP,
                      [](RemovalStation& st) {
                          st.AddBrontalDriver("Brontal Lobby", "LOBBY.PPD");
                          st.AddPrinter("Lobby", "Brontal Lobby");
                      },
                      0,
                      [](RemovalStation& st) {
                          EXPECT_TRUE(st.ws->files.Exists(st.versionDir + "\\TAVQ.DLL"));
                          EXPECT_FALSE(Stamped(st.ws, st.versionDir + "\\TAVQ.DLL"));
                      }},
        CompanionCase{"Windows9xKeepsItMarkedForDeletion", winsim::Os::Win98, nullptr, 1,
                      [](RemovalStation& st) { EXPECT_FALSE(st.ws->files.Exists(st.versionDir + "\\TAVQ.DLL")); }}),
    [](const ::testing::TestParamInfo<CompanionCase>& info) { return std::string(info.param.name); });

TEST(Companion, ACopyOutsideTheDataFilesFolderIsNotTheDriversOwn) {
    RemovalStation st;
    winsim::DriverSetup setup;
    setup.name = "Brontal Office";
    setup.configFile = "BRUI.DLL";
    setup.dataFile = "OFFICE.PPD";
    setup.dependentFiles = {"SUB\\TAVQ.DLL"};
    setup.fileContents["OFFICE.UIM"] = "UIM";
    st.ws->spooler.AddDriver(setup);
    st.AddPrinter("Office", "Brontal Office");
    winsim::ModuleImage tavq;
    tavq.exports["Delete"] = reinterpret_cast<FARPROC>(&NothingToDo);
    st.ws->modules.Register(st.versionDir + "\\SUB\\TAVQ.DLL", tavq);
    EXPECT_EQ(st.Run("Office"), 0);
    EXPECT_EQ(st.ws->modules.LoadsTotal(st.versionDir + "\\SUB\\TAVQ.DLL"), 0);
    EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
}

// The real companion library as the driver installs it, and the monitoring application running.
class RealCompanion : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::DriverSetup setup;
        setup.name = "Brontal Office";
        setup.configFile = "BRUI.DLL";
        setup.dataFile = "OFFICE.PPD";
        setup.dependentFiles = {"TAVQ.DLL"};
        setup.fileContents["OFFICE.UIM"] = "UIM";
        st.ws->spooler.AddDriver(setup);
        st.AddPrinter("Office", "Brontal Office");
        RegisterTavq(st.ws.machine(), st.versionDir + "\\TAVQ.DLL");
        RegisterTavq(st.ws.machine(), kShippedCompanion);
        StartTallyvue(st.ws.machine());
    }
    RemovalStation st;
};

TEST_F(RealCompanion, CommandLineRemovalEndsTheApplicationAndRemovesItForTheUser) {
    EXPECT_EQ(st.Run("Office"), 0);
    EXPECT_TRUE(TallyvueGone(st.ws.machine()));
    EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
    EXPECT_TRUE(st.ws->files.Exists(st.versionDir + "\\TAVQ.DLL"));
    EXPECT_TRUE(Stamped(st.ws, st.versionDir + "\\TAVQ.DLL"));
    EXPECT_TRUE(st.ws->ui.MessageBoxes().empty());
}

TEST_F(RealCompanion, AnApplicationThatCannotBeEndedKeepsThePrinter) {
    st.ws->registry.DeleteValue(kTallyvueSettingsKey, "PID");
    st.ws->user.Answer(IDOK);
    EXPECT_EQ((DWORD)st.Run("Office"), (DWORD)ERROR_BUSY);
    ASSERT_EQ(st.ws->ui.MessageBoxes().size(), 1u);
    EXPECT_EQ(st.ws->ui.MessageBoxes()[0].captionUtf8, "Norix Tallyvue");
    EXPECT_TRUE(st.ws->spooler.PrinterExists("Office"));
    EXPECT_TRUE(st.ws->files.Exists(st.versionDir + "\\OFFICE.PPD"));
    EXPECT_TRUE(st.ws->registry.KeyExists("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office"));
    EXPECT_EQ(st.ws->services.State(), (DWORD)SERVICE_RUNNING);
}

}  // namespace
