// The command line's options: the parser as one table of whole runs, the run log read back against the
// machine's snapshot, the dry run against the real run, and the backup put back.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "app/TrellinApp.h"
#include "jsonl.h"
#include "lang/langres.h"
#include "removal_fixture.h"
#include "removal_station.h"
#include "run_log_reading.h"
#include "restore_fixture.h"
#include "ui/resource.h"

namespace {





std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return (char)toupper(c); });
    return s;
}

// "HKEY_USERS\<sid>" that HKEY_CURRENT_USER stands for on this machine, found by a key written through it.
std::string CurrentUserRoot(RemovalStation& st) {
    st.ws->registry.CreateKey("HKCU\\TrellinProbe");
    std::string root;
    for (const auto& entry : SnapshotMachine()) {
        const std::string suffix = "\\TRELLINPROBE";
        if (entry.first.size() > suffix.size() && entry.first.compare(entry.first.size() - suffix.size(), suffix.size(), suffix) == 0)
            root = entry.first.substr(2, entry.first.size() - 2 - suffix.size());
    }
    st.ws->registry.DeleteTree("HKCU\\TrellinProbe");
    return root;
}

std::string KeyName(const Fields& f, const std::string& hkcu) {
    std::string root = f.at("root");
    if (root == "HKEY_CURRENT_USER")
        root = hkcu;
    std::string path = f.at("path");
    // "A\B\" names the key A\B.
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    return Upper(root + "\\" + path);
}

// Whether the logged change `f` accounts for the snapshot difference `d` ("-K|...", "~V|..." and so on).
bool Explains(const Fields& f, const std::string& d, const std::string& hkcu) {
    const std::string kind = f.at("kind");
    const std::string entry = d.substr(1);
    if (kind == "delete_key")  // the key goes with its values
        return d == "-K|" + KeyName(f, hkcu) || d.rfind("-V|" + KeyName(f, hkcu) + "|", 0) == 0;
    if (kind == "delete_value")
        return d == "-V|" + KeyName(f, hkcu) + "|" + Upper(f.at("value"));
    if (kind == "delete_file")
        return d == "-F|" + Upper(f.at("file"));
    if (kind == "copy_file")
        return d == "~F|" + Upper(f.at("file"));
    if (kind == "delete_at_restart")
        return entry == "V|HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER|PENDINGFILERENAMEOPERATIONS";
    if (kind == "unshare_printer" || kind == "delete_printer" || kind == "driver_delete_printer") {
        // The spooler keeps the printer in its key and in the user's device lists.
        const std::string key = "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\PRINT\\PRINTERS\\" + Upper(f.at("printer"));
        const std::string at = entry.substr(2);
        if (at == key || at.rfind(key + "\\", 0) == 0 || at.rfind(key + "|", 0) == 0)
            return true;
        if (kind == "unshare_printer")
            return false;
        for (const char* list : {"DEVICES", "PRINTERPORTS"}) {
            if (entry == "V|" + Upper(hkcu) + "\\SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\" + list + "|" + Upper(f.at("printer")))
                return true;
        }
    }
    return false;
}

// Changes whose effect the registry and file snapshot cannot see.
bool Invisible(const std::string& kind) {
    return kind == "stop_service" || kind == "start_service" || kind == "set_file_times";
}



}  // namespace

struct OptionCase {
    const char* what;
    std::string arguments;
    DWORD exitCode;
    std::set<std::string> removed;  // of Office, Plain, Lobby and "/whatif"
    std::function<void(RemovalStation&)> check;
};

TEST(Options, CommandLinesAsOneTable) {
    const std::set<std::string> none;
    const OptionCase cases[] = {
        {"names alone, as before", "Office", 0, {"Office"}, nullptr},
        {"/whatif changes nothing", "/whatif Office", 0, none,
         [](RemovalStation& st) {
             EXPECT_EQ(st.ws->services.spoolerStops, 0);
             EXPECT_EQ(g_companion.calls, 0);
             EXPECT_TRUE(st.ws->spooler.IsShared("Office"));
         }},
        {"options in any letter case", "/WhatIf Office", 0, none, nullptr},
        {"tabs separate options too", "\t/whatif\tOffice", 0, none, nullptr},
        {"/log", "/log:C:\\run.log Office", 0, {"Office"},
         [](RemovalStation& st) { EXPECT_TRUE(st.ws->files.Exists("C:\\run.log")); }},
        {"quoted log path with blanks", "/log:\"C:\\my logs\\run 1.log\" Office,Lobby", 0, {"Office", "Lobby"},
         [](RemovalStation& st) { EXPECT_TRUE(st.ws->files.Exists("C:\\my logs\\run 1.log")); }},
        {"quoted backup folder with blanks", "/backup:\"C:\\my backups\\run 1\" Office", 0, {"Office"},
         [](RemovalStation& st) {
             EXPECT_TRUE(st.ws->files.Exists("C:\\my backups\\run 1\\restore.lst"));
             EXPECT_TRUE(st.ws->files.Exists("C:\\my backups\\run 1\\registry\\0001.reg"));
             EXPECT_TRUE(st.ws->files.Exists("C:\\my backups\\run 1\\restore.cmd"));
         }},
        {"every option at once; a dry run writes no backup", "/log:C:\\a.log /backup:C:\\b /whatif Office", 0, none,
         [](RemovalStation& st) {
             EXPECT_TRUE(st.ws->files.Exists("C:\\a.log"));
             EXPECT_FALSE(st.ws->files.Exists("C:\\b"));
         }},
        {"an option after the names is part of a name", "Office /whatif", ERROR_INVALID_PRINTER_NAME, none, nullptr},
        {"a printer named like an option after the first name", "Office,/whatif", 0, {"Office", "/whatif"}, nullptr},
        {"/whatif twice", "/whatif /whatif Office", ERROR_INVALID_PARAMETER, none, nullptr},
        {"a name in double quotes, as cmd and PowerShell pass it", "\"Office\" , \"Lobby\"", 0, {"Office", "Lobby"},
         nullptr},
        {"a quote inside a name is part of it", "Off\"ice\"", ERROR_INVALID_PRINTER_NAME, none, nullptr},
        {"a log path with an environment variable", "/log:C:\\%COMPUTERNAME%.log Office", 0, {"Office"},
         [](RemovalStation& st) {
             EXPECT_TRUE(st.ws->files.Exists("C:\\" + st.ws->system.computerName + ".log"));
         }},
        {"a backup folder with an environment variable", "/backup:%SystemDrive%\\Backups\\%COMPUTERNAME% Office", 0,
         {"Office"},
         [](RemovalStation& st) {
             EXPECT_TRUE(st.ws->files.Exists("C:\\Backups\\" + st.ws->system.computerName + "\\restore.cmd"));
         }},
        {"a variable that is not set stays as written", "/log:C:\\%NO_SUCH_VARIABLE%.log Office", 0, {"Office"},
         [](RemovalStation& st) { EXPECT_TRUE(st.ws->files.Exists("C:\\%NO_SUCH_VARIABLE%.log")); }},
        {"/all removes every Brontal printer", "/all", 0, {"Office", "Lobby", "/whatif"}, nullptr},
        {"/all in a dry run", "/whatif /all", 0, none, nullptr},
        {"/all twice", "/all /all", ERROR_INVALID_PARAMETER, none, nullptr},
        {"/all with names", "/all Office", ERROR_INVALID_PARAMETER, none, nullptr},
        {"/list with names", "/list Office", ERROR_INVALID_PARAMETER, none, nullptr},
        {"/list with /all", "/list /all", ERROR_INVALID_PARAMETER, none, nullptr},
        {"/list with /whatif", "/whatif /list", ERROR_INVALID_PARAMETER, none, nullptr},
        {"/list with /backup", "/list /backup:C:\\b", ERROR_INVALID_PARAMETER, none,
         [](RemovalStation& st) { EXPECT_FALSE(st.ws->files.Exists("C:\\b")); }},
        {"/log twice: the first log records the error", "/log:C:\\a.log /log:C:\\b.log Office", ERROR_INVALID_PARAMETER,
         none,
         [](RemovalStation& st) {
             auto log = ReadLog(st, "C:\\a.log");
             ASSERT_EQ(Events(log, "usage_error").size(), 1u);
             EXPECT_EQ(Events(log, "usage_error")[0].at("reason"), "option given twice: /log");
             ASSERT_EQ(Events(log, "outcome").size(), 1u);
             EXPECT_EQ(Events(log, "outcome")[0].at("exit_code"), "87");
             EXPECT_FALSE(st.ws->files.Exists("C:\\b.log"));
         }},
        {"/backup twice", "/backup:C:\\b /backup:C:\\c Office", ERROR_INVALID_PARAMETER, none,
         [](RemovalStation& st) { EXPECT_FALSE(st.ws->files.Exists("C:\\b")); }},
        {"/? twice", "/? /?", ERROR_INVALID_PARAMETER, none, nullptr},
        {"an unknown option", "/force Office", ERROR_INVALID_PARAMETER, none, nullptr},
        {"a lone slash", "/ Office", ERROR_INVALID_PARAMETER, none, nullptr},
        {"an unknown option after a log records the error", "/log:C:\\u.log /bogus Office", ERROR_INVALID_PARAMETER,
         none,
         [](RemovalStation& st) {
             auto log = ReadLog(st, "C:\\u.log");
             ASSERT_EQ(Events(log, "usage_error").size(), 1u);
             EXPECT_EQ(Events(log, "usage_error")[0].at("reason"), "unknown option: /bogus");
         }},
        {"an unknown option before the log: the log records it too", "/bogus /whatif /log:C:\\u.log Office",
         ERROR_INVALID_PARAMETER, none,
         [](RemovalStation& st) {
             auto log = ReadLog(st, "C:\\u.log");
             ASSERT_EQ(Events(log, "usage_error").size(), 1u);
             EXPECT_EQ(Events(log, "usage_error")[0].at("reason"), "unknown option: /bogus");
         }},
        {"/whatif without names", "/whatif", ERROR_INVALID_PARAMETER, none, nullptr},
        {"/whatif with blanks only", "/whatif  \t ", ERROR_INVALID_PARAMETER, none, nullptr},
        {"/log without a path", "/log: Office", ERROR_INVALID_PARAMETER, none, nullptr},
        {"an unclosed quote", "/log:\"C:\\my logs\\x.log Office", ERROR_INVALID_PARAMETER, none, nullptr},
        {"text after the closing quote", "/log:\"C:\\x\"y Office", ERROR_INVALID_PARAMETER, none, nullptr},
        {"a log in a missing folder", "/log:C:\\NoSuchFolder\\x.log Office", ERROR_OPEN_FAILED, none, nullptr},
        {"a read-only log", "/log:C:\\ro.log Office", ERROR_OPEN_FAILED, none, nullptr},
        {"a backup below a file", "/backup:C:\\plain.txt\\b Office", ERROR_CANNOT_MAKE, none, nullptr},
        {"a folder that already holds a backup", "/backup:C:\\old Office", ERROR_CANNOT_MAKE, none,
         [](RemovalStation& st) { EXPECT_EQ(st.ws->files.ReadFile("C:\\old\\restore.cmd"), "earlier backup"); }},
        {"a folder where a backup was begun", "/backup:C:\\begun Office", ERROR_CANNOT_MAKE, none,
         [](RemovalStation& st) { EXPECT_EQ(st.ws->files.ReadFile("C:\\begun\\restore.lst"), "reg|x|.\r\n"); }},
    };
    for (const OptionCase& c : cases) {
        SCOPED_TRACE(c.what);
        RemovalStation st;
        SeedOffice(st);
        st.AddLobby();
        st.AddBrontalDriver("Brontal Slash", "SLASH.PPD", false);
        st.AddPrinter("/whatif", "Brontal Slash");
        st.ws->files.CreateDirectory("C:\\my logs");
        st.ws->files.WriteFile("C:\\plain.txt", "text");
        st.ws->files.WriteFile("C:\\ro.log", "");
        st.ws->files.SetAttributes("C:\\ro.log", FILE_ATTRIBUTE_READONLY);
        st.ws->files.WriteFile("C:\\old\\restore.cmd", "earlier backup");
        st.ws->files.WriteFile("C:\\begun\\restore.lst", "reg|x|.\r\n");
        EXPECT_EQ((DWORD)st.Run(c.arguments), c.exitCode);
        for (const char* printer : {"Office", "Plain", "Lobby", "/whatif"})
            EXPECT_EQ(st.ws->spooler.PrinterExists(printer), !c.removed.count(printer)) << printer;
        // A silent run stays silent, whatever went wrong.
        for (const auto& d : st.ws->ui.Dialogs())
            EXPECT_FALSE(d.everVisible) << d.templateName;
        EXPECT_TRUE(st.ws->ui.MessageBoxes().empty());
        EXPECT_EQ(st.ws->services.State(), (DWORD)SERVICE_RUNNING);
        if (c.exitCode == ERROR_INVALID_PARAMETER || c.exitCode == ERROR_OPEN_FAILED || c.exitCode == ERROR_CANNOT_MAKE)
            EXPECT_EQ(st.ws->services.spoolerStops, 0);
        if (c.check)
            c.check(st);
    }
}

// A printer whose name really holds the marks is matched first; only a name that matches nothing loses them.
TEST(Options, AQuotedNameMatchesAPrinterNamedWithTheMarksFirst) {
    RemovalStation st;
    st.AddBrontalDriver("Brontal Quoted", "QUOTED.PPD", false);
    st.AddPrinter("\"Front\"", "Brontal Quoted");
    st.AddPrinter("Front", "Brontal Quoted");
    EXPECT_EQ(st.Run("\"Front\""), 0);
    EXPECT_FALSE(st.ws->spooler.PrinterExists("\"Front\""));
    EXPECT_TRUE(st.ws->spooler.PrinterExists("Front"));
    EXPECT_EQ(st.Run("/log:C:\\run.log \"Front\""), 0);
    EXPECT_FALSE(st.ws->spooler.PrinterExists("Front"));
    const auto log = ReadLog(st, "C:\\run.log");
    ASSERT_EQ(Events(log, "printer_outcome").size(), 1u);
    EXPECT_EQ(Events(log, "printer_outcome")[0].at("name"), "\"Front\"");
    EXPECT_EQ(Events(log, "printer_outcome")[0].at("exit_code"), "0");
}

TEST(Options, TheLogOfARealRunNamesExactlyTheChangesTheMachineShows) {
    for (bool fileInUse : {false, true}) {
        SCOPED_TRACE(fileInUse ? "a driver file in use" : "every file free");
        RemovalStation st;
        SeedOffice(st);
        if (fileInUse)
            st.ws->files.HoldOpen(st.versionDir + "\\OFFICE.HLP", true);
        const std::string hkcu = CurrentUserRoot(st);
        const auto before = SnapshotMachine();
        EXPECT_EQ((DWORD)st.Run("/log:C:\\run.log Office"),
                  fileInUse ? (DWORD)ERROR_SUCCESS_REBOOT_REQUIRED : (DWORD)ERROR_SUCCESS);
        const auto diff = Without(SnapshotDiff(before, SnapshotMachine()), {"C:\\run.log"});
        const auto log = ReadLog(st, "C:\\run.log");
        auto changes = Events(log, "change");
        ASSERT_FALSE(changes.empty());
        // No less: every difference has its logged change.
        for (const std::string& d : diff) {
            bool explained = false;
            for (const Fields& f : changes)
                explained = explained || (f.at("outcome") == "done" && Explains(f, d, hkcu));
            EXPECT_TRUE(explained) << d;
        }
        // No more: every change logged as made shows on the machine; one not made does not.
        for (const Fields& f : changes) {
            if (Invisible(f.at("kind")))
                continue;
            bool seen = false;
            for (const std::string& d : diff)
                seen = seen || Explains(f, d, hkcu);
            if (f.at("outcome") == "done")
                EXPECT_TRUE(seen) << ChangeLines({f})[0];
        }
        EXPECT_EQ(Events(log, "change").size() > 20, true);

        // The run's other events.
        auto run = Events(log, "run");
        ASSERT_EQ(run.size(), 1u);
        EXPECT_EQ(run[0].at("version"), "1.1.19");
        EXPECT_EQ(run[0].at("os"), "nt5");
        EXPECT_EQ(run[0].at("mode"), "remove");
        EXPECT_EQ(ParseJsonStrings(run[0].at("names")), std::vector<std::string>{"Office"});
        EXPECT_EQ(ParseJsonStrings(run[0].at("options")), std::vector<std::string>{"/log:C:\\run.log"});
        EXPECT_EQ(run[0].at("time").size(), 20u);
        auto printer = Events(log, "printer");
        ASSERT_EQ(printer.size(), 1u);
        EXPECT_EQ(printer[0].at("found"), "true");
        EXPECT_EQ(printer[0].at("brontal"), "true");
        auto decisions = Events(log, "decisions");
        ASSERT_EQ(decisions.size(), 1u);
        EXPECT_EQ(decisions[0].at("driver_shared"), "false");
        EXPECT_EQ(decisions[0].at("only_brontal_printer"), "true");
        // The other maker's driver still lists the shared libraries: kept, and who keeps them.
        const std::string files = decisions[0].at("files");
        EXPECT_NE(files.find("PSCRIPT5.DLL\",\"delete\":false,\"listed_by\":\"Plain\""), std::string::npos) << files;
        EXPECT_NE(files.find("OFFICE.PPD\",\"delete\":true"), std::string::npos) << files;
        // Each file's decision is what happens to it: the ones to delete are deleted (or left for the
        // restart), the others stay; the companion hand-off replaces the driver's copy and keeps it.
        bool companionKept = false;
        for (const Fields& file : ParseJsonObjects(files)) {
            const std::string path = file.at("file");
            bool deleted = false;
            for (const Fields& f : changes)
                deleted = deleted || ((f.at("kind") == "delete_file" || f.at("kind") == "delete_at_restart") &&
                                      Upper(f.at("file")) == Upper(path));
            EXPECT_EQ(deleted, file.at("delete") == "true") << path;
            if (file.count("replaced_by")) {
                companionKept = true;
                EXPECT_EQ(Upper(path), Upper(st.versionDir + "\\TAVQ.DLL"));
                EXPECT_EQ(file.at("replaced_by"), kShippedCompanion);
                EXPECT_EQ(st.ws->files.ReadFile(path), st.ws->files.ReadFile(kShippedCompanion));
            }
        }
        EXPECT_TRUE(companionKept) << files;
        auto companion = Events(log, "companion");
        ASSERT_EQ(companion.size(), 1u);
        EXPECT_EQ(companion[0].at("result"), "1");
        auto spooler = Events(log, "spooler");
        ASSERT_EQ(spooler.size(), 2u);
        EXPECT_EQ(spooler[0].at("phase"), "before_enumeration");
        EXPECT_EQ(spooler[1].at("phase"), "after_removal");
        for (const Fields& s : spooler) {
            EXPECT_EQ(s.at("outcome"), "running");
            auto states = ParseJsonStrings(s.at("states"));
            ASSERT_FALSE(states.empty());
            EXPECT_EQ(states.back(), "running");
            EXPECT_NE(std::find(states.begin(), states.end(), "stopped"), states.end());
        }
        auto outcome = Events(log, "outcome");
        ASSERT_EQ(outcome.size(), 1u);
        EXPECT_EQ(outcome[0].at("exit_code"), fileInUse ? "3010" : "0");
        EXPECT_EQ(log.back().at("event"), "outcome");
        if (fileInUse) {
            bool deferred = false;
            for (const Fields& f : changes)
                deferred = deferred || (f.at("kind") == "delete_at_restart" && f.at("at_restart") == "true" &&
                                        Upper(f.at("file")) == Upper(st.versionDir + "\\OFFICE.HLP"));
            EXPECT_TRUE(deferred);
        }
    }
}

TEST(Options, TheLogIsAppendedAndReadWhileItIsWritten) {
    RemovalStation st;
    SeedOffice(st);
    st.ws->files.WriteFile("C:\\run.log", "{\"event\":\"earlier\"}\n");
    // A log collector follows the file while the run writes it.
    HANDLE reader = CreateFileA("C:\\run.log", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(st.Run("/log:C:\\run.log Office"), 0);
    EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
    std::string seen(200000, '\0');
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(reader, &seen[0], (DWORD)seen.size(), &got, NULL));
    seen.resize(got);
    CloseHandle(reader);
    EXPECT_EQ(st.ws->files.ReadFile("C:\\run.log"), seen);
    EXPECT_EQ(seen.rfind("{\"event\":\"earlier\"}\n{\"event\":\"run\",", 0), 0u);
    // A second run appends after the first.
    st.AddLobby();
    EXPECT_EQ(st.Run("/log:C:\\run.log Lobby"), 0);
    auto log = ReadLog(st, "C:\\run.log");
    EXPECT_EQ(Events(log, "earlier").size(), 1u);
    EXPECT_EQ(Events(log, "run").size(), 2u);
    EXPECT_EQ(Events(log, "outcome").size(), 2u);
}

TEST(Options, ALogAnotherProgramHoldsWithoutSharingStopsTheRunBeforeAnything) {
    RemovalStation st;
    SeedOffice(st);
    st.ws->files.WriteFile("C:\\run.log", "kept\n");
    HANDLE holder = CreateFileA("C:\\run.log", GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const auto before = SnapshotMachine();
    EXPECT_EQ((DWORD)st.Run("/log:C:\\run.log Office"), (DWORD)ERROR_OPEN_FAILED);
    CloseHandle(holder);
    EXPECT_EQ(SnapshotDiff(before, SnapshotMachine()), std::vector<std::string>{});
    EXPECT_EQ(st.ws->services.spoolerStops, 0);
    EXPECT_EQ(st.ws->files.ReadFile("C:\\run.log"), std::optional<std::string>("kept\n"));
}

TEST(Options, TheLogCarriesAnsiNamesAsUtf8AndEscapesWhatJsonMust) {
    RemovalStation st;
    st.ws->system.SetLocale(0x0411);
    // "表示プリンタ" in code page 932: the second byte of "表" is 0x5C, a backslash in ASCII.
    const std::string japanese = "\x95\x5C\x8E\xA6\x83\x76\x83\x8A\x83\x93\x83\x5E";
    const std::string utf8 = "\xE8\xA1\xA8\xE7\xA4\xBA\xE3\x83\x97\xE3\x83\xAA\xE3\x83\xB3\xE3\x82\xBF";
    const std::string awkward = "Tab\there \"quoted\"";
    st.AddBrontalDriver("Brontal J", "J.PPD", false);
    st.AddPrinter(japanese, "Brontal J");
    st.AddBrontalDriver("Brontal A", "A.PPD", false);
    st.AddPrinter(awkward, "Brontal A");
    EXPECT_EQ(st.Run("/log:C:\\run.log " + japanese + "," + awkward), 0);
    auto log = ReadLog(st, "C:\\run.log");
    auto run = Events(log, "run");
    ASSERT_EQ(run.size(), 1u);
    EXPECT_EQ(ParseJsonStrings(run[0].at("names")), (std::vector<std::string>{utf8, awkward}));
    auto printers = Events(log, "printer");
    ASSERT_EQ(printers.size(), 2u);
    EXPECT_EQ(printers[0].at("name"), utf8);
    EXPECT_EQ(printers[1].at("name"), awkward);
    // Its deletion names it in UTF-8 too: the trail byte 0x5C split nothing.
    bool keySeen = false;
    for (const Fields& f : Events(log, "change"))
        keySeen = keySeen || (f.count("printer") && f.at("printer") == utf8);
    EXPECT_TRUE(keySeen);
    // The raw text holds no control character and escapes the tab, the quotes and the paths' backslashes.
    const std::string text = *st.ws->files.ReadFile("C:\\run.log");
    EXPECT_NE(text.find("\"Tab\\there \\\"quoted\\\"\""), std::string::npos);
    EXPECT_NE(text.find("\"/log:C:\\\\run.log\""), std::string::npos);
    EXPECT_EQ(text.find('\t'), std::string::npos);
}

struct DryRunCase {
    const char* name;
    winsim::Os os;
    std::string names;
    std::function<void(RemovalStation&)> arrange;
};

// Names the case in test listings by its table name rather than its bytes.
void PrintTo(const DryRunCase& c, std::ostream* os) {
    *os << c.name;
}

class DryRuns : public ::testing::TestWithParam<DryRunCase> {};

TEST_P(DryRuns, ChangeNothingAndNameWhatTheRealRunThenChanges) {
    const DryRunCase& c = GetParam();
    RemovalStation st(c.os);
    SeedOffice(st);
    if (c.arrange)
        c.arrange(st);
    const auto before = SnapshotMachine();
    const DWORD spoolerBefore = st.ws->services.State();
    const DWORD dryExit = (DWORD)st.Run("/whatif /log:C:\\whatif.log " + c.names);
    EXPECT_EQ(Without(SnapshotDiff(before, SnapshotMachine()), {"C:\\whatif.log"}), std::vector<std::string>{});
    EXPECT_EQ(st.ws->services.spoolerStops, 0);
    EXPECT_EQ(st.ws->services.CallCount("StartServiceA"), 0);
    EXPECT_EQ(st.ws->services.State(), spoolerBefore);
    EXPECT_EQ(g_companion.calls, 0);
    EXPECT_TRUE(st.ws->spooler.PrinterExists("Office"));
    EXPECT_TRUE(st.ws->spooler.IsShared("Office"));

    const DWORD realExit = (DWORD)st.Run("/log:C:\\real.log " + c.names);
    const auto dry = ReadLog(st, "C:\\whatif.log");
    const auto real = ReadLog(st, "C:\\real.log");
    EXPECT_EQ(Events(dry, "run")[0].at("mode"), "whatif");
    for (const Fields& f : Events(dry, "change"))
        EXPECT_TRUE(f.at("outcome") == "would" || f.at("outcome") == "failed") << ChangeLines({f})[0];
    EXPECT_FALSE(Events(dry, "change").empty());
    EXPECT_EQ(ChangeLines(dry), ChangeLines(real));
    EXPECT_EQ(dryExit, realExit);
}

INSTANTIATE_TEST_SUITE_P(
    Options, DryRuns,
    ::testing::Values(
        DryRunCase{"OwnDriver", winsim::Os::WinXP, "Office", nullptr},
        DryRunCase{"FileInUse", winsim::Os::WinXP, "Office",
                   [](RemovalStation& st) { st.ws->files.HoldOpen(st.versionDir + "\\OFFICE.HLP", true); }},
        DryRunCase{"ReadOnlyFileAndMissingFile", winsim::Os::WinXP, "Office",
                   [](RemovalStation& st) {
                       st.ws->files.SetAttributes(st.versionDir + "\\OFFICE.HLP", FILE_ATTRIBUTE_READONLY);
                       st.ws->files.DeleteFile(st.versionDir + "\\OFFICE.UIM");
                   }},
        DryRunCase{"SharedDriver", winsim::Os::WinXP, "Office",
                   [](RemovalStation& st) { st.AddPrinter("Office 2", "Brontal Office"); }},
        DryRunCase{"SecondBrontalPrinter", winsim::Os::WinXP, "Office",
                   [](RemovalStation& st) {
                       st.AddLobby();
                       st.ws->registry.CreateKey("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Watermark\\Draft");
                   }},
        DryRunCase{"UnknownAndOtherMakersNames", winsim::Os::WinXP, "Lobby,Plain", nullptr},
        DryRunCase{"TwoNames", winsim::Os::WinXP, "Lobby,Office",
                   [](RemovalStation& st) {
                       st.AddLobby();
                   }},
        DryRunCase{"Windows98", winsim::Os::Win98, "Office", nullptr},
        DryRunCase{"WindowsNT4", winsim::Os::NT4, "Office", nullptr},
        DryRunCase{"Windows2000FileInUse", winsim::Os::Win2000, "Office",
                   [](RemovalStation& st) { st.ws->files.HoldOpen(st.versionDir + "\\OFFICE.HLP", true); }},
        DryRunCase{"MoreThanFiveNames", winsim::Os::WinXP, "Lobby,Office,A,B,C,D",
                   [](RemovalStation& st) {
                       st.AddLobby();
                   }},
        // As Wine starts a session: the real run's first stop is refused, and its cycles start the spooler.
        DryRunCase{"SpoolerStoppedBefore", winsim::Os::WinXP, "Office",
                   [](RemovalStation& st) { st.ws->services.SetState("spooler", SERVICE_STOPPED); }}),
    [](const ::testing::TestParamInfo<DryRunCase>& info) { return std::string(info.param.name); });

struct BackupCase {
    const char* name;
    winsim::Os os;
    std::string names;
    DWORD exitCode;
    std::function<void(RemovalStation&)> arrange;
};

// Names the case in test listings by its table name rather than its bytes.
void PrintTo(const BackupCase& c, std::ostream* os) {
    *os << c.name;
}

// "表示プリンタ" and "ブロンタル能ソ" in code page 932: 表, 能 and ソ end in the byte 0x5C, a backslash in ASCII.
const std::string kJapanesePrinter = "\x95\x5C\x8E\xA6\x83\x76\x83\x8A\x83\x93\x83\x5E";
const std::string kJapaneseDriver = "\x83\x75\x83\x8D\x83\x93\x83\x5E\x83\x8B\x94\x5C\x83\x5C";

// The Japanese printer on its own Brontal driver, with every registry trace, and values whose names and
// strings end in such a character.
void AddJapanesePrinter(RemovalStation& st) {
    st.ws->system.SetLocale(0x0411);
    st.AddBrontalDriver(kJapaneseDriver, "JP.PPD", false);
    st.AddPrinter(kJapanesePrinter, kJapaneseDriver);
    SeedRegistryTraces(st.ws, kJapanesePrinter, kJapaneseDriver, "SOFTWARE\\Brontal\\Data\\" + kJapanesePrinter);
    winsim::Registry& r = st.ws->registry;
    const std::string typed = std::string(kPrintersKey) + "\\" + kJapanesePrinter + "\\" + kJapaneseDriver;
    r.SetString(typed, "\x95\x5C", "\x95\x5C");
    r.SetString(typed, "Path", "C:\\\x94\x5C\\\x83\x5C\\");
    r.SetExpandString(typed, "Expand", "%SystemRoot%\\\x95\x5C");
    r.SetMultiString(typed, "Multi", {kJapanesePrinter, "", kJapaneseDriver});
    r.SetValue(typed, "Unterminated", REG_SZ, "\x95\x5C");
}

class Backups : public ::testing::TestWithParam<BackupCase> {};

TEST_P(Backups, PutBackExactlyWhatTheRemovalTook) {
    const BackupCase& c = GetParam();
    RemovalStation st(c.os);
    SeedOffice(st);
    // Values of every type in trees the removal deletes, some of them awkward for a text file.
    winsim::Registry& r = st.ws->registry;
    // The printer's own key: the spooler deletes it on every system.
    const std::string data = std::string(kPrintersKey) + "\\Office\\Typed";
    r.SetString(data, "Quoted \"name\" \\ here", "C:\\Path \"quoted\" 100%");
    r.SetString(data, "", "default");
    r.SetExpandString(data, "Expand", "%SystemRoot%\\system32");
    r.SetMultiString(data, "Multi", {"one", "", "three"});
    r.SetDword(data, "Dword", 0xDEADBEEF);
    r.SetValue(data, "Binary", REG_BINARY, std::string(100, '\x7F') + std::string(1, '\0'));
    r.SetValue(data, "None", REG_NONE, "");
    r.SetValue(data, "ShortDword", REG_DWORD, "\x01\x02");
    r.SetValue(data, "Unterminated", REG_SZ, "abc");
    r.SetValue(data, "LineBreak", REG_SZ, std::string("two\r\nlines", 10) + std::string(1, '\0'));
    r.SetValue(data, "BigEndian", REG_DWORD_BIG_ENDIAN, "\x00\x00\x00\x01");
    r.SetString("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office\\PrinterDriverData\\Deep",
                "Left", "x");
    r.SetValue("HKCU\\Printers\\DevModePerUser", "Office", REG_BINARY, std::string("\0\1\2dm\xFF", 6));
    if (c.arrange)
        c.arrange(st);
    const auto before = SnapshotMachine();
    const std::vector<std::string> printers = st.ws->spooler.PrinterNames();

    ASSERT_EQ((DWORD)st.Run("/backup:\"C:\\Backup 100%\" " + c.names), c.exitCode);
    ASSERT_FALSE(st.ws->spooler.PrinterExists("Office"));
    ASSERT_FALSE(r.KeyExists(data));

    EXPECT_EQ(RunRestoreScript("C:\\Backup 100%"), "");
    std::vector<std::string> diff;
    for (const std::string& d : SnapshotDiff(before, SnapshotMachine())) {
        if (d.rfind("+F|C:\\BACKUP 100%", 0) != 0)
            diff.push_back(d);
    }
    EXPECT_EQ(diff, std::vector<std::string>{});
    for (const std::string& printer : printers)
        EXPECT_TRUE(st.ws->spooler.PrinterExists(printer)) << printer;
    EXPECT_TRUE(st.ws->spooler.IsShared("Office"));
    EXPECT_TRUE(st.ws->spooler.DriverExists("Brontal Office"));
}

INSTANTIATE_TEST_SUITE_P(
    Options, Backups,
    ::testing::Values(
        BackupCase{"OwnDriver", winsim::Os::WinXP, "Office", 0, nullptr},
        BackupCase{"ReadOnlyFileLeftForTheRestart", winsim::Os::WinXP, "Office", ERROR_SUCCESS_REBOOT_REQUIRED,
                   [](RemovalStation& st) {
                       st.ws->files.SetAttributes(st.versionDir + "\\OFFICE.HLP", FILE_ATTRIBUTE_READONLY);
                   }},
        BackupCase{"HiddenSystemFile", winsim::Os::WinXP, "Office", 0,
                   [](RemovalStation& st) {
                       st.ws->files.SetAttributes(st.versionDir + "\\OFFICE.PPD",
                                                  FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
                   }},
        BackupCase{"TwoPrintersAndAFileKeptForAnother", winsim::Os::WinXP, "Office,Lobby", 0,
                   [](RemovalStation& st) {
                       st.AddLobby();
                       SeedRegistryTraces(st.ws, "Lobby", "Brontal Lobby", "SOFTWARE\\Brontal\\Data\\Lobby");
                   }},
        BackupCase{"EverythingWithAnUnusedDriver", winsim::Os::WinXP, "/all", 0,
                   [](RemovalStation& st) {
                       st.AddLobby();
                       st.AddBrontalDriver("Brontal Spare", "SPARE.PPD");
                   }},
        BackupCase{"EverythingOnWindows98", winsim::Os::Win98, "/all", 0,
                   [](RemovalStation& st) { st.AddBrontalDriver("Brontal Spare", "SPARE.PPD"); }},
        BackupCase{"Windows2000", winsim::Os::Win2000, "Office", 0, nullptr},
        BackupCase{"WindowsNT4", winsim::Os::NT4, "Office", 0, nullptr},
        BackupCase{"Windows98", winsim::Os::Win98, "Office", 0, nullptr},
        // The 32-bit program on 64-bit Windows: its keys come back into the 32-bit view, whichever cmd runs it.
        BackupCase{"Windows7On64BitWindows", winsim::Os::Win7, "Office", 0,
                   [](RemovalStation& st) {
                       st.ws->modules.InstallSystemLibraries();
                       st.ws->system.wow64 = true;
                   }},
        // The list restore.cmd reads is in the console's code page (437), the paths in the ANSI one (1252).
        BackupCase{"AccentedFileNames", winsim::Os::WinXP, "Office,Caf\xE9", 0,
                   [](RemovalStation& st) {
                       st.AddBrontalDriver("Brontal Caf\xE9", "CAF\xC9.PPD", false);
                       st.AddPrinter("Caf\xE9", "Brontal Caf\xE9");
                   }},
        // Names whose double-byte characters end in 0x5C, in the UTF-16 form (XP) and in REGEDIT4 (98, NT 4).
        BackupCase{"JapaneseNamesWindowsXP", winsim::Os::WinXP, "Office," + kJapanesePrinter, 0, AddJapanesePrinter},
        BackupCase{"JapaneseNamesWindows98", winsim::Os::Win98, "Office," + kJapanesePrinter, 0, AddJapanesePrinter},
        BackupCase{"JapaneseNamesWindowsNT4", winsim::Os::NT4, "Office," + kJapanesePrinter, 0, AddJapanesePrinter}),
    [](const ::testing::TestParamInfo<BackupCase>& info) { return std::string(info.param.name); });

TEST(Options, WhatTheBackupCannotHoldIsNotRemoved) {
    RemovalStation st;
    SeedOffice(st);
    // A registry file has no way to write a line break in a value's name.
    const std::string settings = "HKCU\\Printers\\Settings\\Office\\Typed";
    st.ws->registry.SetString(settings, "Line\nBreak", "x");
    const auto before = SnapshotMachine();
    EXPECT_EQ((DWORD)st.Run("/backup:C:\\Backup /log:C:\\run.log Office"), (DWORD)ERROR_CANNOT_MAKE);
    EXPECT_EQ(st.ws->registry.GetString(settings, "Line\nBreak"), std::optional<std::string>("x"));
    EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
    auto refused = Events(ReadLog(st, "C:\\run.log"), "change");
    refused.erase(std::remove_if(refused.begin(), refused.end(),
                                 [](const Fields& f) { return f.at("outcome") != "refused"; }),
                  refused.end());
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].at("path"), "Printers\\Settings\\Office\\Typed");
    EXPECT_EQ(refused[0].at("result"), std::to_string(ERROR_INVALID_DATA));
    // What it did take comes back whole.
    EXPECT_EQ(RunRestoreScript("C:\\Backup"), "");
    std::vector<std::string> diff;
    for (const std::string& d : SnapshotDiff(before, SnapshotMachine())) {
        if (d.rfind("+F|C:\\BACKUP", 0) != 0 && d != "+F|C:\\RUN.LOG")
            diff.push_back(d);
    }
    EXPECT_EQ(diff, std::vector<std::string>{});
}

TEST(Options, TheUsageShowsInTheUsersLanguageAndEndsWithZero) {
    struct Case {
        LCID lcid;
        const char* library;
    } cases[] = {{0x0409, "us_res"}, {0x0411, "jp_res"}, {0x040C, "fr_res"}, {0x0410, "it_res"},
                 {0x0407, "gr_res"}, {0x0C0A, "sp_res"}, {0x0413, "du_res"}, {0x0416, "bp_res"}};
    // The box's paragraphs, top to bottom: the whole-workstation options follow the backup line.
    const UINT kBoxOrder[] = {IDS_USAGE_SYNTAX, IDS_USAGE_OPTIONS, IDS_USAGE_NAMES, IDS_USAGE_LOG,
                              IDS_USAGE_WHATIF, IDS_USAGE_BACKUP,  IDS_USAGE_ALL,   IDS_USAGE_LIST,
                              IDS_USAGE_HELP,   IDS_USAGE_EXIT1,   IDS_USAGE_EXIT2, IDS_USAGE_EXIT3};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.library);
        RemovalStation st;
        SeedOffice(st);
        st.ws->system.SetLocale(c.lcid);
        for (const char* lib : {"us_res", "jp_res", "fr_res", "it_res", "gr_res", "sp_res", "du_res", "bp_res"}) {
            winsim::ModuleImage image;
            image.resFile = std::string(LANG_RES_DIR) + "/" + lib + ".res";
            st.ws->modules.Register(std::string("C:\\Program Files\\Trellin\\") + lib + ".dll", image);
        }
        st.ws->user.Answer(IDOK);
        EXPECT_EQ(st.Run("/? /log:C:\\run.log Office"), 0);
        EXPECT_TRUE(st.ws->spooler.PrinterExists("Office"));
        EXPECT_EQ(st.ws->services.spoolerStops, 0);
        ASSERT_EQ(st.ws->ui.MessageBoxes().size(), 1u);
        const auto& box = st.ws->ui.MessageBoxes()[0];
        HMODULE lib = LoadLibraryA(c.library);
        ASSERT_NE(lib, nullptr);
        char caption[200] = "";
        LoadStringA(lib, IDS_MAIN_CAPTION, caption, sizeof(caption));
        EXPECT_EQ(box.caption, caption);
        // Every paragraph of the library, whole, in its order.
        size_t at = 0;
        std::map<UINT, std::string> texts;
        for (UINT id : kBoxOrder) {
            char text[1000] = "";
            ASSERT_GT(LoadStringA(lib, id, text, sizeof(text)), 0) << id;
            texts[id] = text;
            at = box.text.find(text, at);
            ASSERT_NE(at, std::string::npos) << text << "\n" << box.text;
        }
        FreeLibrary(lib);
        // /all and /list each on a line of their own, right below the backup line and above the help line.
        const std::string options = texts[IDS_USAGE_BACKUP] + "\n" + texts[IDS_USAGE_ALL] + "\n" +
                                    texts[IDS_USAGE_LIST] + "\n" + texts[IDS_USAGE_HELP] + "\n";
        EXPECT_NE(box.text.find(options), std::string::npos) << box.text;
        EXPECT_EQ(texts[IDS_USAGE_ALL].rfind("/all ", 0), 0u) << texts[IDS_USAGE_ALL];
        EXPECT_EQ(texts[IDS_USAGE_LIST].rfind("/list ", 0), 0u) << texts[IDS_USAGE_LIST];
        // The syntax line shows both forms: /all with the options that combine with it, /list with /log alone.
        EXPECT_NE(texts[IDS_USAGE_SYNTAX].find("] /all\nTrellin.exe [/log:"), std::string::npos)
            << texts[IDS_USAGE_SYNTAX];
        EXPECT_NE(texts[IDS_USAGE_SYNTAX].find("] /list"), std::string::npos) << texts[IDS_USAGE_SYNTAX];
        // The syntax of every option and every exit code the program ends with.
        for (const char* needle : {"/log:", "/whatif", "/backup:", "/all", "/list", "/?", " 0 ", "3010", "1801",
                                   "1797", "170", "1053", "1062", "1802", "160", "1003", "87", "110", "82"})
            EXPECT_NE(box.text.find(needle), std::string::npos) << needle;
        EXPECT_EQ(box.type & MB_ICONMASK, (UINT)MB_ICONINFORMATION);
        auto run = Events(ReadLog(st, "C:\\run.log"), "run");
        ASSERT_EQ(run.size(), 1u);
        EXPECT_EQ(run[0].at("mode"), "usage");
    }
}

TEST(Options, LogAndBackupWithoutNamesGoWithTheDialog) {
    RemovalStation st;
    SeedOffice(st);
    const auto before = SnapshotMachine();
    st.ws->user.On(IDD_TRELLIN_DIALOG).Wait(3000).SelectLine(IDC_PRINTER_LIST, "Office").Press(IDC_DELETE);
    st.ws->user.On(IDD_WARNING).Press(IDOK);
    st.ws->user.On(IDD_REBOOT).Press(IDCANCEL);
    st.ws->user.On(IDD_TRELLIN_DIALOG).PressEsc();
    EXPECT_EQ(st.Run("/log:C:\\run.log /backup:C:\\Backup"), 0);
    EXPECT_TRUE(st.ws->user.Unused().empty());
    EXPECT_FALSE(st.ws->spooler.PrinterExists("Office"));
    const auto log = ReadLog(st, "C:\\run.log");
    ASSERT_EQ(Events(log, "run").size(), 1u);
    EXPECT_EQ(Events(log, "run")[0].at("names"), "[]");
    EXPECT_EQ(Events(log, "decisions").size(), 1u);
    EXPECT_GT(Events(log, "change").size(), 10u);
    EXPECT_EQ(log.back().at("event"), "outcome");
    EXPECT_EQ(RunRestoreScript("C:\\Backup"), "");
    std::vector<std::string> diff;
    for (const std::string& d : SnapshotDiff(before, SnapshotMachine())) {
        if (d.rfind("+F|C:\\BACKUP", 0) != 0 && d != "+F|C:\\RUN.LOG")
            diff.push_back(d);
    }
    EXPECT_EQ(diff, std::vector<std::string>{});
}
