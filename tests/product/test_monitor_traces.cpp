// What is left of the monitoring application for the current user, found where the companion library
// removes it: a table of workstations, the library's own removal, and a look that changes nothing.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/MonitorTraces.h"
#include "snapshot.h"
#include "tavq_fixture.h"
#include "workstation.h"

namespace {

const char kRunPath[] = "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN";
const char kSettingsPath[] = "SOFTWARE\\Norix\\Tallyvue";
const char kOtherUser[] = "HKU\\S-1-5-21-1004336348-1177238915-682003330-1013";
const char kDriverCopy[] = "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\tavq.dll";

// One trace as the test reads it: kind name, place, root name ("" for files), value.
std::string Describe(const MonitorTrace& trace) {
    std::string root = trace.root == HKEY_CURRENT_USER ? "HKCU" : trace.root == NULL ? "" : "?";
    return std::string(MonitorTraceName(trace.kind)) + "|" + (LPCSTR)trace.where + "|" + root + "|" +
           (LPCSTR)trace.value;
}

std::vector<std::string> Found() {
    std::vector<std::string> out;
    for (const MonitorTrace& trace : FindMonitorTraces())
        out.push_back(Describe(trace));
    return out;
}

// The expected lines for the machine's own places.
std::string Shortcut(winsim::Machine& m) {
    return "shortcut|" + TallyvueShortcut(m) + "||";
}
std::string Autostart() {
    return std::string("autostart|") + kRunPath + "|HKCU|Norix Tallyvue";
}
std::string Settings() {
    return std::string("settings|") + kSettingsPath + "|HKCU|";
}
std::string Folder(winsim::Machine& m) {
    return "folder|" + TallyvueFolder(m) + "||";
}

struct TraceCase {
    const char* name;
    std::function<void(winsim::Machine&)> arrange;
    std::function<std::vector<std::string>(winsim::Machine&)> expected;
};

const TraceCase kCases[] = {
    {"None", [](winsim::Machine&) {}, [](winsim::Machine&) { return std::vector<std::string>{}; }},
    {"ShortcutAlone", [](winsim::Machine& m) { m.files.WriteFile(TallyvueShortcut(m), "lnk"); },
     [](winsim::Machine& m) { return std::vector<std::string>{Shortcut(m)}; }},
    {"AutostartAlone",
     [](winsim::Machine& m) { m.registry.SetString(kTallyvueRunKey, kTallyvueRunValue, "C:\\x\\Tallyvue.exe"); },
     [](winsim::Machine&) { return std::vector<std::string>{Autostart()}; }},
    {"SettingsAlone", [](winsim::Machine& m) { m.registry.CreateKey(kTallyvueSettingsKey); },
     [](winsim::Machine&) { return std::vector<std::string>{Settings()}; }},
    {"EmptyFolderAlone", [](winsim::Machine& m) { m.files.CreateDirectory(TallyvueFolder(m)); },
     [](winsim::Machine& m) { return std::vector<std::string>{Folder(m)}; }},
    {"AllFour", [](winsim::Machine& m) { PlaceTallyvueTraces(m); },
     [](winsim::Machine& m) { return std::vector<std::string>{Shortcut(m), Autostart(), Settings(), Folder(m)}; }},
    {"FolderWithOtherFilesOnly",
     [](winsim::Machine& m) {
         m.files.WriteFile(TallyvueFolder(m) + "\\report.txt", "x");
         m.files.CreateDirectory(TallyvueFolder(m) + "\\cache");
     },
     [](winsim::Machine& m) { return std::vector<std::string>{Folder(m)}; }},
    {"RunKeyWithOtherValuesOnly",
     [](winsim::Machine& m) {
         m.registry.SetString(kTallyvueRunKey, "Norix", "a.exe");
         m.registry.SetString(kTallyvueRunKey, "Norix Tallyvue2", "b.exe");
         m.registry.SetString(kTallyvueRunKey, "Norix Tallyvue Helper", "c.exe");
         m.registry.SetString(kTallyvueRunKey, "", "default value");
     },
     [](winsim::Machine&) { return std::vector<std::string>{}; }},
    {"EverythingUnderAnotherUsersHive",
     [](winsim::Machine& m) {
         m.registry.CreateKey(std::string(kOtherUser) + "\\SOFTWARE\\Norix\\Tallyvue");
         m.registry.SetString(std::string(kOtherUser) + "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                              kTallyvueRunValue, "C:\\x\\Tallyvue.exe");
     },
     [](winsim::Machine&) { return std::vector<std::string>{}; }},
    {"SettingsUnderTheMachineOnly",
     [](winsim::Machine& m) { m.registry.CreateKey("HKLM\\SOFTWARE\\Norix\\Tallyvue"); },
     [](winsim::Machine&) { return std::vector<std::string>{}; }},
    {"SettingsSpelledInCapitals", [](winsim::Machine& m) { m.registry.CreateKey("HKCU\\SOFTWARE\\NORIX\\TALLYVUE"); },
     [](winsim::Machine&) { return std::vector<std::string>{Settings()}; }},
    {"AutostartOfAnyTypeAndSize",
     [](winsim::Machine& m) { m.registry.SetValue(kTallyvueRunKey, kTallyvueRunValue, REG_BINARY, std::string(70000, 'x')); },
     [](winsim::Machine&) { return std::vector<std::string>{Autostart()}; }},
    {"AutostartEmpty", [](winsim::Machine& m) { m.registry.SetValue(kTallyvueRunKey, kTallyvueRunValue, REG_SZ, ""); },
     [](winsim::Machine&) { return std::vector<std::string>{Autostart()}; }},
    {"ShortcutThatIsAFolderAndFolderThatIsAFile",
     [](winsim::Machine& m) {
         m.files.CreateDirectory(TallyvueShortcut(m));
         m.files.WriteFile(TallyvueFolder(m), "not a folder");
     },
     [](winsim::Machine&) { return std::vector<std::string>{}; }},
    {"OtherShortcutNamesOnly",
     [](winsim::Machine& m) {
         m.files.WriteFile(m.shell.DesktopDirectory() + "\\Shortcut to Tallyvue.lnk", "lnk");
         m.files.WriteFile(m.shell.DesktopDirectory() + "\\Tallyvue.url", "url");
     },
     [](winsim::Machine&) { return std::vector<std::string>{}; }},
    {"NoDesktopFolder",
     [](winsim::Machine& m) {
         PlaceTallyvueTraces(m);
         m.shell.desktopMissing = true;
     },
     [](winsim::Machine& m) { return std::vector<std::string>{Autostart(), Settings(), Folder(m)}; }},
    {"DesktopElsewhere",
     [](winsim::Machine& m) {
         m.files.WriteFile(TallyvueShortcut(m), "lnk");
         m.shell.desktopDir = "C:\\Profiles\\jdoe\\Desktop";
         m.files.WriteFile(TallyvueShortcut(m), "lnk");
     },
     [](winsim::Machine&) { return std::vector<std::string>{"shortcut|C:\\Profiles\\jdoe\\Desktop\\Tallyvue.lnk||"}; }},
    // The library's shortcut path holds at most 259 characters: "C:\\" + 243 + "\\Tallyvue.lnk" just fits.
    {"ShortcutPathAtTheLongestTheLibraryForms",
     [](winsim::Machine& m) {
         m.shell.desktopDir = "C:\\" + std::string(243, 'd');
         PlaceTallyvueTraces(m);
     },
     [](winsim::Machine& m) { return std::vector<std::string>{Shortcut(m), Autostart(), Settings(), Folder(m)}; }},
    {"ShortcutPathOneLongerThanTheLibraryForms",
     [](winsim::Machine& m) {
         m.shell.desktopDir = "C:\\" + std::string(244, 'd');
         PlaceTallyvueTraces(m);
     },
     [](winsim::Machine& m) { return std::vector<std::string>{Autostart(), Settings(), Folder(m)}; }},
    {"TempPathLongerThanAPath",
     [](winsim::Machine& m) {
         PlaceTallyvueTraces(m);
         m.system.tempDir = "C:\\" + std::string(300, 't') + "\\";
     },
     [](winsim::Machine& m) { return std::vector<std::string>{Shortcut(m), Autostart(), Settings()}; }},
};

void PrintTo(const TraceCase& c, std::ostream* os) {
    *os << c.name;
}

class MonitorTraces : public ::testing::TestWithParam<TraceCase> {
protected:
    MonitorTraces() { ws->files.CreateDirectory(ws->shell.DesktopDirectory()); }

    // Nothing the look opened or allocated is left, and the thread's runtime count is back at zero.
    void ExpectNothingHeld() {
        EXPECT_EQ(0u, ws->system.handles.Live());
        EXPECT_EQ(0u, ws->registry.OpenKeyCount());
        EXPECT_TRUE(ws->shell.taskMemory.empty());
        EXPECT_EQ(0, ws->shell.comInitCount);
    }

    Workstation ws;
};

TEST_P(MonitorTraces, FoundWhereTheLibraryRemovesThem) {
    GetParam().arrange(ws.machine());
    const auto before = SnapshotMachine();

    EXPECT_EQ(GetParam().expected(ws.machine()), Found());

    EXPECT_EQ(std::vector<std::string>{}, SnapshotDiff(before, SnapshotMachine()));
    ExpectNothingHeld();
}

INSTANTIATE_TEST_SUITE_P(Workstations, MonitorTraces, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TraceCase>& info) { return std::string(info.param.name); });

// The library's own removal, run on the same workstation: what it takes is no longer found, what it
// leaves (a folder that still holds another file) still is.
struct RemovalCase {
    const char* name;
    std::function<void(winsim::Machine&)> arrange;
    std::function<std::vector<std::string>(winsim::Machine&)> left;
};

const RemovalCase kRemovals[] = {
    {"EverythingGoes", [](winsim::Machine& m) { PlaceTallyvueTraces(m); },
     [](winsim::Machine&) { return std::vector<std::string>{}; }},
    {"ForeignFileKeepsTheFolder",
     [](winsim::Machine& m) {
         PlaceTallyvueTraces(m);
         m.files.WriteFile(TallyvueFolder(m) + "\\report.txt", "x");
     },
     [](winsim::Machine& m) { return std::vector<std::string>{Folder(m)}; }},
    {"SettingsInCapitalsGo", [](winsim::Machine& m) { m.registry.CreateKey("HKCU\\SOFTWARE\\NORIX\\TALLYVUE\\Jobs"); },
     [](winsim::Machine&) { return std::vector<std::string>{}; }},
};

void PrintTo(const RemovalCase& c, std::ostream* os) {
    *os << c.name;
}

class MonitorTracesAfterTheLibrary : public ::testing::TestWithParam<RemovalCase> {
protected:
    MonitorTracesAfterTheLibrary() {
        ws->files.CreateDirectory(ws->shell.DesktopDirectory());
        RegisterTavq(ws.machine(), kDriverCopy);
    }
    Workstation ws;
};

TEST_P(MonitorTracesAfterTheLibrary, WhatItRemovesIsNoLongerFound) {
    GetParam().arrange(ws.machine());
    EXPECT_FALSE(FindMonitorTraces().empty());

    HMODULE library = LoadLibraryA(kDriverCopy);
    ASSERT_NE(nullptr, library);
    auto remove = reinterpret_cast<int (*)(void)>(GetProcAddress(library, "Delete"));
    ASSERT_NE(nullptr, remove);
    EXPECT_EQ(1, remove());
    FreeLibrary(library);

    EXPECT_EQ(GetParam().left(ws.machine()), Found());
}

INSTANTIATE_TEST_SUITE_P(Workstations, MonitorTracesAfterTheLibrary, ::testing::ValuesIn(kRemovals),
                         [](const ::testing::TestParamInfo<RemovalCase>& info) { return std::string(info.param.name); });

TEST(MonitorTracesOnce, AThreadWithTheRuntimeKeepsItsCount) {
    Workstation ws;
    PlaceTallyvueTraces(ws.machine());
    ASSERT_EQ(S_OK, CoInitialize(NULL));

    EXPECT_EQ(4u, FindMonitorTraces().size());

    EXPECT_EQ(1, ws->shell.comInitCount);
    CoUninitialize();
}

}  // namespace
