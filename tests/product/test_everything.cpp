// A run over everything of Brontal's (/all): every printer the dialog lists and every Brontal driver no
// printer uses, in one run with one spooler cycle; what it leaves alone; its dry run and its log.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "jsonl.h"
#include "run_log_reading.h"
#include "snapshot.h"

namespace {

// "Brontal Spare": a Brontal driver with its companion library and no printer, as a printer deleted in
// the control panel leaves it.
void AddSpareDriver(RemovalStation& st) {
    st.AddBrontalDriver("Brontal Spare", "SPARE.PPD");
}

struct EverythingCase {
    const char* what;
    winsim::Os os;
    std::function<void(RemovalStation&)> arrange;
    DWORD exitCode;
    std::vector<std::string> printersGone, printersKept;
    std::vector<std::string> driversGone, driversKept;  // their keys, read before the run
    std::vector<std::string> filesGone, filesKept;      // in the driver's version folder
    int spoolerStops;                                   // on NT: one before the enumeration, one after the removals
};

// Names the case in test listings by its table name rather than its bytes.
void PrintTo(const EverythingCase& c, std::ostream* os) {
    *os << c.what;
}

class Everything : public ::testing::TestWithParam<EverythingCase> {};

TEST_P(Everything, RemovesWhatIsBrontalsAndNothingElse) {
    const EverythingCase& c = GetParam();
    RemovalStation st(c.os);
    c.arrange(st);
    std::vector<std::string> keysGone, keysKept;
    for (const std::string& d : c.driversGone)
        keysGone.push_back(st.ws->spooler.DriverKeyPath(*st.ws->spooler.FindDriver(d)));
    for (const std::string& d : c.driversKept)
        keysKept.push_back(st.ws->spooler.DriverKeyPath(*st.ws->spooler.FindDriver(d)));

    EXPECT_EQ((DWORD)st.Run("/all"), c.exitCode);
    for (const std::string& p : c.printersGone)
        EXPECT_FALSE(st.ws->spooler.PrinterExists(p)) << p;
    for (const std::string& p : c.printersKept)
        EXPECT_TRUE(st.ws->spooler.PrinterExists(p)) << p;
    for (const std::string& k : keysGone)
        EXPECT_FALSE(st.ws->registry.KeyExists(k)) << k;
    for (const std::string& k : keysKept)
        EXPECT_TRUE(st.ws->registry.KeyExists(k)) << k;
    for (const std::string& f : c.filesGone)
        EXPECT_FALSE(st.ws->files.Exists(st.versionDir + "\\" + f)) << f;
    for (const std::string& f : c.filesKept)
        EXPECT_TRUE(st.ws->files.Exists(st.versionDir + "\\" + f)) << f;
    EXPECT_EQ(st.ws->services.spoolerStops, st.ws->system.IsNT() ? c.spoolerStops : 0);
    // A spooler that refuses to start stays stopped; the run says so with its code.
    if (c.exitCode != ERROR_SERVICE_REQUEST_TIMEOUT)
        EXPECT_EQ(st.ws->services.State(), (DWORD)SERVICE_RUNNING);
    // Unattended: nothing appears on the screen.
    for (const auto& d : st.ws->ui.Dialogs())
        EXPECT_FALSE(d.everVisible) << d.templateName;
    EXPECT_TRUE(st.ws->ui.MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    RunOverEverything, Everything,
    ::testing::Values(
        EverythingCase{"NoBrontalPrinterAtAll", winsim::Os::WinXP,
                       [](RemovalStation& st) {
                           st.ws.AddPlainDriver("Plain Driver", "PLAIN.PPD");
                           st.ws.AddPrinter("Plain", "Plain Driver");
                       },
                       ERROR_SUCCESS, {}, {"Plain"}, {}, {"Plain Driver"}, {}, {"PLAIN.PPD", "PSCRIPT5.DLL"}, 1},
        EverythingCase{"PrintersOnOwnAndSharedDrivers", winsim::Os::WinXP,
                       [](RemovalStation& st) {
                           SeedOffice(st);
                           st.AddPrinter("Office 2", "Brontal Office");
                           st.AddLobby();
                       },
                       ERROR_SUCCESS, {"Office", "Office 2", "Lobby"}, {"Plain"},
                       {"Brontal Office", "Brontal Lobby"}, {"Plain Driver"},
                       {"OFFICE.PPD", "OFFICE.HLP", "LOBBY.PPD", "LOBBY.HLP"},
                       {"PSCRIPT5.DLL", "PS5UI.DLL", "PLAIN.PPD"}, 2},
        EverythingCase{"OnlyAnUnusedDriver", winsim::Os::WinXP,
                       [](RemovalStation& st) {
                           st.ws.AddPlainDriver("Plain Driver", "PLAIN.PPD");
                           st.ws.AddPrinter("Plain", "Plain Driver");
                           AddSpareDriver(st);
                       },
                       ERROR_SUCCESS, {}, {"Plain"}, {"Brontal Spare"}, {"Plain Driver"},
                       {"SPARE.PPD", "SPARE.HLP"}, {"PSCRIPT5.DLL", "PLAIN.PPD"}, 2},
        // Nothing but the unused drivers lists PSCRIPT5.DLL: the other maker's keeps it.
        EverythingCase{"UnusedDriverSharesAFileWithAnotherMakersUnusedDriver", winsim::Os::WinXP,
                       [](RemovalStation& st) {
                           AddSpareDriver(st);
                           st.ws.AddPlainDriver("Other Maker", "OTHER.PPD");
                       },
                       ERROR_SUCCESS, {}, {}, {"Brontal Spare"}, {"Other Maker"}, {"SPARE.PPD", "SPARE.HLP"},
                       {"PSCRIPT5.DLL", "PS5UI.DLL", "OTHER.PPD"}, 2},
        // The printer's driver cannot be learned by opening it; the spooler's record of the printer still
        // names it, so it is no unused driver.
        EverythingCase{"APrinterThatCannotBeOpened", winsim::Os::WinXP,
                       [](RemovalStation& st) {
                           st.AddBrontalDriver("Brontal Locked", "LOCKED.PPD");
                           st.AddPrinter("Locked", "Brontal Locked");
                           st.ws->spooler.SetRights("Locked", winsim::PrinterRights{false, false, false});
                           AddSpareDriver(st);
                       },
                       ERROR_SUCCESS, {}, {"Locked"}, {"Brontal Spare"}, {"Brontal Locked"}, {"SPARE.PPD"},
                       {"LOCKED.PPD", "LOCKED.UIM"}, 2},
        EverythingCase{"CompanionRefuses", winsim::Os::WinXP,
                       [](RemovalStation& st) {
                           SeedOffice(st);
                           g_companion.result = 0;
                       },
                       ERROR_BUSY, {}, {"Office", "Plain"}, {}, {"Brontal Office"}, {}, {"OFFICE.PPD"}, 1},
        EverythingCase{"AFileInUseWaitsForTheRestart", winsim::Os::WinXP,
                       [](RemovalStation& st) {
                           SeedOffice(st);
                           AddSpareDriver(st);
                           st.ws->files.HoldOpen(st.versionDir + "\\OFFICE.HLP", true);
                       },
                       ERROR_SUCCESS_REBOOT_REQUIRED, {"Office"}, {"Plain"}, {"Brontal Office", "Brontal Spare"},
                       {"Plain Driver"}, {"OFFICE.PPD", "SPARE.PPD"}, {"OFFICE.HLP"}, 2},
        EverythingCase{"SpoolerNeverComesBack", winsim::Os::WinXP,
                       [](RemovalStation& st) {
                           SeedOffice(st);
                           st.ws->faults.Fail("StartServiceA", ERROR_SERVICE_DISABLED);
                       },
                       ERROR_SERVICE_REQUEST_TIMEOUT, {}, {"Office", "Plain"}, {}, {"Brontal Office"}, {},
                       {"OFFICE.PPD"}, 1},
        EverythingCase{"Windows98", winsim::Os::Win98,
                       [](RemovalStation& st) {
                           SeedOffice(st);
                           AddSpareDriver(st);
                       },
                       ERROR_SUCCESS, {"Office"}, {"Plain"}, {"Brontal Office", "Brontal Spare"}, {"Plain Driver"},
                       {"OFFICE.PPD", "SPARE.PPD"}, {"PSCRIPT5.DLL", "PLAIN.PPD"}, 0},
        EverythingCase{"WindowsNT4", winsim::Os::NT4,
                       [](RemovalStation& st) {
                           SeedOffice(st);
                           AddSpareDriver(st);
                       },
                       ERROR_SUCCESS, {"Office"}, {"Plain"}, {"Brontal Office", "Brontal Spare"}, {"Plain Driver"},
                       {"OFFICE.PPD", "SPARE.PPD"}, {"PSCRIPT5.DLL", "PLAIN.PPD"}, 2}),
    [](const ::testing::TestParamInfo<EverythingCase>& info) { return std::string(info.param.what); });

TEST(RunOverEverything, LogsEachPrinterAndDriverWithItsOwnOutcome) {
    RemovalStation st;
    SeedOffice(st);
    AddSpareDriver(st);
    st.ws->files.HoldOpen(st.versionDir + "\\SPARE.HLP", true);
    const std::string spareKey = st.ws->spooler.DriverKeyPath(*st.ws->spooler.FindDriver("Brontal Spare"));
    ASSERT_EQ((DWORD)st.Run("/all /log:C:\\all.log"), (DWORD)ERROR_SUCCESS_REBOOT_REQUIRED);
    const auto log = ReadLog(st, "C:\\all.log");
    ASSERT_EQ(Events(log, "run").size(), 1u);
    EXPECT_EQ(Events(log, "run")[0].at("mode"), "remove");
    EXPECT_EQ(ParseJsonStrings(Events(log, "run")[0].at("options")),
              (std::vector<std::string>{"/all", "/log:C:\\all.log"}));

    const auto printers = Events(log, "printer_outcome");
    ASSERT_EQ(printers.size(), 1u);
    EXPECT_EQ(printers[0].at("name"), "Office");
    EXPECT_EQ(printers[0].at("exit_code"), "0");
    const auto driver = Events(log, "driver");
    ASSERT_EQ(driver.size(), 1u);
    EXPECT_EQ(driver[0].at("driver"), "Brontal Spare");
    EXPECT_EQ(driver[0].at("evidence"), "uim");
    EXPECT_EQ(driver[0].at("version"), "3");
    EXPECT_EQ(driver[0].at("root"), "HKEY_LOCAL_MACHINE");
    EXPECT_EQ("HKLM\\" + driver[0].at("path"), spareKey);
    const auto outcomes = Events(log, "driver_outcome");
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].at("driver"), "Brontal Spare");
    EXPECT_EQ(outcomes[0].at("exit_code"), "3010");

    // The unused driver's decisions name no printer; its help file is deleted at the restart and its
    // copy of the companion library is replaced by the program's own.
    const auto decisions = Events(log, "decisions");
    ASSERT_EQ(decisions.size(), 2u);
    EXPECT_EQ(decisions[0].at("printer"), "Office");
    EXPECT_EQ(decisions[1].at("printer"), "null");
    EXPECT_EQ(decisions[1].at("driver"), "Brontal Spare");
    bool sawCompanion = false;
    for (const Fields& file : ParseJsonObjects(decisions[1].at("files"))) {
        if (file.at("file") == st.versionDir + "\\TAVQ.DLL") {
            sawCompanion = true;
            EXPECT_EQ(file.at("delete"), "false");
            EXPECT_EQ(file.at("replaced_by"), kShippedCompanion);
        }
        if (file.at("file") == st.versionDir + "\\PSCRIPT5.DLL") {
            EXPECT_EQ(file.at("delete"), "false");
            EXPECT_EQ(file.at("listed_by"), "Plain");
        }
    }
    EXPECT_TRUE(sawCompanion);
    // Office's removal kept the copy the unused driver still listed: the application was removed once.
    EXPECT_EQ(g_companion.calls, 1);
    ASSERT_EQ(Events(log, "spooler").size(), 2u);
    EXPECT_EQ(Events(log, "spooler")[0].at("phase"), "before_enumeration");
    EXPECT_EQ(Events(log, "spooler")[1].at("phase"), "after_removal");
    EXPECT_EQ(Events(log, "outcome")[0].at("exit_code"), "3010");
}

// Of two printers, the one the workstation still lists afterwards gets 1802; the other keeps its 0.
TEST(RunOverEverything, APrinterStillListedAfterTheRunIsNotReportedRemoved) {
    RemovalStation st;
    SeedOffice(st);
    st.AddLobby();
    st.ws->faults.Fail("LoadLibraryA", ERROR_MOD_NOT_FOUND, -1, 0,
                       [](const std::string& a) { return a.find("OFFICE.DLL") != std::string::npos; });
    st.ws->faults.Fail("RegDeleteKeyA", ERROR_ACCESS_DENIED, -1, 0,
                       [](const std::string& a) { return a.find("Print\\Printers\\Office") != std::string::npos; });
    EXPECT_EQ((DWORD)st.Run("/all /log:C:\\all.log"), (DWORD)ERROR_PRINTER_ALREADY_EXISTS);
    EXPECT_TRUE(st.ws->spooler.PrinterExists("Office"));
    EXPECT_FALSE(st.ws->spooler.PrinterExists("Lobby"));
    std::map<std::string, std::string> codes;
    for (const Fields& f : Events(ReadLog(st, "C:\\all.log"), "printer_outcome"))
        codes[f.at("name")] = f.at("exit_code");
    EXPECT_EQ(codes, (std::map<std::string, std::string>{{"Lobby", "0"}, {"Office", "1802"}}));
}

TEST(RunOverEverything, ASecondRunFindsNothingAndEndsWithZero) {
    RemovalStation st;
    SeedOffice(st);
    AddSpareDriver(st);
    ASSERT_EQ(st.Run("/all"), 0);
    const auto after = SnapshotMachine();
    const int stops = st.ws->services.spoolerStops;
    EXPECT_EQ(st.Run("/all /log:C:\\again.log"), 0);
    EXPECT_EQ(Without(SnapshotDiff(after, SnapshotMachine()), {"C:\\again.log"}), std::vector<std::string>{});
    // Only the cycle before the enumeration: nothing was removed that needs another.
    EXPECT_EQ(st.ws->services.spoolerStops, stops + 1);
    const auto log = ReadLog(st, "C:\\again.log");
    EXPECT_TRUE(Events(log, "printer_outcome").empty());
    EXPECT_TRUE(Events(log, "driver_outcome").empty());
    EXPECT_EQ(ChangeLines(log), (std::vector<std::string>{"stop_service spooler", "start_service spooler"}));
}

struct DryEverythingCase {
    const char* what;
    std::function<void(RemovalStation&)> arrange;
};

void PrintTo(const DryEverythingCase& c, std::ostream* os) {
    *os << c.what;
}

class DryEverything : public ::testing::TestWithParam<DryEverythingCase> {};

TEST_P(DryEverything, ChangesNothingAndPredictsTheRealRun) {
    RemovalStation st;
    SeedOffice(st);
    GetParam().arrange(st);
    const auto before = SnapshotMachine();
    const DWORD dryExit = (DWORD)st.Run("/whatif /all /log:C:\\whatif.log");
    EXPECT_EQ(Without(SnapshotDiff(before, SnapshotMachine()), {"C:\\whatif.log"}), std::vector<std::string>{});
    EXPECT_EQ(st.ws->services.spoolerStops, 0);
    EXPECT_EQ(g_companion.calls, 0);
    const DWORD realExit = (DWORD)st.Run("/all /log:C:\\real.log");
    const auto dry = ReadLog(st, "C:\\whatif.log");
    const auto real = ReadLog(st, "C:\\real.log");
    EXPECT_EQ(Events(dry, "run")[0].at("mode"), "whatif");
    EXPECT_FALSE(Events(dry, "change").empty());
    EXPECT_EQ(ChangeLines(dry), ChangeLines(real));
    EXPECT_EQ(dryExit, realExit);
}

INSTANTIATE_TEST_SUITE_P(
    RunOverEverything, DryEverything,
    ::testing::Values(DryEverythingCase{"PrintersAndAnUnusedDriver",
                                        [](RemovalStation& st) {
                                            st.AddLobby();
                                            AddSpareDriver(st);
                                        }},
                      DryEverythingCase{"AFileInUse",
                                        [](RemovalStation& st) {
                                            AddSpareDriver(st);
                                            st.ws->files.HoldOpen(st.versionDir + "\\SPARE.HLP", true);
                                        }}),
    [](const ::testing::TestParamInfo<DryEverythingCase>& info) { return std::string(info.param.what); });

}  // namespace

namespace {

const char kRunKey[] = "HKCU\\SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN";

struct ListCase {
    const char* what;
    std::function<void(RemovalStation&)> arrange;
    DWORD exitCode;
    std::vector<std::string> found;  // "kind name-or-driver-or-trace", in order
};

void PrintTo(const ListCase& c, std::ostream* os) {
    *os << c.what;
}

class Detection : public ::testing::TestWithParam<ListCase> {};

TEST_P(Detection, ReportsWhatIsLeftAndChangesNothing) {
    const ListCase& c = GetParam();
    RemovalStation st;
    c.arrange(st);
    const auto before = SnapshotMachine();
    EXPECT_EQ((DWORD)st.Run("/list /log:C:\\list.log"), c.exitCode);
    EXPECT_EQ(Without(SnapshotDiff(before, SnapshotMachine()), {"C:\\list.log"}), std::vector<std::string>{});
    EXPECT_EQ(st.ws->services.spoolerStops, 0);
    EXPECT_EQ(g_companion.calls, 0);
    const auto log = ReadLog(st, "C:\\list.log");
    EXPECT_EQ(Events(log, "run")[0].at("mode"), "list");
    std::vector<std::string> found;
    for (const Fields& f : Events(log, "found")) {
        const std::string& kind = f.at("kind");
        found.push_back(kind + " " + (kind == "printer" ? f.at("name") : kind == "driver" ? f.at("driver") : f.at("trace")));
    }
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(Events(log, "outcome")[0].at("exit_code"), std::to_string(c.exitCode));
}

INSTANTIATE_TEST_SUITE_P(
    RunOverEverything, Detection,
    ::testing::Values(
        ListCase{"NothingOfBrontals",
                 [](RemovalStation& st) {
                     st.ws.AddPlainDriver("Plain Driver", "PLAIN.PPD");
                     st.ws.AddPrinter("Plain", "Plain Driver");
                 },
                 0, {}},
        ListCase{"PrintersAnUnusedDriverAndTheApplication",
                 [](RemovalStation& st) {
                     SeedOffice(st);
                     st.AddLobby();
                     AddSpareDriver(st);
                     st.ws.AddPlainDriver("Other Maker", "OTHER.PPD");
                     st.ws->registry.SetString(kRunKey, "Norix Tallyvue", "C:\\Tallyvue.exe");
                     st.ws->registry.SetDword("HKCU\\SOFTWARE\\Norix\\Tallyvue", "PID", 4);
                 },
                 1,
                 {"printer Lobby", "printer Office", "driver Brontal Spare", "monitor autostart", "monitor settings"}},
        ListCase{"OnlyTheApplicationsAutostart",
                 [](RemovalStation& st) { st.ws->registry.SetString(kRunKey, "Norix Tallyvue", "x"); }, 1,
                 {"monitor autostart"}},
        // What cannot be looked at is not known to be gone.
        ListCase{"TheSpoolerCannotListItsDrivers",
                 [](RemovalStation& st) { st.ws->faults.Fail("EnumPrinterDriversA", RPC_S_SERVER_UNAVAILABLE); }, 1,
                 {}}),
    [](const ::testing::TestParamInfo<ListCase>& info) { return std::string(info.param.what); });

TEST(RunOverEverything, DetectionAfterTheRunFindsNothing) {
    RemovalStation st;
    SeedOffice(st);
    AddSpareDriver(st);
    EXPECT_EQ(st.Run("/list"), 1);
    EXPECT_EQ(st.Run("/all"), 0);
    EXPECT_EQ(st.Run("/list"), 0);
}

// The found lines go to the program's standard output too when a deployment tool redirects it.
TEST(RunOverEverything, DetectionWritesTheFoundLinesToRedirectedOutput) {
    RemovalStation st;
    SeedOffice(st);
    AddSpareDriver(st);
    HANDLE out = CreateFileA("C:\\stdout.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    EXPECT_EQ(st.Run("/list /log:C:\\list.log"), 1);
    SetStdHandle(STD_OUTPUT_HANDLE, NULL);
    CloseHandle(out);
    bool ok = false;
    const auto echoed = ParseJsonLines(st.ws->files.ReadFile("C:\\stdout.txt").value_or(""), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(echoed, Events(ReadLog(st, "C:\\list.log"), "found"));
    EXPECT_EQ(echoed.size(), 2u);
}

// What the hand-offs through the drivers' copies leave of the application goes through the program's own.
TEST(RunOverEverything, TheApplicationWithoutADriverGoesThroughTheProgramsOwnCompanion) {
    RemovalStation st;
    st.ws->registry.SetString(kRunKey, "Norix Tallyvue", "x");
    EXPECT_EQ(st.Run("/all /log:C:\\all.log"), 0);
    const auto log = ReadLog(st, "C:\\all.log");
    const auto calls = Events(log, "companion");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].at("library"), "C:\\Program Files\\Trellin\\tavq.dll");
    ASSERT_EQ(Events(log, "monitor_outcome").size(), 1u);
    EXPECT_EQ(Events(log, "monitor_outcome")[0].at("exit_code"), "0");
    EXPECT_EQ(g_companion.calls, 0);
    // The spooler has no part in it: only the cycle before the enumeration.
    EXPECT_EQ(st.ws->services.spoolerStops, 1);
}

// An application a driver's hand-off could not end is not asked to end a second time: one notice, one call.
TEST(RunOverEverything, AnApplicationThatCouldNotBeEndedIsNotAskedAgain) {
    RemovalStation st;
    SeedOffice(st);
    st.ws->registry.SetString(kRunKey, "Norix Tallyvue", "x");
    g_companion.result = 0;
    EXPECT_EQ((DWORD)st.Run("/all /log:C:\\all.log"), (DWORD)ERROR_BUSY);
    const auto log = ReadLog(st, "C:\\all.log");
    ASSERT_EQ(Events(log, "companion").size(), 1u);
    EXPECT_EQ(Events(log, "companion")[0].at("library"), st.versionDir + "\\TAVQ.DLL");
    EXPECT_TRUE(Events(log, "monitor_outcome").empty());
    EXPECT_EQ(g_companion.calls, 1);
    EXPECT_TRUE(st.ws->spooler.PrinterExists("Office"));
}

}  // namespace
