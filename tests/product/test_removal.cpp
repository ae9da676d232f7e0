// Whole removals: Delete in the dialog and the command-line run, with the spooler cycles, the dialogs,
// the companion hand-off, the restart and the exit codes.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include "app/TrellinApp.h"
#include "jsonl.h"
#include "lang/langres.h"
#include "removal_station.h"
#include "ui/resource.h"

namespace {

using Lines = std::vector<std::string>;

const uint64_t kSpoolerCycleMs = 3000;
// Two minutes of waiting for the spooler (after a removal, or as the dialog ends), and the opening
// cycle before it.
const uint64_t kLongestRunMs = 130000;
// Longer than any run may wait: a service that takes this long never comes back for the run.
const uint64_t kForeverMs = 24ull * 3600 * 1000;
const std::string kWarningOffice =
    "The printer \"Office\" and its driver files will be removed. Are you sure you want to continue?";

std::string Text(HWND dlg, int id) {
    char text[512] = "";
    GetWindowTextA(GetDlgItem(dlg, id), text, sizeof(text));
    return text;
}

std::vector<std::string> ListLines(HWND dlg, int id) {
    HWND list = GetDlgItem(dlg, id);
    std::vector<std::string> lines;
    int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        char text[512] = "";
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)text);
        lines.push_back(text);
    }
    return lines;
}

// "Office" and "Plain", each with its per-user settings.
void SeedOffice(RemovalStation& st) {
    st.AddOfficeAndPlain();
    st.ws->registry.SetString("HKCU\\Printers\\Settings\\Office", "Paper", "A4");
}

const std::string kOfficeData = "SOFTWARE\\Brontal\\Data\\Office";

// Office's driver keeps its per-printer data where the printer's driver data names it, under both roots.
void SeedOfficeDataLocation(RemovalStation& st) {
    st.ws->registry.SetString("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office\\PrinterDriverData",
                              "_NXStorage\\_NXDataLocation", kOfficeData);
    st.ws->registry.SetString("HKLM\\" + kOfficeData + "\\Settings", "Tray", "1");
    st.ws->registry.SetString("HKCU\\" + kOfficeData, "Copies", "1");
}

int Count(const std::vector<winsim::DialogRecord>& dialogs, int templateId) {
    int n = 0;
    for (const auto& d : dialogs)
        n += d.templateId == templateId;
    return n;
}

FILETIME Stamp1998() {
    SYSTEMTIME t = {1998, 1, 4, 1, 1, 1, 1, 0};
    FILETIME ft;
    SystemTimeToFileTime(&t, &ft);
    return ft;
}

const Lines kRemovedOwnDriverInteractive = {
    "In OnDelete Starting\n ",
    "Displayed reset dialog\n ",
    "remove is 1 Unsharing the driver \n",
    "Before calling Driver name match  \n",
    "After calling driver name match \n ",
    "Before calling Markfilestodelete \n ",
    "After  calling Markfilestodelete, before deleting tallyvue \n ",
};

}  // namespace

TEST(Removal, InteractiveRemovalTakesThePrinterItsDriverAndItsTraces) {
    RemovalStation st;
    SeedOffice(st);
    const std::string tavq = st.versionDir + "\\TAVQ.DLL";
    st.ws->user.On(IDD_TRELLIN_DIALOG)
        .Wait(kSpoolerCycleMs)
        .SelectLine(IDC_PRINTER_LIST, "Office")
        .Press(IDC_DELETE);
    st.ws->user.On(IDD_WARNING)
        .Inspect([&](HWND dlg) {
            EXPECT_EQ(Text(dlg, IDC_MESSAGE), kWarningOffice);
            EXPECT_EQ(Text(dlg, IDOK), "OK");
            EXPECT_EQ(Text(dlg, IDCANCEL), "Cancel");
        })
        .Press(IDOK);
    st.ws->user.On(IDD_REBOOT)
        .Inspect([&](HWND dlg) {
            EXPECT_EQ(Text(dlg, IDC_MESSAGE),
                      "The printer has been removed. Windows must be restarted to complete the removal. Restart now?");
            EXPECT_NE(GetDlgItem(dlg, IDCANCEL), nullptr);
            // The notice closed when the spooler ran again, before the question.
            const winsim::DialogRecord* notice = st.ws->ui.LastDialog(IDD_RESET_SPOOLER);
            ASSERT_NE(notice, nullptr);
            EXPECT_TRUE(notice->everVisible);
            EXPECT_TRUE(notice->destroyed);
            EXPECT_EQ(st.ws->services.State(), (DWORD)SERVICE_RUNNING);
        })
        .Press(IDCANCEL);
    st.ws->user.On(IDD_TRELLIN_DIALOG)
        .Inspect([&](HWND dlg) {
            EXPECT_EQ(ListLines(dlg, IDC_PRINTER_LIST), Lines{"No Brontal printer was found."});
            EXPECT_TRUE(ListLines(dlg, IDC_FILES_LIST).empty());
        })
        .PressEsc();
    EXPECT_EQ(st.Run(""), 0);
    EXPECT_TRUE(st.ws->user.Unused().empty());

    EXPECT_EQ(st.Transcript(), kRemovedOwnDriverInteractive);
    EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
    EXPECT_FALSE(st.ws->spooler.DriverExists("Brontal Office"));
    EXPECT_TRUE(st.ws->spooler.PrinterExists("Plain"));
    for (const char* file : {"OFFICE.PPD", "OFFICE.HLP", "OFFICE.BDD"})
        EXPECT_FALSE(st.ws->files.Exists(st.versionDir + "\\" + file)) << file;
    // Another maker's driver still lists them.
    EXPECT_TRUE(st.ws->files.Exists(st.versionDir + "\\PSCRIPT5.DLL"));
    EXPECT_TRUE(st.ws->files.Exists(st.versionDir + "\\PS5UI.DLL"));
    EXPECT_FALSE(st.ws->registry.KeyExists("HKCU\\Printers\\Settings\\Office"));
    EXPECT_TRUE(st.ws->registry.KeyExists("HKCU\\Printers\\Settings\\Plain"));
    // The companion ran once; the driver's copy is now the shipped one, stamped, and stays.
    EXPECT_EQ(g_companion.calls, 1);
    EXPECT_EQ(st.ws->files.ReadFile(tavq), st.ws->files.ReadFile(kShippedCompanion));
    auto times = st.ws->files.GetTimes(tavq);
    ASSERT_TRUE(times.has_value());
    const FILETIME stamp = Stamp1998();
    for (const FILETIME& t : {times->creation, times->lastAccess, times->lastWrite})
        EXPECT_EQ(winsim::ToU64(t), winsim::ToU64(stamp));
    EXPECT_EQ(st.ws->services.State(), (DWORD)SERVICE_RUNNING);
    EXPECT_EQ(st.ws->services.spoolerStops, 2);
    EXPECT_TRUE(st.ws->security.shutdowns.empty());
    EXPECT_EQ(st.ws->services.OpenHandles(), 0u);
    EXPECT_EQ(st.ws->registry.OpenKeyCount(), 0u);
    EXPECT_EQ(st.ws->spooler.OpenHandles(), 0);
}

TEST(Removal, SharedDriverKeepsItsDriverUntilTheSecondPrinterGoes) {
    RemovalStation st;
    st.AddBrontalDriver("Brontal Copy", "COPY.PPD");
    st.AddPrinter("Copy 1", "Brontal Copy");
    st.AddPrinter("Copy 2", "Brontal Copy");
    st.ws->user.On(IDD_TRELLIN_DIALOG).Wait(kSpoolerCycleMs).SelectLine(IDC_PRINTER_LIST, "Copy 1").Press(IDC_DELETE);
    st.ws->user.On(IDD_WARNING).Press(IDOK);
    st.ws->user.On(IDD_REBOOT).Press(IDCANCEL);
    st.ws->user.On(IDD_TRELLIN_DIALOG)
        .Inspect([&](HWND dlg) {
            EXPECT_EQ(ListLines(dlg, IDC_PRINTER_LIST), Lines{"Copy 2"});
            EXPECT_TRUE(st.ws->spooler.DriverExists("Brontal Copy"));
            EXPECT_TRUE(st.ws->files.Exists(st.versionDir + "\\COPY.PPD"));
            EXPECT_EQ(g_companion.calls, 0);
            EXPECT_FALSE(st.ws->spooler.PrinterExists("Copy 1"));
        })
        .SelectLine(IDC_PRINTER_LIST, "Copy 2")
        .Press(IDC_DELETE);
    st.ws->user.On(IDD_WARNING).Press(IDOK);
    st.ws->user.On(IDD_REBOOT).Press(IDCANCEL);
    st.ws->user.On(IDD_TRELLIN_DIALOG).PressEsc();
    st.Run("");
    EXPECT_TRUE(st.ws->user.Unused().empty());

    Lines expected = {
        "In OnDelete Starting\n ",
        "Displayed reset dialog\n ",
        "remove is 1 Unsharing the driver \n",
        "Before calling Driver name match  \n",
        "After calling driver name match \n ",
        "Before calling DeleteAllRegistryEntries \n ",
        "After calling DeleteAllRegistryEntries \n ",
    };
    expected.insert(expected.end(), kRemovedOwnDriverInteractive.begin(), kRemovedOwnDriverInteractive.end());
    EXPECT_EQ(st.Transcript(), expected);
    EXPECT_FALSE(st.ws->spooler.DriverExists("Brontal Copy"));
    EXPECT_FALSE(st.ws->files.Exists(st.versionDir + "\\COPY.PPD"));
    EXPECT_EQ(g_companion.calls, 1);
    // The notice is created again from the same object for the second removal.
    EXPECT_EQ(Count(st.ws->ui.Dialogs(), IDD_RESET_SPOOLER), 2);
}

// The main dialog owns the warning, the notice, the restart question and About, so it takes no input while
// one of the modal ones is up: a second Delete clicked meanwhile starts no second removal inside the first.
TEST(Removal, DeleteClickedWhileAModalDialogIsUpDoesNothing) {
    RemovalStation st;
    SeedOffice(st);
    HWND main = nullptr;
    HWND noticeOwner = nullptr;
    g_companion.during = [&] { noticeOwner = GetWindow(st.ws->ui.LastDialog(IDD_RESET_SPOOLER)->hwnd, GW_OWNER); };
    st.ws->user.On(IDD_TRELLIN_DIALOG)
        .Wait(kSpoolerCycleMs)
        .Inspect([&](HWND dlg) { main = dlg; })
        .SelectLine(IDC_PRINTER_LIST, "Office")
        .Press(IDC_ABOUT);
    st.ws->user.On(IDD_ABOUTBOX).ClickIn(IDD_TRELLIN_DIALOG, IDC_DELETE).PressEnter();
    st.ws->user.On(IDD_TRELLIN_DIALOG).Press(IDC_DELETE);
    st.ws->user.On(IDD_WARNING)
        .Inspect([&](HWND) { EXPECT_FALSE(IsWindowEnabled(main)); })
        .ClickIn(IDD_TRELLIN_DIALOG, IDC_DELETE)
        .Press(IDOK);
    st.ws->user.On(IDD_REBOOT).Inspect([&](HWND) { EXPECT_FALSE(IsWindowEnabled(main)); }).Press(IDCANCEL);
    st.ws->user.On(IDD_TRELLIN_DIALOG).Inspect([&](HWND dlg) { EXPECT_TRUE(IsWindowEnabled(dlg)); }).PressEsc();
    EXPECT_EQ(st.Run(""), 0);
    EXPECT_TRUE(st.ws->user.Unused().empty());
    EXPECT_EQ(Count(st.ws->ui.Dialogs(), IDD_WARNING), 1);
    EXPECT_EQ(Count(st.ws->ui.Dialogs(), IDD_RESET_SPOOLER), 1);
    EXPECT_EQ(st.Transcript(), kRemovedOwnDriverInteractive);
    EXPECT_EQ(g_companion.calls, 1);
    EXPECT_EQ(noticeOwner, main);
    EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
}

TEST(Removal, CancelInTheWarningRemovesNothing) {
    for (auto leave : {winsim::Press(IDCANCEL), winsim::PressEsc()}) {
        RemovalStation st;
        SeedOffice(st);
        st.ws->user.On(IDD_TRELLIN_DIALOG).Wait(kSpoolerCycleMs).Press(IDC_DELETE);
        st.ws->user.On(IDD_WARNING).Then(leave);
        st.ws->user.On(IDD_TRELLIN_DIALOG).PressEsc();
        st.Run("");
        EXPECT_EQ(st.Transcript(), Lines{"In OnDelete Starting\n "});
        EXPECT_EQ(Count(st.ws->ui.Dialogs(), IDD_RESET_SPOOLER), 0);
        EXPECT_TRUE(st.ws->spooler.PrinterExists("Office"));
        EXPECT_TRUE(st.ws->spooler.IsShared("Office"));
        EXPECT_EQ(st.ws->services.spoolerStops, 1);
    }
}

TEST(Removal, RestartAnsweredOkRestartsTheMachineForced) {
    RemovalStation st;
    SeedOffice(st);
    st.ws->files.HoldOpen(st.versionDir + "\\OFFICE.HLP", true);
    st.ws->user.On(IDD_TRELLIN_DIALOG).Wait(kSpoolerCycleMs).Press(IDC_DELETE);
    st.ws->user.On(IDD_WARNING).Press(IDOK);
    st.ws->user.On(IDD_REBOOT).Press(IDOK);
    st.ws->user.On(IDD_TRELLIN_DIALOG).PressEsc();
    st.ws->debug.StartStdout();
    st.Run("");
    EXPECT_EQ(st.ws->debug.StopStdout(), "");
    ASSERT_EQ(st.ws->security.shutdowns.size(), 1u);
    EXPECT_EQ(st.ws->security.shutdowns[0].flags, (UINT)(EWX_REBOOT | EWX_FORCE));
    EXPECT_TRUE(st.ws->security.shutdowns[0].granted);
    // The file in use goes with the restart.
    EXPECT_TRUE(st.ws->files.Exists(st.versionDir + "\\OFFICE.HLP"));
    st.ws->Restart();
    EXPECT_FALSE(st.ws->files.Exists(st.versionDir + "\\OFFICE.HLP"));
    EXPECT_TRUE(st.ws->files.Exists(st.versionDir + "\\PSCRIPT5.DLL"));
}

TEST(Removal, RestartWithoutTheShutdownPrivilegeReportsBothFailures) {
    RemovalStation st;
    SeedOffice(st);
    st.ws->security.Revoke(SE_SHUTDOWN_NAME);
    st.ws->user.On(IDD_TRELLIN_DIALOG).Wait(kSpoolerCycleMs).Press(IDC_DELETE);
    st.ws->user.On(IDD_WARNING).Press(IDOK);
    st.ws->user.On(IDD_REBOOT).Press(IDOK);
    st.ws->user.On(IDD_TRELLIN_DIALOG).PressEsc();
    st.ws->debug.StartStdout();
    st.Run("");
    EXPECT_EQ(st.ws->debug.StopStdout(), "Error: AdjustTokenPrivileges\nError: ExitWindowsEx\n");
    EXPECT_FALSE(st.ws->security.restartPending);
    EXPECT_TRUE(st.ws->user.Unused().empty());
}

TEST(Removal, Windows9xDeletesThroughTheSpoolerAndOnlyNotifiesOfTheRestart) {
    RemovalStation st(winsim::Os::Win98);
    SeedOffice(st);
    st.ws->user.On(IDD_TRELLIN_DIALOG).SelectLine(IDC_PRINTER_LIST, "Office").Press(IDC_DELETE);
    st.ws->user.On(IDD_WARNING).Press(IDOK);
    st.ws->user.On(IDD_REBOOT)
        .Inspect([&](HWND dlg) {
            EXPECT_EQ(GetDlgItem(dlg, IDCANCEL), nullptr);
            EXPECT_EQ(Text(dlg, IDC_MESSAGE),
                      "The printer has been removed. Restart Windows to complete the removal.");
        })
        .PressEsc();
    // Delete lost the focus when it was disabled: the user clicks Exit.
    st.ws->user.On(IDD_TRELLIN_DIALOG).Press(IDC_EXIT);
    st.Run("");
    EXPECT_TRUE(st.ws->user.Unused().empty());
    Lines expected = kRemovedOwnDriverInteractive;
    expected.erase(expected.begin() + 2);  // no unsharing on Windows 9x
    EXPECT_EQ(st.Transcript(), expected);
    EXPECT_EQ(st.ws->services.CallCount(), 0u);
    EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
    EXPECT_TRUE(st.ws->security.shutdowns.empty());
    // The companion ran; on Windows 9x its copy is not replaced and goes with the driver.
    EXPECT_EQ(g_companion.calls, 1);
    EXPECT_FALSE(st.ws->files.Exists(st.versionDir + "\\TAVQ.DLL"));
}

struct SpoolerCase {
    const char* name;
    std::function<void(winsim::Machine&)> script;
    bool cycle;  // the spooler is stopped first: the lists start empty
    bool listsFill;
    int starts;  // StartServiceA calls during the opening cycle
};

// Names the case in test listings by its table name rather than its bytes.
void PrintTo(const SpoolerCase& c, std::ostream* os) {
    *os << c.name;
}

class SpoolerCycles : public ::testing::TestWithParam<SpoolerCase> {};

TEST_P(SpoolerCycles, FillTheListsOnlyOnceTheSpoolerRunsAgain) {
    const SpoolerCase& c = GetParam();
    RemovalStation st;
    SeedOffice(st);
    c.script(st.ws.machine());
    st.ws->user.On(IDD_TRELLIN_DIALOG)
        .Inspect([&](HWND dlg) { EXPECT_EQ(ListLines(dlg, IDC_PRINTER_LIST).empty(), c.cycle); })
        .Wait(6000)
        .MoveMouseOver(IDC_PRINTER_LIST)
        .Inspect([&](HWND dlg) {
            EXPECT_EQ(ListLines(dlg, IDC_PRINTER_LIST).size(), c.listsFill ? 1u : 0u);
            EXPECT_EQ(st.ws->gdi.CursorName(st.ws->gdi.currentCursor), c.listsFill ? "IDC_ARROW" : "IDC_APPSTARTING");
            EXPECT_EQ(st.ws->services.CallCount("StartServiceA"), c.starts);
        })
        .PressEsc();
    st.Run("");
    EXPECT_TRUE(st.ws->user.Unused().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Removal, SpoolerCycles,
    ::testing::Values(
        SpoolerCase{"StopsAtOnce", [](winsim::Machine&) {}, true, true, 1},
        SpoolerCase{"StillStoppingAtTheFirstTick",
                    [](winsim::Machine& m) { m.services.Behaviour().stopLatencyMs = 1500; }, true, true, 1},
        SpoolerCase{"AlreadyStopped", [](winsim::Machine& m) { m.services.SetState("spooler", SERVICE_STOPPED); },
                    true, true, 1},
        SpoolerCase{"RefusesToStop", [](winsim::Machine& m) { m.services.Behaviour().ignoreStop = true; }, true, true, 0},
        SpoolerCase{"CannotBeOpened", [](winsim::Machine& m) { m.services.admin = false; }, false, true, 0},
        SpoolerCase{"RefusesToStart",
                    [](winsim::Machine& m) { m.services.Behaviour().refuseStart = ERROR_SERVICE_DISABLED; }, true,
                    false, 1}),
    [](const ::testing::TestParamInfo<SpoolerCase>& info) { return std::string(info.param.name); });

TEST(Removal, LeavingDuringTheOpeningCycleBringsTheSpoolerBackOrGivesUpAfterTwoMinutes) {
    const struct {
        uint64_t stopLatencyMs;
        DWORD spooler;  // once the program has ended
        uint64_t waitsAtLeastMs;
    } cases[] = {{500, SERVICE_RUNNING, 0}, {kForeverMs, SERVICE_STOP_PENDING, 120000}};
    for (const auto& c : cases) {
        RemovalStation st;
        SeedOffice(st);
        st.ws->services.Behaviour().stopLatencyMs = c.stopLatencyMs;
        st.ws->user.On(IDD_TRELLIN_DIALOG).Wait(700).PressEsc();
        const uint64_t started = st.ws->now;
        EXPECT_EQ(st.Run(""), 0);
        EXPECT_GE(st.ws->now - started, c.waitsAtLeastMs);
        EXPECT_LE(st.ws->now - started, kLongestRunMs);
        EXPECT_EQ(st.ws->services.State(), c.spooler);
        EXPECT_TRUE(st.ws->spooler.PrinterExists("Office"));
    }
}

struct CommandLineRun {
    const char* name;
    std::string arguments;
    std::function<void(RemovalStation&)> arrange;
    DWORD exitCode;
    Lines transcript;  // empty: not checked
    std::function<void(RemovalStation&)> check;
    DWORD spooler = SERVICE_RUNNING;  // the spooler's state once the run has ended
    uint64_t waitsAtLeastMs = 0;      // virtual time the run takes at least
};

// Names the case in test listings by its table name rather than its bytes.
void PrintTo(const CommandLineRun& c, std::ostream* os) {
    *os << c.name;
}


class CommandLineRuns : public ::testing::TestWithParam<CommandLineRun> {};

TEST_P(CommandLineRuns, ReportTheirOutcomeInTheExitCode) {
    const CommandLineRun& c = GetParam();
    RemovalStation st;
    SeedOffice(st);
    if (c.arrange)
        c.arrange(st);
    const uint64_t started = st.ws->now;
    EXPECT_EQ((DWORD)st.Run(c.arguments), c.exitCode);
    const uint64_t took = st.ws->now - started;
    EXPECT_GE(took, c.waitsAtLeastMs);
    EXPECT_LE(took, kLongestRunMs);
    if (!c.transcript.empty())
        EXPECT_EQ(st.Transcript(), c.transcript);
    // Unless the run says otherwise, the workstation can print again.
    EXPECT_EQ(st.ws->services.State(), c.spooler);
    for (const auto& d : st.ws->ui.Dialogs())
        EXPECT_FALSE(d.everVisible) << d.templateName;
    if (c.check)
        c.check(st);
}

// A connection \\srv\q to a printer the server shares, on a Brontal driver of its own.
void AddSharedConnection(RemovalStation& st) {
    st.AddBrontalDriver("Brontal Remote", "REMOTE.PPD");
    winsim::ConnectionSetup connection;
    connection.name = "\\\\srv\\q";
    connection.driver = "Brontal Remote";
    st.ws->spooler.OfferNetworkPrinter(connection);
    st.ws->spooler.AddConnection(connection);
}

// Nothing of Office went, nothing ran: no spooler call, no companion, no dialog.
void ExpectOfficeUntouched(RemovalStation& st) {
    EXPECT_TRUE(st.ws->spooler.PrinterExists("Office"));
    EXPECT_TRUE(st.ws->spooler.IsShared("Office"));
    EXPECT_TRUE(st.ws->spooler.DriverExists("Brontal Office"));
    EXPECT_TRUE(st.ws->files.Exists(st.versionDir + "\\OFFICE.PPD"));
    EXPECT_TRUE(st.ws->registry.KeyExists("HKCU\\Printers\\Settings\\Office"));
    EXPECT_EQ(st.ws->services.CallCount(), 0u);
    EXPECT_EQ(g_companion.calls, 0);
    EXPECT_TRUE(st.ws->ui.Dialogs().empty());
    EXPECT_TRUE(st.Transcript().empty());
}

const Lines kCommandLineRemoved = {"In OnDeleteCmdline Starting\n ", "remove is 1 Unsharing the driver \n",
                                   "In OnDelete Restarting spooler with event 2"};

INSTANTIATE_TEST_SUITE_P(
    Removal, CommandLineRuns,
    ::testing::Values(
        CommandLineRun{"Removed", "Office", SeedOfficeDataLocation, ERROR_SUCCESS, kCommandLineRemoved,
                       [](RemovalStation& st) {
                           EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
                           // The driver deleted the printer, and the spooler its key, before the
                           // registry cleanup: the vendor's data went all the same.
                           EXPECT_FALSE(st.ws->registry.KeyExists("HKLM\\" + kOfficeData));
                           EXPECT_FALSE(st.ws->registry.KeyExists("HKCU\\" + kOfficeData));
                           EXPECT_TRUE(st.ws->spooler.PrinterExists("Plain"));
                           EXPECT_EQ(g_companion.calls, 1);
                           EXPECT_TRUE(st.ws->security.shutdowns.empty());
                       }},
        // Neither the driver nor the registry cleanup could take the printer: the spooler still
        // lists it after its restart, and the caller hears so.
        CommandLineRun{"PrinterStillThereAfterTheRun", "Office",
                       [](RemovalStation& st) {
                           st.ws->faults.Fail("LoadLibraryA", ERROR_MOD_NOT_FOUND, -1, 0,
                                              [](const std::string& a) { return a.find("OFFICE.DLL") != std::string::npos; });
                           st.ws->faults.Fail("RegDeleteKeyA", ERROR_ACCESS_DENIED, -1, 0, [](const std::string& a) {
                               return a.find("Print\\Printers\\Office") != std::string::npos;
                           });
                       },
                       ERROR_PRINTER_ALREADY_EXISTS, kCommandLineRemoved,
                       [](RemovalStation& st) {
                           EXPECT_TRUE(st.ws->spooler.PrinterExists("Office"));
                           EXPECT_FALSE(st.ws->registry.KeyExists("HKCU\\Printers\\Settings\\Office"));
                       }},
        // The server still shares the printer, so its name still opens: what counts is that the
        // workstation no longer lists the connection.
        CommandLineRun{"ConnectionRemovedWhileTheServerStillSharesIt", "\\\\srv\\q", AddSharedConnection,
                       ERROR_SUCCESS, {},
                       [](RemovalStation& st) {
                           EXPECT_FALSE(st.ws->spooler.PrinterExists("\\\\srv\\q"));
                           EXPECT_FALSE(st.ws->registry.KeyExists("HKCU\\Printers\\Connections\\,,srv,q"));
                       }},
        CommandLineRun{"ConnectionTheWorkstationStillLists", "\\\\srv\\q",
                       [](RemovalStation& st) {
                           AddSharedConnection(st);
                           st.ws->faults.Fail("RegDeleteKeyA", ERROR_ACCESS_DENIED, -1, 0, [](const std::string& a) {
                               return a.find(",,srv,q") != std::string::npos;
                           });
                       },
                       ERROR_PRINTER_ALREADY_EXISTS, {},
                       [](RemovalStation& st) { EXPECT_TRUE(st.ws->spooler.PrinterExists("\\\\srv\\q")); }},
        CommandLineRun{"FileInUseNeedsTheRestart", "Office",
                       [](RemovalStation& st) { st.ws->files.HoldOpen(st.versionDir + "\\OFFICE.HLP", true); },
                       ERROR_SUCCESS_REBOOT_REQUIRED, kCommandLineRemoved,
                       [](RemovalStation& st) {
                           EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
                           st.ws->Restart();
                           EXPECT_FALSE(st.ws->files.Exists(st.versionDir + "\\OFFICE.HLP"));
                       }},
        CommandLineRun{"UnknownName", "Lobby", nullptr, ERROR_INVALID_PRINTER_NAME,
                       {"In OnDeleteCmdline Starting\n ", "remove is 0 returning \n"},
                       [](RemovalStation& st) {
                           EXPECT_TRUE(st.ws->spooler.PrinterExists("Office"));
                           EXPECT_EQ(st.ws->services.spoolerStops, 1);
                       }},
        CommandLineRun{"CompanionRefuses", "Office", [](RemovalStation&) { g_companion.result = 0; }, ERROR_BUSY,
                       {"In OnDeleteCmdline Starting\n ", "remove is 1 Unsharing the driver \n"},
                       [](RemovalStation& st) {
                           EXPECT_TRUE(st.ws->spooler.PrinterExists("Office"));
                           EXPECT_TRUE(st.ws->files.Exists(st.versionDir + "\\OFFICE.PPD"));
                           EXPECT_TRUE(st.ws->registry.KeyExists("HKCU\\Printers\\Settings\\Office"));
                           EXPECT_EQ(st.ws->services.spoolerStops, 1);
                       }},
        CommandLineRun{"SpoolerRefusesToComeBack", "Office",
                       [](RemovalStation& st) { st.ws->faults.Fail("StartServiceA", ERROR_SERVICE_DISABLED, -1, 1); },
                       ERROR_SERVICE_NOT_ACTIVE, kCommandLineRemoved,
                       [](RemovalStation& st) { EXPECT_FALSE(st.ws->spooler.PrinterExists("Office")); },
                       SERVICE_STOPPED},
        // The run waits for the spooler two minutes at most, then tells the caller it is not running.
        CommandLineRun{"SpoolerNeverFinishesStarting", "Office",
                       [](RemovalStation& st) {
                           g_companion.during = [&st] { st.ws->services.Behaviour().startLatencyMs = kForeverMs; };
                       },
                       ERROR_SERVICE_NOT_ACTIVE, kCommandLineRemoved,
                       [](RemovalStation& st) { EXPECT_FALSE(st.ws->spooler.PrinterExists("Office")); },
                       SERVICE_START_PENDING, 120000},
        CommandLineRun{"SpoolerNeverFinishesStopping", "Office",
                       [](RemovalStation& st) {
                           g_companion.during = [&st] { st.ws->services.Behaviour().stopLatencyMs = kForeverMs; };
                       },
                       ERROR_SERVICE_NOT_ACTIVE, kCommandLineRemoved,
                       [](RemovalStation& st) {
                           EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
                           EXPECT_EQ(st.ws->services.CallCount("StartServiceA"), 1);
                       },
                       SERVICE_STOP_PENDING, 120000},
        // The stop was sent, so the spooler is brought back even though its state could not be read then.
        CommandLineRun{"StateUnreadableRightAfterTheClosingStop", "Office",
                       [](RemovalStation& st) {
                           g_companion.during = [&st] { st.ws->faults.Fail("QueryServiceStatus", ERROR_ACCESS_DENIED, 1); };
                       },
                       ERROR_SUCCESS, kCommandLineRemoved,
                       [](RemovalStation& st) {
                           EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
                           EXPECT_EQ(st.ws->services.CallCount("StartServiceA"), 2);
                       }},
        CommandLineRun{"StateNeverReadableAfterTheClosingStop", "Office",
                       [](RemovalStation& st) {
                           g_companion.during = [&st] { st.ws->faults.Fail("QueryServiceStatus", ERROR_ACCESS_DENIED); };
                       },
                       ERROR_SERVICE_NOT_ACTIVE, kCommandLineRemoved,
                       [](RemovalStation& st) { EXPECT_FALSE(st.ws->spooler.PrinterExists("Office")); },
                       SERVICE_STOPPED, 120000},
        CommandLineRun{"SpoolerNeverStopsForTheList", "Office",
                       [](RemovalStation& st) { st.ws->services.Behaviour().stopLatencyMs = kForeverMs; },
                       ERROR_SERVICE_REQUEST_TIMEOUT, {"In OnDeleteCmdline Starting\n "},
                       [](RemovalStation& st) {
                           EXPECT_TRUE(st.ws->spooler.PrinterExists("Office"));
                           EXPECT_EQ(st.ws->services.CallCount("StartServiceA"), 0);
                       },
                       SERVICE_STOP_PENDING, 120000},
        CommandLineRun{"ListNeverArrives", "Office",
                       [](RemovalStation& st) { st.ws->services.Behaviour().startLatencyMs = 9000; },
                       ERROR_SERVICE_REQUEST_TIMEOUT, {"In OnDeleteCmdline Starting\n "},
                       [](RemovalStation& st) { EXPECT_TRUE(st.ws->spooler.PrinterExists("Office")); }},
        CommandLineRun{"AnotherMakersPrinterIsNotRemoved", "Plain", nullptr, ERROR_UNKNOWN_PRINTER_DRIVER,
                       {"In OnDeleteCmdline Starting\n ", "remove is 0 returning \n"},
                       [](RemovalStation& st) {
                           EXPECT_TRUE(st.ws->spooler.PrinterExists("Plain"));
                           EXPECT_TRUE(st.ws->spooler.DriverExists("Plain Driver"));
                           EXPECT_TRUE(st.ws->registry.KeyExists("HKCU\\Printers\\Settings\\Plain"));
                       }},
        CommandLineRun{"FirstFailureWins", "Office,Lobby,Plain", nullptr, ERROR_INVALID_PRINTER_NAME, {},
                       [](RemovalStation& st) {
                           EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
                           EXPECT_TRUE(st.ws->spooler.PrinterExists("Plain"));
                       }},
        CommandLineRun{"HiddenDialogCannotBeCreated", "Office",
                       [](RemovalStation& st) { st.ws->faults.Fail("DialogBoxIndirectParamA", ERROR_NOT_ENOUGH_MEMORY); },
                       ERROR_CAN_NOT_COMPLETE, {}, ExpectOfficeUntouched},
        CommandLineRun{"DialogTemplateNotFound", "Office",
                       [](RemovalStation& st) {
                           st.ws->faults.Fail("FindResourceA", ERROR_RESOURCE_NAME_NOT_FOUND, -1, 0,
                                              [](const std::string& arg) { return arg == "#5/#102"; });
                       },
                       ERROR_CAN_NOT_COMPLETE, {}, ExpectOfficeUntouched},
        CommandLineRun{"OnlyTheFirstDialogCannotBeCreated", "Office,Lobby",
                       [](RemovalStation& st) {
                           st.AddLobby();
                           st.ws->faults.Fail("DialogBoxIndirectParamA", ERROR_NOT_ENOUGH_MEMORY, 1);
                       },
                       ERROR_CAN_NOT_COMPLETE, {"In OnDeleteCmdline Starting\n ", "remove is 1 Unsharing the driver \n",
                                                "In OnDelete Restarting spooler with event 2"},
                       [](RemovalStation& st) {
                           EXPECT_TRUE(st.ws->spooler.PrinterExists("Office"));
                           EXPECT_FALSE(st.ws->spooler.PrinterExists("Lobby"));
                       }},
        CommandLineRun{"RestartNeededWinsOverSuccess", "Lobby,Office",
                       [](RemovalStation& st) {
                           st.AddLobby();
                           st.ws->files.HoldOpen(st.versionDir + "\\OFFICE.HLP", true);
                       },
                       ERROR_SUCCESS_REBOOT_REQUIRED, {}, [](RemovalStation& st) {
                           EXPECT_FALSE(st.ws->spooler.PrinterExists("Lobby"));
                           EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
                       }}),
    [](const ::testing::TestParamInfo<CommandLineRun>& info) { return std::string(info.param.name); });

// Only a data file that was read and shows no Brontal sign keeps a named printer: a Brontal printer whose
// driver is gone or damaged shows no sign either, and only the command line can take it off.
TEST(Removal, TheCommandLineLeavesAPrinterAloneOnlyWhenItsDataFileShowsAnotherMaker) {
    const struct {
        const char* what;
        const char* printer;
        std::function<void(RemovalStation&)> damage;
        DWORD exitCode;
        const char* evidence;  // in the log's printer event
    } cases[] = {
        {"another maker's data file", "Plain", nullptr, ERROR_UNKNOWN_PRINTER_DRIVER, "no_brontal_sign"},
        {"a .UIM beside the data file", "Office", nullptr, ERROR_SUCCESS, "uim"},
        {"the marker in the data file", "Marked",
         [](RemovalStation& st) {
             st.ws.AddMarkerDriver("Brontal Marked", "MARKED.PPD");
             st.ws.AddPrinter("Marked", "Brontal Marked");
         },
         ERROR_SUCCESS, "marker"},
        {"data file and .UIM missing", "Office",
         [](RemovalStation& st) {
             st.ws->files.DeleteFile(st.versionDir + "\\OFFICE.PPD");
             st.ws->files.DeleteFile(st.versionDir + "\\OFFICE.UIM");
         },
         ERROR_SUCCESS, "data_file_unreadable"},
        {"an empty data file without its .UIM", "Office",
         [](RemovalStation& st) {
             st.ws->files.WriteFile(st.versionDir + "\\OFFICE.PPD", "");
             st.ws->files.DeleteFile(st.versionDir + "\\OFFICE.UIM");
         },
         ERROR_SUCCESS, "data_file_unreadable"},
        // The spooler reads its drivers back when it starts again, before the printers are listed.
        {"the driver no longer installed", "Office",
         [](RemovalStation& st) {
             st.ws->registry.DeleteTree(st.ws->spooler.DriverKeyPath(*st.ws->spooler.FindDriver("Brontal Office")));
         },
         ERROR_SUCCESS, "no_driver"},
        // A run that could not take the printer (1802) took its driver: the retry takes the printer.
        {"a retry after the printer stayed", "Office",
         [](RemovalStation& st) {
             st.ws->faults.Fail("LoadLibraryA", ERROR_MOD_NOT_FOUND, -1, 0,
                                [](const std::string& a) { return a.find("OFFICE.DLL") != std::string::npos; });
             st.ws->faults.Fail("RegDeleteKeyA", ERROR_ACCESS_DENIED, -1, 0,
                                [](const std::string& a) { return a.find("Print\\Printers\\Office") != std::string::npos; });
             EXPECT_EQ((DWORD)st.Run("Office"), (DWORD)ERROR_PRINTER_ALREADY_EXISTS);
             st.ws->faults.Clear();
         },
         ERROR_SUCCESS, "no_driver"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemovalStation st;
        SeedOffice(st);
        if (c.damage)
            c.damage(st);
        EXPECT_EQ((DWORD)st.Run(std::string("/log:C:\\run.log ") + c.printer), c.exitCode);
        EXPECT_EQ(st.ws->spooler.PrinterExists(c.printer), c.exitCode != ERROR_SUCCESS);
        EXPECT_EQ(st.ws->services.State(), (DWORD)SERVICE_RUNNING);
        bool ok = false;
        std::string evidence;
        for (const auto& line : ParseJsonLines(st.ws->files.ReadFile("C:\\run.log").value_or(""), &ok)) {
            if (line.count("event") && line.at("event") == "printer")
                evidence = line.count("evidence") ? line.at("evidence") : "(none)";
        }
        EXPECT_TRUE(ok);
        EXPECT_EQ(evidence, c.evidence);
    }
}

TEST(Removal, MoreThanFiveNamesRemoveTheFirstFiveAndFail) {
    RemovalStation st;
    std::vector<std::string> names = {"P1", "P2", "P3", "P4", "P5", "P6"};
    for (const std::string& name : names) {
        st.AddBrontalDriver("Driver " + name, name + ".PPD", false);
        st.AddPrinter(name, "Driver " + name);
    }
    EXPECT_EQ((DWORD)st.Run("P1,P2,P3,P4,P5,P6"), (DWORD)ERROR_BAD_ARGUMENTS);
    for (const std::string& name : names)
        EXPECT_EQ(st.ws->spooler.PrinterExists(name), name == "P6") << name;
}

std::string g_uimTakenWithThePrinter;

// A driver library whose own deletion also takes the driver's .UIM file.
BOOL WINAPI DeletePrinterAndItsUim(HANDLE printer) {
    DeleteFileA(g_uimTakenWithThePrinter.c_str());
    return DeletePrinter(printer);
}

TEST(Removal, OnlyBrontalPrinterDecidesWhetherTheWatermarksGo) {
    const struct {
        const char* what;
        bool lobby;           // a second Brontal printer
        bool driverTakesUim;  // Office's driver library deletes OFFICE.UIM with the printer
        bool twin;            // a second printer on Office's own driver (and data file)
        bool watermarksStay;
    } cases[] = {
        {"the only Brontal printer", false, false, false, false},
        {"one of two", true, false, false, true},
        // Asked after the driver's own deletion, Office no longer passes the driver test.
        {"one of two until its driver's deletion takes its .UIM", true, true, false, false},
        // Two printers on one data file are two Brontal printers, although its disk is read once.
        {"one of two printers on one driver", false, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemovalStation st;
        SeedOffice(st);
        if (c.lobby)
            st.AddLobby();
        if (c.twin)
            st.AddPrinter("Office Twin", "Brontal Office");
        if (c.driverTakesUim) {
            g_uimTakenWithThePrinter = st.versionDir + "\\OFFICE.UIM";
            winsim::ModuleImage library;
            library.exports["DeletePrinter"] = reinterpret_cast<FARPROC>(&DeletePrinterAndItsUim);
            st.ws->modules.Register(st.versionDir + "\\OFFICE.DLL", library);
        }
        st.ws->registry.CreateKey("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Watermark\\Draft");
        EXPECT_EQ(st.Run("Office"), 0);
        EXPECT_EQ(st.ws->registry.KeyExists("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Watermark"),
                  c.watermarksStay);
    }
}

TEST(Removal, WithoutASpoolerCycleTheRemovalFinishesAtOnce) {
    // The service cannot be opened for stopping: no cycle before the listing, none after the removal.
    RemovalStation st;
    SeedOffice(st);
    st.ws->services.admin = false;
    st.ws->user.On(IDD_TRELLIN_DIALOG).SelectLine(IDC_PRINTER_LIST, "Office").Press(IDC_DELETE);
    st.ws->user.On(IDD_WARNING).Press(IDOK);
    st.ws->user.On(IDD_REBOOT)
        .Inspect([&](HWND) {
            const winsim::DialogRecord* notice = st.ws->ui.LastDialog(IDD_RESET_SPOOLER);
            ASSERT_NE(notice, nullptr);
            EXPECT_TRUE(notice->destroyed);
            EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
        })
        .Press(IDCANCEL);
    st.ws->user.On(IDD_TRELLIN_DIALOG).Press(IDC_EXIT);
    st.Run("");
    EXPECT_TRUE(st.ws->user.Unused().empty());
    EXPECT_EQ(st.Transcript(), kRemovedOwnDriverInteractive);
    EXPECT_EQ(st.ws->services.spoolerStops, 0);
    EXPECT_EQ(st.ws->services.State(), (DWORD)SERVICE_RUNNING);
}
