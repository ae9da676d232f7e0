// tavq's removal sequence on a simulated workstation: ending the application, refusing, exports, languages.
#include "tavq_test.h"

#include "tavq.h"

#include <functional>

namespace {

const char* const kEnglishText =
    "The Tallyvue is currently running.\n Please shut down the application before attempting to delete it.";

TEST_F(TavqTest, NotRunningRemovesEverythingAndTouchesNoProcess) {
    PlaceTallyvueTraces(*m);
    winsim::SimProcess& notepad = m->processes.Start("C:\\WINDOWS\\notepad.exe");
    m->registry.SetDword(kTallyvueSettingsKey, "PID", notepad.pid);

    EXPECT_EQ(1, Call());

    EXPECT_TRUE(TallyvueGone(*m));
    EXPECT_TRUE(notepad.running);
    EXPECT_EQ(0, notepad.opens);
    EXPECT_EQ(0, m->faults.Calls("OpenProcess"));
    EXPECT_EQ(0, m->faults.Calls("RegQueryValueExW"));
    EXPECT_FALSE(Traced("RegOpenKeyExW(HKCU\\SOFTWARE\\Norix\\TALLYVUE)"));
    EXPECT_TRUE(m->ui.MessageBoxes().empty());
    ExpectNothingLeft();
}

TEST_F(TavqTest, RunningApplicationIsEndedAndRemoved) {
    winsim::SimProcess& app = StartTallyvue(*m, 300);

    EXPECT_EQ(1, Call());

    EXPECT_FALSE(app.running);
    EXPECT_EQ(0u, app.exitCode);
    EXPECT_EQ(1, app.terminations);
    EXPECT_TRUE(Traced("RegOpenKeyExW(HKCU\\SOFTWARE\\Norix\\TALLYVUE)"));
    // Its program file was locked until it had exited: the files and the folder are gone all the same.
    EXPECT_TRUE(TallyvueGone(*m));
    EXPECT_FALSE(m->processes.MutexExists(TallyvueMutexName("CORP", "jdoe")));
    EXPECT_TRUE(m->ui.MessageBoxes().empty());
    ExpectNothingLeft();
}

TEST_F(TavqTest, ApplicationThatNeverExitsIsWaitedForAFewSecondsOnly) {
    winsim::SimProcess& app = StartTallyvue(*m);
    app.hangs = true;
    uint64_t before = m->now;

    EXPECT_EQ(1, Call());

    uint64_t waited = m->now - before;
    EXPECT_GE(waited, 1000u);
    EXPECT_LE(waited, 10000u);
    // The locked program file stays, and with it the folder; everything else goes.
    EXPECT_TRUE(m->files.Exists(TallyvueFolder(*m) + "\\Tallyvue.exe"));
    EXPECT_FALSE(m->files.Exists(TallyvueFolder(*m) + "\\Tallyvue.chm"));
    EXPECT_FALSE(m->files.Exists(TallyvueShortcut(*m)));
    EXPECT_FALSE(m->registry.KeyExists(kTallyvueSettingsKey));
    ExpectNothingLeft();
}

struct Refusal {
    const char* name;
    std::function<void(winsim::Machine&, winsim::SimProcess& app)> arrange;
    bool settingsKeyStays;
};

void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.name;
}

std::string Bytes(DWORD value, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(&value), sizeof(value));
    bytes.resize(size, '\0');
    return bytes;
}

const Refusal kRefusals[] = {
    {"SettingsKeyMissing", [](winsim::Machine& m, winsim::SimProcess&) { m.registry.DeleteTree(kTallyvueSettingsKey); },
     false},
    {"PidMissing", [](winsim::Machine& m, winsim::SimProcess&) { m.registry.DeleteValue(kTallyvueSettingsKey, "PID"); },
     true},
    {"PidAsBinary",
     [](winsim::Machine& m, winsim::SimProcess& app) {
         m.registry.SetValue(kTallyvueSettingsKey, "PID", REG_BINARY, Bytes(app.pid, 4));
     },
     true},
    {"PidAsString",
     [](winsim::Machine& m, winsim::SimProcess& app) {
         m.registry.SetValue(kTallyvueSettingsKey, "PID", REG_SZ, Bytes(app.pid, 2) + std::string(2, '\0'));
     },
     true},
    {"PidOfTwoBytes",
     [](winsim::Machine& m, winsim::SimProcess& app) {
         m.registry.SetValue(kTallyvueSettingsKey, "PID", REG_DWORD, Bytes(app.pid, 2));
     },
     true},
    {"PidOfEightBytes",
     [](winsim::Machine& m, winsim::SimProcess& app) {
         m.registry.SetValue(kTallyvueSettingsKey, "PID", REG_QWORD, Bytes(app.pid, 8));
     },
     true},
    {"StalePid", [](winsim::Machine& m, winsim::SimProcess&) { m.registry.SetDword(kTallyvueSettingsKey, "PID", 0x7770); },
     true},
    {"PidOfAnotherProgram",
     [](winsim::Machine& m, winsim::SimProcess&) {
         winsim::SimProcess& other = m.processes.Start("C:\\Program Files\\Ledger\\ledger.exe");
         m.registry.SetDword(kTallyvueSettingsKey, "PID", other.pid);
     },
     true},
    {"ProcessRefusesOpening", [](winsim::Machine&, winsim::SimProcess& app) { app.denyOpen = true; }, true},
    {"TerminationRefused",
     [](winsim::Machine& m, winsim::SimProcess&) { m.faults.Fail("TerminateProcess", ERROR_ACCESS_DENIED); }, true},
};

class TavqRefusal : public TavqTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(TavqRefusal, ShowsTheNoticeReturnsZeroAndRemovesNothing) {
    winsim::SimProcess& app = StartTallyvue(*m);
    GetParam().arrange(*m, app);
    m->user.Answer(IDOK, "currently running");

    EXPECT_EQ(0, Call());

    ASSERT_EQ(1u, m->ui.MessageBoxes().size());
    const winsim::MessageBoxRecord& box = m->ui.MessageBoxes()[0];
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ("Norix Tallyvue", box.captionUtf8);
    EXPECT_EQ(kEnglishText, box.textUtf8);
    EXPECT_EQ(UINT(MB_OK), box.type);
    EXPECT_TRUE(app.running);
    EXPECT_EQ(0, app.terminations);
    for (const auto& p : m->processes.All())
        EXPECT_TRUE(p->running) << p->image;
    for (const char* file : kTallyvueFiles)
        EXPECT_TRUE(m->files.Exists(TallyvueFolder(*m) + "\\" + file)) << file;
    EXPECT_TRUE(m->files.Exists(TallyvueShortcut(*m)));
    EXPECT_TRUE(m->registry.ValueExists(kTallyvueRunKey, kTallyvueRunValue));
    EXPECT_EQ(GetParam().settingsKeyStays, m->registry.KeyExists(kTallyvueSettingsKey));
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(Cases, TavqRefusal, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

// Each Windows the library runs on, and the process list it learns the program's name from there.
struct Platform {
    const char* name;
    winsim::Os os;
    const char* listCall;  // the call that read the list
    bool shellTreeDeletion;  // the settings tree goes through shlwapi's SHDeleteKeyW
};

void PrintTo(const Platform& c, std::ostream* os) {
    *os << c.name;
}

const Platform kPlatforms[] = {
    {"WindowsNt4", winsim::Os::NT4, "NtQuerySystemInformation", false},
    {"Windows98", winsim::Os::Win98, "Process32First", false},
    {"WindowsMe", winsim::Os::WinMe, "Process32First", false},
    {"Windows2000", winsim::Os::Win2000, "Process32First", true},
    {"WindowsXp", winsim::Os::WinXP, "Process32FirstW", true},
    {"Windows7", winsim::Os::Win7, "Process32FirstW", true},
};

class TavqPlatform : public TavqTest, public ::testing::WithParamInterface<Platform> {
protected:
    TavqPlatform() {
        m->system.SetOs(GetParam().os);
        m->modules.InstallSystemLibraries();
        m->system.env["USERDOMAIN"] = "CORP";
        m->files.CreateDirectory(m->shell.DesktopDirectory());
    }
};

TEST_P(TavqPlatform, RunningApplicationIsEndedAndRemoved) {
    winsim::SimProcess& app = StartTallyvue(*m);

    EXPECT_EQ(1, Call());

    EXPECT_FALSE(app.running);
    EXPECT_EQ(1, app.terminations);
    EXPECT_TRUE(TallyvueGone(*m));
    EXPECT_TRUE(m->ui.MessageBoxes().empty());
    EXPECT_GT(m->faults.Calls(GetParam().listCall), 0);
    EXPECT_EQ(GetParam().shellTreeDeletion, m->faults.Calls("SHDeleteKeyW") > 0);
    ExpectNothingLeft();
}

TEST_P(TavqPlatform, AnotherProgramUnderTheIdIsLeftRunning) {
    StartTallyvue(*m);
    winsim::SimProcess& other = m->processes.Start("C:\\Program Files\\Ledger\\ledger.exe");
    m->registry.SetDword(kTallyvueSettingsKey, "PID", other.pid);
    m->user.Answer(IDOK, "currently running");

    EXPECT_EQ(0, Call());

    EXPECT_TRUE(other.running);
    EXPECT_EQ(0, other.opens);
    EXPECT_EQ(1u, m->ui.MessageBoxes().size());
    EXPECT_TRUE(TallyvueIntact(*m));
    ExpectNothingLeft();
}

TEST_P(TavqPlatform, WithoutAnyProcessListNothingIsEnded) {
    winsim::SimProcess& app = StartTallyvue(*m);
    // No list answers: the snapshot and the system list are both refused.
    m->faults.Fail("CreateToolhelp32Snapshot", ERROR_NOT_ENOUGH_MEMORY);
    m->faults.Fail("NtQuerySystemInformation", ERROR_ACCESS_DENIED);
    m->user.Answer(IDOK, "currently running");

    EXPECT_EQ(0, Call());

    EXPECT_TRUE(app.running);
    EXPECT_EQ(0, app.opens);
    ASSERT_EQ(1u, m->ui.MessageBoxes().size());
    EXPECT_EQ(kEnglishText, m->ui.MessageBoxes()[0].textUtf8);
    EXPECT_TRUE(TallyvueIntact(*m));
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(Windows, TavqPlatform, ::testing::ValuesIn(kPlatforms),
                         [](const ::testing::TestParamInfo<Platform>& info) { return std::string(info.param.name); });

// NT 4 without the system list's export (a damaged or cut-down ntdll): no way to tell the program.
TEST_F(TavqTest, Nt4WithoutTheSystemListShowsTheNotice) {
    m->system.SetOs(winsim::Os::NT4);
    m->system.env["USERDOMAIN"] = "CORP";
    m->files.CreateDirectory(m->shell.DesktopDirectory());
    winsim::SimProcess& app = StartTallyvue(*m);
    m->faults.Fail("GetProcAddress", ERROR_PROC_NOT_FOUND, -1, 0,
                   [](const std::string& name) { return name == "NtQuerySystemInformation"; });
    m->user.Answer(IDOK, "currently running");

    EXPECT_EQ(0, Call());

    EXPECT_TRUE(app.running);
    EXPECT_EQ(0, app.opens);
    EXPECT_EQ(1u, m->ui.MessageBoxes().size());
    EXPECT_EQ(0, m->faults.Calls("NtQuerySystemInformation"));
    EXPECT_TRUE(TallyvueIntact(*m));
}

// A Japanese Windows 98 reports full paths in code page 932, where a trail byte may be 0x5C: a program
// "x表Tallyvue.exe" is not the application, though its last bytes after a 0x5C spell its name.
TEST_F(TavqTest, Windows98TellsTrailBytesFromBackslashes) {
    m->system.SetOs(winsim::Os::Win98);
    m->system.SetLocale(0x0411);
    m->files.CreateDirectory(m->shell.DesktopDirectory());
    winsim::SimProcess& app = StartTallyvue(*m);
    winsim::SimProcess& other = m->processes.Start("C:\\Tools\\x\xE8\xA1\xA8Tallyvue.exe");
    m->registry.SetDword(kTallyvueSettingsKey, "PID", other.pid);
    m->user.Answer(IDOK);

    EXPECT_EQ(0, Call());

    EXPECT_TRUE(other.running);
    EXPECT_TRUE(app.running);
    EXPECT_EQ(1u, m->ui.MessageBoxes().size());

    // The application itself, in a folder whose name ends in such a byte, is found and ended.
    winsim::SimProcess& inFolder = m->processes.Start("C:\\\xE8\xA1\xA8\\Tallyvue.exe");
    m->registry.SetDword(kTallyvueSettingsKey, "PID", inFolder.pid);
    EXPECT_EQ(1, Call());
    EXPECT_FALSE(inFolder.running);
}

// The system list of NT 4 is input: entries that point outside it, or names that do, prove nothing.
struct HostileList {
    const char* name;
    std::function<void(BYTE* buffer, ULONG capacity, ULONG used)> edit;
};

void PrintTo(const HostileList& c, std::ostream* os) {
    *os << c.name;
}

SYSTEM_PROCESS_INFORMATION EntryAt(const BYTE* at) {
    SYSTEM_PROCESS_INFORMATION info;
    memcpy(&info, at, sizeof(info));
    return info;
}

void PutEntry(BYTE* at, const SYSTEM_PROCESS_INFORMATION& info) {
    memcpy(at, &info, sizeof(info));
}

// Applies `change` to every entry of the list.
void EachEntry(BYTE* buffer, const std::function<void(SYSTEM_PROCESS_INFORMATION&, BYTE* at)>& change) {
    BYTE* at = buffer;
    for (;;) {
        SYSTEM_PROCESS_INFORMATION info = EntryAt(at);
        ULONG next = info.NextEntryOffset;
        change(info, at);
        PutEntry(at, info);
        if (!next)
            return;
        at += next;
    }
}

const HostileList kHostileLists[] = {
    {"NextEntryBeyondTheList",
     [](BYTE* b, ULONG, ULONG used) {
         SYSTEM_PROCESS_INFORMATION first = EntryAt(b);
         first.NextEntryOffset = used + 64;
         PutEntry(b, first);
     }},
    {"NextEntryTooShortToHoldOne",
     [](BYTE* b, ULONG, ULONG) {
         SYSTEM_PROCESS_INFORMATION first = EntryAt(b);
         first.NextEntryOffset = 4;
         PutEntry(b, first);
     }},
    {"NamesPointingOutsideTheList",
     [](BYTE* b, ULONG capacity, ULONG) {
         EachEntry(b, [&](SYSTEM_PROCESS_INFORMATION& info, BYTE*) {
             if (info.ImageName.Buffer)
                 info.ImageName.Buffer = reinterpret_cast<WCHAR*>(b + capacity);
         });
     }},
    {"NamesRunningPastTheEnd",
     [](BYTE* b, ULONG, ULONG) {
         EachEntry(b, [&](SYSTEM_PROCESS_INFORMATION& info, BYTE*) {
             if (info.ImageName.Buffer)
                 info.ImageName.Length = 0xFFFE;
         });
     }},
    {"OddNameLengths",
     [](BYTE* b, ULONG, ULONG) {
         EachEntry(b, [&](SYSTEM_PROCESS_INFORMATION& info, BYTE*) {
             if (info.ImageName.Buffer)
                 info.ImageName.Length = 3;
         });
     }},
};

class TavqHostileList : public TavqTest, public ::testing::WithParamInterface<HostileList> {};

TEST_P(TavqHostileList, ShowsTheNoticeAndEndsNothing) {
    m->system.SetOs(winsim::Os::NT4);
    m->system.env["USERDOMAIN"] = "CORP";
    m->files.CreateDirectory(m->shell.DesktopDirectory());
    winsim::SimProcess& app = StartTallyvue(*m);
    m->processes.editProcessList = GetParam().edit;
    m->user.Answer(IDOK, "currently running");

    EXPECT_EQ(0, Call());

    EXPECT_TRUE(app.running);
    EXPECT_EQ(0, app.opens);
    EXPECT_EQ(1u, m->ui.MessageBoxes().size());
    EXPECT_TRUE(TallyvueIntact(*m));
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(Cases, TavqHostileList, ::testing::ValuesIn(kHostileLists),
                         [](const ::testing::TestParamInfo<HostileList>& info) { return std::string(info.param.name); });

// A library named shlwapi.dll beside the program is not the shell's: only the system folder's is loaded.
bool g_plantedCalled = false;

LONG WINAPI PlantedDeleteKey(HKEY, LPCWSTR) {
    g_plantedCalled = true;
    return ERROR_SUCCESS;
}

TEST_F(TavqTest, ShellLibraryComesFromTheSystemFolderOnly) {
    winsim::ModuleImage planted;
    planted.exports["SHDeleteKeyW"] = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(&PlantedDeleteKey));
    m->modules.Register("C:\\Program Files\\Trellin\\shlwapi.dll", planted);
    m->files.currentDirectory = "C:\\Program Files\\Trellin";
    StartTallyvue(*m);
    g_plantedCalled = false;

    EXPECT_EQ(1, Call());

    EXPECT_FALSE(g_plantedCalled);
    EXPECT_EQ(1, m->faults.Calls("SHDeleteKeyW"));
    EXPECT_TRUE(TallyvueGone(*m));
    EXPECT_FALSE(m->modules.IsLoaded("C:\\Program Files\\Trellin\\shlwapi.dll"));
}

// Without the shell library's tree deletion (a bare NT 4.0) the library walks the settings tree itself: a
// tree deeper than any the application makes is cut at a bound, and the rest of the removal goes on.
TEST_F(TavqTest, Nt4DeletesTheSettingsTreeItselfWithinABound) {
    m->system.SetOs(winsim::Os::NT4);
    m->system.env["USERDOMAIN"] = "CORP";
    m->files.CreateDirectory(m->shell.DesktopDirectory());
    winsim::SimProcess& app = StartTallyvue(*m);
    std::string deep = kTallyvueSettingsKey;
    for (int level = 0; level < 40; level++)
        deep += "\\Level" + std::to_string(level);
    m->registry.SetDword(deep, "Depth", 40);

    EXPECT_EQ(1, Call());

    EXPECT_FALSE(app.running);
    EXPECT_FALSE(m->files.Exists(TallyvueShortcut(*m)));
    EXPECT_FALSE(m->files.Exists(TallyvueFolder(*m)));
    EXPECT_FALSE(m->registry.ValueExists(kTallyvueRunKey, kTallyvueRunValue));
    EXPECT_FALSE(m->registry.KeyExists(std::string(kTallyvueSettingsKey) + "\\Jobs"));
    EXPECT_TRUE(m->registry.KeyExists(deep));
    ExpectNothingLeft();
}

// A list larger than the first buffer, from a system that does not say how much it needs: the buffer grows.
TEST_F(TavqTest, Nt4ListLargerThanTheFirstBufferIsReadWhole) {
    m->system.SetOs(winsim::Os::NT4);
    m->system.env["USERDOMAIN"] = "CORP";
    m->files.CreateDirectory(m->shell.DesktopDirectory());
    for (int i = 0; i < 1500; i++)
        m->processes.Start("C:\\WINNT\\system32\\service-host-with-a-long-name-" + std::to_string(i) + ".exe");
    winsim::SimProcess& app = StartTallyvue(*m);
    m->processes.listReportsSize = false;

    EXPECT_EQ(1, Call());

    EXPECT_FALSE(app.running);
    EXPECT_GE(m->faults.Calls("NtQuerySystemInformation"), 2);
    EXPECT_TRUE(TallyvueGone(*m));
    ExpectNothingLeft();
}

class TavqExport : public TavqTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(TavqExport, EndsAndRemovesLikeDelete) {
    winsim::SimProcess& app = StartTallyvue(*m);

    EXPECT_EQ(1, Call(GetParam()));

    EXPECT_FALSE(app.running);
    EXPECT_TRUE(TallyvueGone(*m));
    ExpectNothingLeft();
}

TEST_P(TavqExport, RefusesLikeDelete) {
    StartTallyvue(*m);
    m->registry.DeleteValue(kTallyvueSettingsKey, "PID");
    m->user.Answer(IDOK);

    EXPECT_EQ(0, Call(GetParam()));

    EXPECT_EQ(1u, m->ui.MessageBoxes().size());
    EXPECT_TRUE(TallyvueIntact(*m));
}

INSTANTIATE_TEST_SUITE_P(Names, TavqExport,
                         ::testing::Values("Delete", "DeleteW", "run", "autorun", "runW", "autorunW"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

struct Language {
    const char* name;
    LCID lcid;
    const char* text;
};

const Language kLanguages[] = {
    {"English", 0x0409, kEnglishText},
    {"German", 0x0407,
     "Tallyvue ist momentan aktiv.\n Beenden Sie die Anwendung, bevor Sie versuchen, sie zu löschen."},
    {"Spanish", 0x0C0A, "Tallyvue se está ejecutando en este momento.\n Cierre la aplicación antes de intentar eliminarla."},
    {"French", 0x040C,
     "Tallyvue est en cours d'utilisation.\n Veuillez fermer cette application avant de tenter de la supprimer."},
    {"Italian", 0x0410, "Tallyvue è in esecuzione.\n Chiudere l'applicazione prima di provare ad eliminarla."},
    {"Dutch", 0x0413, "Tallyvue wordt momenteel uitgevoerd.\n Sluit het programma voordat u het verwijdert."},
    {"Portuguese", 0x0416, "O Tallyvue está sendo executado no momento.\n Encerre o aplicativo antes de tentar excluí-lo."},
    {"Japanese", 0x0411, "Tallyvueが現在起動しています。\n 削除する前にアプリケーションを閉じてください。"},
};

void PrintTo(const Language& c, std::ostream* os) {
    *os << c.name;
}

class TavqLanguage : public TavqTest, public ::testing::WithParamInterface<Language> {};

TEST_P(TavqLanguage, NoticeInTheUsersLanguage) {
    m->system.SetLocale(GetParam().lcid);
    StartTallyvue(*m);
    m->registry.DeleteValue(kTallyvueSettingsKey, "PID");
    m->user.Answer(IDOK);

    EXPECT_EQ(0, Call());

    ASSERT_EQ(1u, m->ui.MessageBoxes().size());
    EXPECT_EQ("Norix Tallyvue", m->ui.MessageBoxes()[0].captionUtf8);
    EXPECT_EQ(GetParam().text, m->ui.MessageBoxes()[0].textUtf8);
}

INSTANTIATE_TEST_SUITE_P(Table, TavqLanguage, ::testing::ValuesIn(kLanguages),
                         [](const ::testing::TestParamInfo<Language>& info) { return std::string(info.param.name); });

TEST_F(TavqTest, WithoutStringTableTheCompiledInTextsAreShown) {
    RegisterTavq(*m, kDriverCopy, "");
    StartTallyvue(*m);
    m->registry.DeleteValue(kTallyvueSettingsKey, "PID");
    m->user.Answer(IDOK);

    EXPECT_EQ(0, Call());

    ASSERT_EQ(1u, m->ui.MessageBoxes().size());
    EXPECT_EQ("Norix Tallyvue", m->ui.MessageBoxes()[0].captionUtf8);
    EXPECT_EQ("The Tallyvue is currently running. Please shut down the application before attempting to delete it.",
              m->ui.MessageBoxes()[0].textUtf8);
}

TEST_F(TavqTest, WithoutShortcutNameTheFallBackShortcutIsDeleted) {
    RegisterTavq(*m, kDriverCopy, NO_SHORTCUT_NAME_RES);
    std::string desktop = m->shell.DesktopDirectory();
    m->files.WriteFile(desktop + "\\Shortcut to Tallyvue.lnk", "lnk");
    m->files.WriteFile(desktop + "\\Tallyvue.lnk", "lnk");

    EXPECT_EQ(1, Call());

    EXPECT_FALSE(m->files.Exists(desktop + "\\Shortcut to Tallyvue.lnk"));
    EXPECT_TRUE(m->files.Exists(desktop + "\\Tallyvue.lnk"));
}

TEST_F(TavqTest, LibraryRecordsItsModuleHandleOnLoad) {
    HMODULE lib = LoadLibraryA(kDriverCopy);
    ASSERT_NE(nullptr, lib);
    EXPECT_EQ(lib, g_hModule);
    FreeLibrary(lib);
}

}  // namespace
