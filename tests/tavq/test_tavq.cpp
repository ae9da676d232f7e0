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
