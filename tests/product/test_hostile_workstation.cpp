// A damaged or hostile workstation: whatever the registry and the disk say, a removal takes nothing but
// the printer's and its driver's own data, does not crash and leaves nothing open.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine/Removal.h"
#include "removal_fixture.h"

namespace {

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return (char)toupper(c); });
    return s;
}

// The removal steps of one entry in their fixed order, as a removal of it from a list that also holds
// "Other" runs them: the files "Other" does not list are flagged for deletion first.
void RunRemoval(RemovalBench& bench, CPrinterEntry& entry) {
    const int family = FamilyOf(bench.ws->system.os);
    std::unique_ptr<CPrinterEntry> other(bench.ws.MakeEntry("Other", family));
    CObList list;
    list.AddTail(&entry);
    list.AddTail(other.get());
    RunRemovalSteps(list, entry, entry.m_strPrinterName, family, FALSE);
    list.RemoveAll();
}

// The snapshot differences that are not the printer's (`printer`) or the driver's own.
std::vector<std::string> ForeignChanges(const std::vector<std::string>& diff, const std::string& printer) {
    const std::vector<std::string> own = {Upper(printer), "PS DRIVER", "\\WATERMARK", "PENDINGFILERENAMEOPERATIONS",
                                          "BRUI.DLL", "BRHELP.HLP", "TAVQ.DLL", "OFFICE."};
    std::vector<std::string> foreign;
    for (const std::string& d : diff) {
        if (std::none_of(own.begin(), own.end(), [&](const std::string& o) { return d.find(o) != std::string::npos; }))
            foreign.push_back(d);
    }
    return foreign;
}

void ExpectNothingLeftOpen(RemovalBench& bench) {
    EXPECT_EQ(bench.ws->registry.OpenKeyCount(), 0u);
    EXPECT_EQ(bench.ws->spooler.OpenHandles(), 0);
    EXPECT_EQ(bench.ws->files.OpenFileCount(), 0u);
    EXPECT_EQ(bench.ws->system.globals.LiveBlocks(), 0u);
}

const char kPrinterData[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office\\PrinterDriverData";
const char kLocation[] = "_NXStorage\\_NXDataLocation";

struct HostileCase {
    const char* name;
    // Damages the workstation before the entry is made.
    std::function<void(RemovalBench&)> arrange;
    // Damages the entry the enumeration made.
    std::function<void(CPrinterEntry&)> damage;
    // Keys that must survive besides the other printer's traces.
    std::vector<std::string> survivors;
    winsim::Os os = winsim::Os::WinXP;
};

// Names the case in test listings by its table name rather than its bytes.
void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

// The registry key of the other printer's driver, where the spooler of `os` files it.
std::string OtherDriverKey(winsim::Os os) {
    const std::string drivers = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\";
    return FamilyOf(os) == OS_FAMILY_9X ? drivers + "Windows 4.0\\Drivers\\Other Driver"
                                        : drivers + "Windows NT x86\\Drivers\\Version-3\\Other Driver";
}

class HostileWorkstations : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileWorkstations, TakeNothingButThePrintersOwnData) {
    const HostileCase& c = GetParam();
    RemovalBench bench(c.os);
    bench.ws->registry.CreateKey("HKLM\\SOFTWARE\\X\\Y\\Z");
    bench.ws->registry.CreateKey("HKCU\\SOFTWARE\\X\\Y\\Z");
    bench.ws->registry.CreateKey("HKCU\\Software\\Microsoft\\Notepad");
    if (c.arrange)
        c.arrange(bench);
    CPrinterEntry& office = bench.Office();
    if (c.damage)
        c.damage(office);
    auto before = SnapshotMachine();
    RunRemoval(bench, office);
    EXPECT_EQ(ForeignChanges(SnapshotDiff(before, SnapshotMachine()), "Office"), std::vector<std::string>());
    for (const std::string& key : c.survivors)
        EXPECT_TRUE(KeyThere(key)) << key;
    EXPECT_TRUE(KeyThere("HKLM\\SOFTWARE\\Brontal\\Data\\Other"));
    EXPECT_TRUE(KeyThere(OtherDriverKey(c.os)));
    ExpectNothingLeftOpen(bench);
}

void SetLocation(RemovalBench& bench, const std::string& location) {
    bench.ws->registry.SetString(kPrinterData, kLocation, location);
}

const std::string kLanMan = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Network\\LanMan";
const std::string kVersionKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3";

INSTANTIATE_TEST_SUITE_P(
    Registry, HostileWorkstations,
    ::testing::Values(
        HostileCase{"PrinterThatCannotBeOpenedHasNoDriverName",
                    [](RemovalBench& b) { b.ws->spooler.SetRights("Office", winsim::PrinterRights{false, false, false}); },
                    nullptr,
                    {"HKCU\\Printers\\Settings\\Drivers\\Other Driver"}},
        HostileCase{"EmptyPrinterName", nullptr, [](CPrinterEntry& e) { e.m_strPrinterName = ""; },
                    {std::string(kPrintersKey) + "\\Other", "HKCU\\Printers\\Settings\\Other",
                     "HKCU\\Printers\\Settings\\Printers\\Other",
                     "HKU\\" + std::string(kUserSid) + "\\Printers\\Settings\\Printers\\Other"}},
        HostileCase{"EmptyPrinterNameOnWindows9x", nullptr, [](CPrinterEntry& e) { e.m_strPrinterName = ""; },
                    {std::string(kPrintersKey) + "\\Other"}, winsim::Os::Win98},
        HostileCase{"EmptyDriverNameOnWindows9x", nullptr,
                    [](CPrinterEntry& e) {
                        e.m_strDriverName = "";
                        e.BuildDriverKey();
                    },
                    {kLanMan + "\\Other Driver"}, winsim::Os::Win98},
        HostileCase{"DriverNamedBackslash", nullptr,
                    [](CPrinterEntry& e) {
                        e.m_strDriverName = "\\";
                        e.BuildDriverKey();
                    },
                    {"HKLM\\" + kVersionKey + "\\PS Driver"}},
        HostileCase{"DriverKeyIsTheVersionKey", nullptr,
                    [](CPrinterEntry& e) { e.m_strDriverKey = kVersionKey.c_str(); }, {"HKLM\\" + kVersionKey}},
        HostileCase{"DriverKeyIsTheVersionKeyWithASeparator", nullptr,
                    [](CPrinterEntry& e) { e.m_strDriverKey = (kVersionKey + "\\").c_str(); },
                    {"HKLM\\" + kVersionKey}},
        HostileCase{"EmptyLocation", [](RemovalBench& b) { SetLocation(b, ""); }, nullptr, {}},
        HostileCase{"LocationIsASeparator", [](RemovalBench& b) { SetLocation(b, "\\"); }, nullptr, {}},
        HostileCase{"LocationIsSoftware", [](RemovalBench& b) { SetLocation(b, "SOFTWARE"); }, nullptr,
                    {"HKLM\\SOFTWARE\\X\\Y\\Z"}},
        HostileCase{"LocationIsSoftwareMicrosoft", [](RemovalBench& b) { SetLocation(b, "Software\\Microsoft"); },
                    nullptr, {"HKCU\\Software\\Microsoft\\Notepad"}},
        HostileCase{"LocationIsTheControlSet", [](RemovalBench& b) { SetLocation(b, "SYSTEM\\CurrentControlSet"); },
                    nullptr, {"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Other"}},
        HostileCase{"LocationIsAKeyAboveEveryPrinter",
                    [](RemovalBench& b) { SetLocation(b, "SYSTEM\\CurrentControlSet\\Control"); }, nullptr,
                    {"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Other"}},
        HostileCase{"LocationWithAnEmptyPart", [](RemovalBench& b) { SetLocation(b, "SOFTWARE\\\\Brontal"); },
                    nullptr, {"HKLM\\SOFTWARE\\Brontal\\Data\\Other"}},
        HostileCase{"LocationNamingARoot",
                    [](RemovalBench& b) { SetLocation(b, "HKEY_LOCAL_MACHINE\\SOFTWARE\\X\\Y"); }, nullptr,
                    {"HKLM\\SOFTWARE\\X\\Y\\Z"}},
        HostileCase{"LocationWithALeadingSeparator", [](RemovalBench& b) { SetLocation(b, "\\SOFTWARE\\X\\Y"); },
                    nullptr, {"HKLM\\SOFTWARE\\X\\Y\\Z"}},
        HostileCase{"LocationOf250Bytes",
                    [](RemovalBench& b) { SetLocation(b, "SOFTWARE\\X\\" + std::string(239, 'Y')); }, nullptr,
                    {"HKLM\\SOFTWARE\\X\\Y\\Z"}},
        HostileCase{"LocationOfTypeNumber",
                    [](RemovalBench& b) {
                        b.ws->registry.SetValue(kPrinterData, kLocation, REG_DWORD, std::string("S\0\0\0", 4));
                    },
                    nullptr, {}},
        HostileCase{"DeepTreeBelowThePrinterKey",
                    [](RemovalBench& b) {
                        std::string path = kPrinterData;
                        for (int depth = 8; depth < 512; ++depth)
                            path += "\\L";
                        b.ws->registry.CreateKey(path);
                    },
                    nullptr, {}},
        HostileCase{"DependentFilesThatClimbOut",
                    [](RemovalBench& b) {
                        winsim::DriverSetup setup;
                        setup.name = "PS Driver";
                        setup.configFile = "BRUI.DLL";
                        setup.dataFile = "OFFICE.PPD";
                        setup.dependentFiles = {"..\\..\\WIN.INI", "..\\3\\..\\..\\X.DLL", "C:\\WINDOWS\\WIN.INI"};
                        for (int i = 0; i < 300; ++i)
                            setup.dependentFiles.push_back("OFFICE" + std::to_string(i) + ".DAT");
                        setup.fileContents["OFFICE.UIM"] = "UIM";
                        b.ws->spooler.AddDriver(setup);
                        b.ws->files.WriteFile("C:\\WINDOWS\\WIN.INI", "[windows]");
                        b.ws->files.WriteFile("C:\\WINDOWS\\system32\\spool\\drivers\\X.DLL", "x");
                        b.ws->files.WriteFile("C:\\WINDOWS\\system32\\spool\\X.DLL", "x");
                    },
                    nullptr, {}}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

TEST(HostileWorkstations, LongAndDoubleBytePrinterNamesTakeOnlyTheirOwnKeys) {
    const std::string japanese = "\x95\x5C\x8E\xA6\x83\x76\x83\x8A\x83\x93\x83\x5E";  // two kanji, then katakana
    for (const std::string& name : {std::string(255, 'P'), japanese}) {
        RemovalBench bench;
        bench.ws->system.SetLocale(0x0411);
        winsim::PrinterSetup setup;
        setup.name = name;
        setup.driver = "PS Driver";
        bench.ws->spooler.AddPrinter(setup);
        SeedRegistryTraces(bench.ws, name, "PS Driver", "SOFTWARE\\Brontal\\Data\\" + name);
        std::unique_ptr<CPrinterEntry> entry(bench.ws.MakeEntry(name, OS_FAMILY_NT5));
        auto before = SnapshotMachine();
        entry->DeleteAllRegistryEntries(1, 0);
        std::vector<std::string> diff = SnapshotDiff(before, SnapshotMachine());
        EXPECT_EQ(ForeignChanges(diff, name), std::vector<std::string>());
        if (name.size() < 100) {
            EXPECT_FALSE(KeyThere(std::string(kPrintersKey) + "\\" + name));
            EXPECT_FALSE(KeyThere("HKLM\\SOFTWARE\\Brontal\\Data\\" + name));
        }
        // Key paths past 260 bytes are refused by the registry's 8-bit interface (error 234): the long
        // name's keys under the Printers key cannot be reached, but its values can.
        EXPECT_FALSE(ValueThere("HKCU\\Printers\\DevModes2", name));
        EXPECT_TRUE(KeyThere(std::string(kPrintersKey) + "\\Office"));
        ExpectNothingLeftOpen(bench);
    }
}

// The fences judge the keys the removal names; a sub-key inside an accepted tree goes with it, whatever it
// is called: a name that would be refused as a tree of its own is only data here.
TEST(HostileWorkstations, SubKeysNamedLikeRootsOrDotsGoWithTheirTree) {
    const std::string location = "SOFTWARE\\Brontal\\Data\\Office";
    const std::vector<std::string> trees = {std::string(kPrintersKey) + "\\Office",
                                            "HKLM\\SYSTEM\\ControlSet001\\Control\\Print\\Printers\\Office",
                                            "HKLM\\" + location, "HKCU\\" + location};
    for (const std::string& name : {"HKLM", "HKEY_LOCAL_MACHINE", "HKCU", "...", " . ", "..", "Printers"}) {
        SCOPED_TRACE(name);
        RemovalBench bench;
        for (const std::string& tree : trees)
            bench.ws->registry.SetString(tree + "\\" + name + "\\" + name, "Kept", "no");
        CPrinterEntry& office = bench.Office();
        auto before = SnapshotMachine();
        RunRemoval(bench, office);
        EXPECT_EQ(ForeignChanges(SnapshotDiff(before, SnapshotMachine()), "Office"), std::vector<std::string>());
        for (const std::string& tree : trees)
            EXPECT_FALSE(KeyThere(tree)) << tree;
        EXPECT_TRUE(KeyThere(std::string(kPrintersKey) + "\\Other"));
        EXPECT_TRUE(KeyThere("HKLM\\SOFTWARE\\Brontal\\Data\\Other"));
        ExpectNothingLeftOpen(bench);
    }
}

}  // namespace

namespace {

BOOL WINAPI OfficeDriverDeletePrinter(HANDLE printer) {
    return DeletePrinter(printer);
}

const char kConnection[] = "\\\\srv\\q";

struct FaultCase {
    const char* name;
    const char* api;
    const char* argPart;  // the injected failure only hits calls whose argument holds this (empty: all)
    // What must hold afterwards: the failed call's own step was skipped, the others still ran.
    std::function<void(RemovalBench&)> check;
    int times = -1;                    // matching calls that fail (-1: every one)
    const char* printer = "Office";    // or kConnection
    winsim::Os os = winsim::Os::WinXP;
};

// Names the case in test listings by its table name and the call it fails rather than its bytes.
void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name << " (" << c.api << " fails)";
}

class InjectedFaults : public ::testing::TestWithParam<FaultCase> {};

const std::string kPrinterKeyOffice = std::string(kPrintersKey) + "\\Office";
const std::string kInstalledFiles = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\InstalledFiles";
const std::string kKnown16Dlls = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\SessionManager\\Known16DLLs";
// The connection's cached copy, its data location L under both roots and the key its ExtInfo file names.
const std::string kCached =
    "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Providers\\LanMan Print Services\\Servers\\srv"
    "\\Printers\\q";
const std::string kRemoteMachine = "HKLM\\Software\\Brontal\\Remote\\q";
const std::string kRemoteUser = "HKCU\\Software\\Brontal\\Remote\\q";
const std::string kExtInfoKey = "HKCU\\Software\\Brontal\\Ext2\\,,srv,q";

// The release calls: a refused one leaves exactly the object it was given.
bool IsRelease(const std::string& api) {
    return api == "ClosePrinter" || api == "FreeLibrary" || api == "RegCloseKey" || api == "CloseHandle";
}

TEST_P(InjectedFaults, SkipOnlyWhatDependsOnTheFailedCall) {
    const FaultCase& c = GetParam();
    RemovalBench bench(c.os);
    // The driver's own library lies beside its data file on NT; the Windows 9x driver has none, so
    // there the spooler alone deletes the printer.
    winsim::ModuleImage driver;
    driver.exports["DeletePrinter"] = reinterpret_cast<FARPROC>(&OfficeDriverDeletePrinter);
    const std::string library = bench.driverDir + "\\3\\OFFICE.DLL";
    bench.ws->modules.Register(library, driver);
    bench.ws->registry.SetString(kInstalledFiles, "BRUI.DLL", "x");
    bench.ws->registry.SetString(kKnown16Dlls, "BRUI.DLL", "x");
    // Found only when the per-user driver settings key is not.
    bench.ws->registry.SetString("HKCU\\Printers\\Settings\\PS Driver", "Paper", "A4");
    bench.ws->files.WriteFile(bench.ws->system.windowsDir + "\\inf\\oem.inf", "inf");
    bench.ws->files.WriteFile(bench.ws->system.windowsDir + "\\Temp\\OFFICE.wmk", "wmk");
    std::unique_ptr<CPrinterEntry> connection;
    CPrinterEntry* entry = &bench.Office();
    if (std::string(c.printer) == kConnection) {
        bench.AddConnection();
        bench.NameExtInfoFile("[Ext] _NXDataLocation=Software\\Brontal\\Ext2\\,,srv,q\r\n");
        bench.ws->registry.SetString(kRemoteMachine + "\\Settings", "Tray", "1");
        bench.ws->registry.CreateKey(kExtInfoKey);
        connection.reset(bench.ws.MakeEntry(kConnection, FamilyOf(c.os)));
        entry = connection.get();
    }
    if (FamilyOf(c.os) != OS_FAMILY_9X)
        bench.ws->files.WriteFile((LPCSTR)entry->m_strTempWmk, "wmk");
    std::string part = c.argPart;
    auto matches = [part](const std::string& arg) { return part.empty() || arg.find(part) != std::string::npos; };
    const size_t traced = bench.ws->faults.Trace().size();
    bench.ws->faults.Fail(c.api, ERROR_ACCESS_DENIED, c.times, 0, matches);
    RunRemoval(bench, *entry);
    bench.ws->faults.Clear();

    // The injected call was made: the case is not vacuous.
    const std::string call = std::string(c.api) + "(";
    int hits = 0;
    for (size_t i = traced; i < bench.ws->faults.Trace().size(); ++i) {
        const std::string& t = bench.ws->faults.Trace()[i];
        if (t.rfind(call, 0) == 0 && matches(t.substr(call.size(), t.size() - call.size() - 1)))
            hits++;
    }
    ASSERT_GT(hits, 0) << c.api << " was never called with " << part;
    c.check(bench);

    // Nothing is left open but what a refused release kept: nothing is released twice.
    const int failed = c.times < 0 ? hits : std::min(hits, c.times);
    auto refused = [&](const char* api) { return IsRelease(c.api) && std::string(c.api) == api ? failed : 0; };
    EXPECT_EQ((int)bench.ws->registry.OpenKeyCount(), refused("RegCloseKey"));
    EXPECT_EQ(bench.ws->spooler.OpenHandles(), refused("ClosePrinter"));
    EXPECT_EQ((int)bench.ws->files.OpenFileCount(), refused("CloseHandle"));
    EXPECT_EQ(bench.ws->system.globals.LiveBlocks(), 0u);
    EXPECT_EQ(bench.ws->modules.LoadCount(library), refused("FreeLibrary"));
}

bool Shared(RemovalBench& b) {
    return b.ws->spooler.IsShared("Office");
}
bool PrinterThere(RemovalBench& b) {
    return b.ws->spooler.PrinterExists("Office");
}
bool FileThere(RemovalBench& b, const std::string& path) {
    return b.ws->files.Exists(path);
}

INSTANTIATE_TEST_SUITE_P(
    Removal, InjectedFaults,
    ::testing::Values(
        FaultCase{"OpenPrinterFails", "OpenPrinterA", "Office",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(Shared(b));
                      EXPECT_TRUE(PrinterThere(b));
                      EXPECT_FALSE(KeyThere(kPrinterKeyOffice));
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\3\\BRUI.DLL"));
                  }},
        FaultCase{"GetPrinterFails", "GetPrinterA", "",
                  [](RemovalBench& b) {
                      EXPECT_EQ(b.ws->faults.Calls("SetPrinterA"), 0);
                      EXPECT_FALSE(PrinterThere(b));
                      EXPECT_FALSE(KeyThere("HKCU\\Printers\\Settings\\Office"));
                  }},
        FaultCase{"GlobalAllocFails", "GlobalAlloc", "",
                  [](RemovalBench& b) {
                      EXPECT_EQ(b.ws->faults.Calls("SetPrinterA"), 0);
                      EXPECT_FALSE(KeyThere("HKCU\\Printers\\Settings\\Office"));
                  }},
        FaultCase{"SetPrinterFails", "SetPrinterA", "",
                  [](RemovalBench& b) {
                      EXPECT_FALSE(PrinterThere(b));
                      EXPECT_FALSE(KeyThere(kPrinterKeyOffice));
                      EXPECT_FALSE(KeyThere("HKLM\\SOFTWARE\\Brontal\\Data\\Office"));
                  }},
        FaultCase{"DriverLibraryDoesNotLoad", "LoadLibraryA", "OFFICE.DLL",
                  [](RemovalBench& b) {
                      // The registry cleanup still takes the printer's key: the spooler forgets it at its restart.
                      EXPECT_FALSE(KeyThere(kPrinterKeyOffice));
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\3\\BRUI.DLL"));
                  }},
        FaultCase{"DriverExportMissing", "GetProcAddress", "DeletePrinter",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(PrinterThere(b));
                      EXPECT_FALSE(KeyThere("HKU\\" + std::string(kUserSid) + "\\Printers\\Settings\\Printers\\Office"));
                  }},
        FaultCase{"DataLocationUnreadable", "RegQueryValueExA", "_NXDataLocation",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(KeyThere("HKLM\\SOFTWARE\\Brontal\\Data\\Office"));
                      EXPECT_FALSE(KeyThere(kPrinterKeyOffice));
                  }},
        FaultCase{"PrinterDataKeyDoesNotOpen", "RegOpenKeyExA", "PrinterDriverData",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(KeyThere("HKCU\\SOFTWARE\\Brontal\\Data\\Office"));
                      EXPECT_FALSE(KeyThere("HKLM\\SYSTEM\\ControlSet003\\Control\\Print\\Printers\\Office"));
                  }},
        FaultCase{"EnumerationFailsInEveryTree", "RegEnumKeyExA", "",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(KeyThere("HKCU\\Printers\\Settings\\Office"));
                      EXPECT_FALSE(ValueThere("HKCU\\Printers\\DevModes2", "Office"));
                  }},
        FaultCase{"OneKeyRefusesDeletion", "RegDeleteKeyA", "Settings\\Printers\\Office",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(KeyThere("HKCU\\Printers\\Settings\\Printers\\Office"));
                      EXPECT_FALSE(KeyThere("HKCU\\Printers\\Settings\\Office"));
                      EXPECT_FALSE(KeyThere("HKU\\" + std::string(kUserSid) + "\\Printers\\Settings\\Printers\\PS Driver"));
                  }},
        FaultCase{"ValuesRefuseDeletion", "RegDeleteValueA", "",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(ValueThere("HKCU\\Printers\\DevModes2", "Office"));
                      EXPECT_TRUE(ValueThere("HKLM\\SYSTEM\\CurrentControlSet\\Control\\InstalledFiles", "BRUI.DLL"));
                      EXPECT_FALSE(KeyThere("HKCU\\Printers\\Settings\\Office"));
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\3\\BRUI.DLL"));
                  }},
        FaultCase{"ComputerNameUnreadable", "GetComputerNameA", "",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(ValueThere("HKCU\\Printers\\Devmodes2", "\\\\WORKSTATION\\Office,LocalsplOnly"));
                      EXPECT_FALSE(KeyThere("HKU\\.Default\\Printers\\Settings\\Drivers\\PS Driver"));
                  }},
        FaultCase{"FileInUseGoesAtRestart", "DeleteFileA", "BRUI.DLL",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(FileThere(b, b.driverDir + "\\3\\BRUI.DLL"));
                      EXPECT_FALSE(ValueThere("HKLM\\SYSTEM\\CurrentControlSet\\Control\\InstalledFiles", "BRUI.DLL"));
                      bool pending = false;
                      for (const auto& op : winsim::PendingFileRenames(b.ws->registry))
                          pending = pending || op.first.find("\\3\\BRUI.DLL") != std::string::npos;
                      EXPECT_TRUE(pending);
                  }},
        FaultCase{"RestartSchedulingFails", "MoveFileExA", "",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(winsim::PendingFileRenames(b.ws->registry).empty());
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\3\\BRUI.DLL"));
                      EXPECT_FALSE(FileThere(b, b.ws->system.windowsDir + "\\inf\\oem.inf"));
                  }},
        FaultCase{"WindowsFolderUnknown", "GetWindowsDirectoryA", "",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(FileThere(b, b.ws->system.windowsDir + "\\inf\\oem.inf"));
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\3\\BRUI.DLL"));
                  }},
        FaultCase{"TempFolderUnknown", "GetTempPathA", "",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(FileThere(b, b.ws->system.tempDir + "\\OFFICE.WMK"));
                      EXPECT_FALSE(FileThere(b, b.ws->system.windowsDir + "\\inf\\oem.inf"));
                  }},
        // "A, else B": B is looked for only when A does not open.
        FaultCase{"SettingsProbeFailsSoTheOtherSpellingGoes", "RegOpenKeyExA",
                  "HKCU\\Printers\\Settings\\Drivers\\PS Driver",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(KeyThere("HKCU\\Printers\\Settings\\Drivers\\PS Driver"));
                      EXPECT_FALSE(KeyThere("HKCU\\Printers\\Settings\\PS Driver"));
                      EXPECT_FALSE(KeyThere("HKU\\.Default\\Printers\\Settings\\Drivers\\PS Driver"));
                  },
                  1},
        FaultCase{"PresenceProbeFails", "RegOpenKeyExA", "\\Printers\\Settings\\Printers\\Office",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(KeyThere("HKCU\\Printers\\Settings\\Printers\\Office"));
                      EXPECT_TRUE(KeyThere("HKU\\" + std::string(kUserSid) + "\\Printers\\Settings\\Printers\\Office"));
                      EXPECT_FALSE(KeyThere("HKCU\\Printers\\Settings\\Office"));
                      EXPECT_FALSE(ValueThere("HKU\\" + std::string(kUserSid) + "\\Printers\\DevModes2", "PS Driver"));
                  }},
        FaultCase{"InstalledFilesDoesNotOpen", "RegOpenKeyExA", "Control\\InstalledFiles",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(ValueThere(kInstalledFiles, "BRUI.DLL"));
                      EXPECT_FALSE(ValueThere(kKnown16Dlls, "BRUI.DLL"));
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\3\\BRUI.DLL"));
                  }},
        FaultCase{"Known16DllsDoesNotOpen", "RegOpenKeyExA", "Known16DLLs",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(ValueThere(kKnown16Dlls, "BRUI.DLL"));
                      EXPECT_FALSE(ValueThere(kInstalledFiles, "BRUI.DLL"));
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\3\\BRUI.DLL"));
                  }},
        FaultCase{"DevModesDoesNotOpen", "RegOpenKeyExA", "HKCU\\Printers\\DevModes2\\",
                  [](RemovalBench&) {
                      EXPECT_TRUE(ValueThere("HKCU\\Printers\\DevModes2", "PS Driver"));
                      EXPECT_TRUE(ValueThere("HKCU\\Printers\\DevModes2", "Office"));
                      EXPECT_FALSE(ValueThere("HKCU\\Printers\\DevModePerUser", "Office"));
                      EXPECT_FALSE(ValueThere("HKCU\\Printers\\Devmodes2", "\\\\WORKSTATION\\Office,LocalsplOnly"));
                      EXPECT_FALSE(ValueThere("HKU\\.DEFAULT\\Printers\\DevModes2", "Office"));
                  }},
        // One opening for both computer-qualified values: a failed one skips both.
        FaultCase{"PerUserDevModesDoNotOpen", "RegOpenKeyExA", "HKCU\\Printers\\DevModePerUser\\",
                  [](RemovalBench&) {
                      for (const char* name : {"PS Driver", "Office", "\\\\WORKSTATION\\Office,LocalOnly,DrvConvert",
                                               "\\\\WORKSTATION\\Office,LocalsplOnly"})
                          EXPECT_TRUE(ValueThere("HKCU\\Printers\\DevModePerUser", name)) << name;
                      EXPECT_FALSE(ValueThere("HKCU\\Printers\\Devmodes2", "\\\\WORKSTATION\\Office,LocalsplOnly"));
                      EXPECT_FALSE(ValueThere("HKU\\.DEFAULT\\Printers\\DevModePerUser", "Office"));
                  }},
        // The connection: its cached copy under the LanMan provider names the data location.
        FaultCase{"ConnectionCacheDoesNotOpen", "RegOpenKeyExA", "\\srv\\Printers\\q\\PrinterDriverData",
                  [](RemovalBench&) {
                      EXPECT_TRUE(KeyThere(kRemoteMachine));
                      EXPECT_TRUE(KeyThere(kRemoteUser));
                      EXPECT_TRUE(KeyThere(kExtInfoKey));
                      EXPECT_FALSE(KeyThere(kCached));
                      EXPECT_FALSE(KeyThere("HKCU\\Printers\\Connections\\,,srv,q"));
                      EXPECT_FALSE(KeyThere("HKCU\\Printers\\Settings\\Drivers\\PS Driver"));
                  },
                  1, kConnection},
        FaultCase{"ConnectionLocationUnreadable", "RegQueryValueExA", "\\q\\PrinterDriverData\\_NXStorage",
                  [](RemovalBench&) {
                      EXPECT_TRUE(KeyThere(kRemoteMachine));
                      EXPECT_TRUE(KeyThere(kRemoteUser));
                      EXPECT_FALSE(KeyThere(kCached));
                  },
                  -1, kConnection},
        // The data location under HKCU goes whether or not it opened for reading the file's name.
        FaultCase{"ConnectionUserDataDoesNotOpen", "RegOpenKeyExA", kRemoteUser.c_str(),
                  [](RemovalBench&) {
                      EXPECT_TRUE(KeyThere(kExtInfoKey));
                      EXPECT_FALSE(KeyThere(kRemoteUser));
                      EXPECT_FALSE(KeyThere(kRemoteMachine));
                      EXPECT_FALSE(KeyThere(kCached));
                  },
                  1, kConnection},
        FaultCase{"ExtInfoNameUnreadable", "RegQueryValueExA", "ExtInfofileName",
                  [](RemovalBench&) {
                      EXPECT_TRUE(KeyThere(kExtInfoKey));
                      EXPECT_FALSE(KeyThere(kRemoteUser));
                      EXPECT_FALSE(KeyThere(kCached));
                  },
                  -1, kConnection},
        FaultCase{"ExtInfoFileDoesNotOpen", "CreateFileA", "ext.txt",
                  [](RemovalBench&) {
                      EXPECT_TRUE(KeyThere(kExtInfoKey));
                      EXPECT_FALSE(KeyThere(kRemoteUser));
                      EXPECT_FALSE(KeyThere(kRemoteMachine));
                      EXPECT_FALSE(KeyThere(kCached));
                  },
                  -1, kConnection},
        FaultCase{"ExtInfoFileUnreadable", "ReadFile", "ext.txt",
                  [](RemovalBench&) {
                      EXPECT_TRUE(KeyThere(kExtInfoKey));
                      EXPECT_FALSE(KeyThere(kRemoteUser));
                      EXPECT_FALSE(KeyThere(kCached));
                  },
                  -1, kConnection},
        // Windows 9x: the spooler deletes the printer; the registry holds two of its keys.
        FaultCase{"Windows9xPrinterDoesNotOpen", "OpenPrinterA", "Office",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(PrinterThere(b));
                      EXPECT_FALSE(KeyThere(kPrinterKeyOffice));
                      EXPECT_FALSE(KeyThere(kLanMan + "\\PS Driver"));
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\BRUI.DLL"));
                  },
                  -1, "Office", winsim::Os::Win98},
        FaultCase{"Windows9xSpoolerRefusesTheDeletion", "DeletePrinter", "",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(PrinterThere(b));
                      EXPECT_FALSE(KeyThere(kLanMan + "\\PS Driver"));
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\BRUI.DLL"));
                  },
                  -1, "Office", winsim::Os::Win98},
        FaultCase{"Windows9xLanManKeyDoesNotOpen", "RegOpenKeyExA", "LanMan\\PS Driver",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(KeyThere(kLanMan + "\\PS Driver"));
                      EXPECT_FALSE(KeyThere(kPrinterKeyOffice));
                      EXPECT_FALSE(PrinterThere(b));
                      EXPECT_FALSE(KeyThere("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\"
                                            "Windows 4.0\\Drivers\\PS Driver"));
                  },
                  -1, "Office", winsim::Os::Win98},
        // Windows 9x has no deferred deletion: a file in use stays, its list entries go.
        FaultCase{"Windows9xFileInUseStays", "DeleteFileA", "BRUI.DLL",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(FileThere(b, b.driverDir + "\\BRUI.DLL"));
                      EXPECT_TRUE(winsim::PendingFileRenames(b.ws->registry).empty());
                      EXPECT_FALSE(ValueThere(kInstalledFiles, "BRUI.DLL"));
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\OFFICE.PPD"));
                      EXPECT_FALSE(PrinterThere(b));
                  },
                  -1, "Office", winsim::Os::Win98},
        FaultCase{"Windows9xWindowsFolderUnknown", "GetWindowsDirectoryA", "",
                  [](RemovalBench& b) {
                      EXPECT_TRUE(FileThere(b, b.ws->system.windowsDir + "\\Temp\\OFFICE.wmk"));
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\BRUI.DLL"));
                      EXPECT_FALSE(PrinterThere(b));
                  },
                  -1, "Office", winsim::Os::Win98},
        // Refused releases: nothing depends on them, the removal goes on in full.
        FaultCase{"PrinterHandlesRefuseToClose", "ClosePrinter", "",
                  [](RemovalBench& b) {
                      EXPECT_FALSE(Shared(b));
                      EXPECT_FALSE(PrinterThere(b));
                      EXPECT_FALSE(KeyThere(kPrinterKeyOffice));
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\3\\BRUI.DLL"));
                  }},
        FaultCase{"ConnectionHandleRefusesToClose", "ClosePrinter", "",
                  [](RemovalBench&) {
                      EXPECT_FALSE(KeyThere(kCached));
                      EXPECT_FALSE(KeyThere(kRemoteUser));
                      EXPECT_FALSE(KeyThere(kExtInfoKey));
                  },
                  -1, kConnection},
        FaultCase{"DriverLibraryRefusesToUnload", "FreeLibrary", "OFFICE.DLL",
                  [](RemovalBench& b) {
                      EXPECT_FALSE(PrinterThere(b));
                      EXPECT_FALSE(KeyThere(kPrinterKeyOffice));
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\3\\BRUI.DLL"));
                  }},
        FaultCase{"KeysRefuseToClose", "RegCloseKey", "",
                  [](RemovalBench& b) {
                      EXPECT_FALSE(KeyThere(kPrinterKeyOffice));
                      EXPECT_FALSE(KeyThere("HKLM\\SOFTWARE\\Brontal\\Data\\Office"));
                      EXPECT_FALSE(KeyThere("HKCU\\Printers\\Settings\\Office"));
                      EXPECT_FALSE(ValueThere("HKCU\\Printers\\DevModes2", "Office"));
                      EXPECT_FALSE(ValueThere(kInstalledFiles, "BRUI.DLL"));
                      EXPECT_FALSE(FileThere(b, b.driverDir + "\\3\\BRUI.DLL"));
                  }},
        FaultCase{"ExtInfoFileRefusesToClose", "CloseHandle", "",
                  [](RemovalBench&) {
                      EXPECT_FALSE(KeyThere(kExtInfoKey));
                      EXPECT_FALSE(KeyThere(kRemoteUser));
                  },
                  -1, kConnection}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

}  // namespace
