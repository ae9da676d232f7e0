// File removal: flagged driver files now or at the next restart, their registry lists, the temporary
// watermark files and the OEM setup information files.
#include <gtest/gtest.h>

#include <algorithm>

#include "removal_fixture.h"

namespace {

const char kInstalled[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\InstalledFiles";
const char kKnown16[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\SessionManager\\Known16DLLs";

// Paths the session manager will delete at the next restart, without their "\??\" prefix.
std::vector<std::string> PendingDeletions() {
    std::vector<std::string> out;
    for (const auto& op : winsim::PendingFileRenames(winsim::Current().registry)) {
        if (op.second.empty())
            out.push_back(op.first.substr(op.first.rfind("\\??\\", 0) == 0 ? 4 : 0));
    }
    return out;
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The removal's record of the entry's files, as the file deletion receives it: every candidate whose
// name (after the last '\') is in `names` is to be deleted; with no names, every candidate is.
std::vector<FileDecision> Deleting(CPrinterEntry& entry, std::initializer_list<const char*> names = {}) {
    std::vector<FileDecision> files;
    POSITION pos = entry.m_files.GetHeadPosition();
    while (pos) {
        CDriverFile* file = static_cast<CDriverFile*>(entry.m_files.GetNext(pos));
        std::string path = (LPCSTR)file->m_strPath;
        std::string name = path.substr(path.rfind('\\') + 1);
        FileDecision fate;
        fate.path = file->m_strPath;
        fate.folder = file->m_strBaseDir;
        fate.deleted = names.size() == 0;
        for (const char* n : names) {
            if (name == n)
                fate.deleted = TRUE;
        }
        fate.kept = !fate.deleted;
        files.push_back(fate);
    }
    return files;
}

}  // namespace

TEST(DeleteDriverFiles, DeletesFlaggedFilesAndDefersOnesInUseWithTheirListValues) {
    RemovalBench bench;
    const std::string v3 = bench.driverDir + "\\3\\";
    for (const char* name : {"BRUI.DLL", "BRHELP.HLP", "PSCRIPT5.DLL"}) {
        bench.ws->registry.SetString(kInstalled, name, "x");
        bench.ws->registry.SetString(kKnown16, name, "x");
    }
    bench.ws->files.HoldOpen(v3 + "BRUI.DLL", true);
    CPrinterEntry& office = bench.Office();
    office.DeleteDriverFiles(Deleting(office, {"BRUI.DLL", "BRHELP.HLP"}));

    EXPECT_FALSE(bench.ws->files.Exists(v3 + "BRHELP.HLP"));
    EXPECT_TRUE(bench.ws->files.Exists(v3 + "BRUI.DLL"));
    std::vector<std::string> pending = PendingDeletions();
    EXPECT_TRUE(Contains(pending, v3 + "BRUI.DLL"));
    // A flagged candidate where no file lies is handed to the restart as well.
    EXPECT_TRUE(Contains(pending, bench.driverDir + "\\BRUI.DLL"));
    EXPECT_FALSE(Contains(pending, v3 + "BRHELP.HLP"));
    for (const char* name : {"BRUI.DLL", "BRHELP.HLP"}) {
        EXPECT_FALSE(ValueThere(kInstalled, name)) << name;
        EXPECT_FALSE(ValueThere(kKnown16, name)) << name;
    }
    // Not flagged: another printer's driver still lists it.
    EXPECT_TRUE(bench.ws->files.Exists(v3 + "PSCRIPT5.DLL"));
    EXPECT_TRUE(ValueThere(kInstalled, "PSCRIPT5.DLL"));
    EXPECT_TRUE(ValueThere(kKnown16, "PSCRIPT5.DLL"));
    EXPECT_EQ(bench.ws->registry.OpenKeyCount(), 0u);
}

// The record is what is acted on: a candidate the record keeps stays, whatever its entry's flag says.
TEST(DeleteDriverFiles, OnlyWhatTheRecordDeletesGoes) {
    RemovalBench bench;
    const std::string v3 = bench.driverDir + "\\3\\";
    CPrinterEntry& office = bench.Office();
    POSITION pos = office.m_files.GetHeadPosition();
    while (pos)
        static_cast<CDriverFile*>(office.m_files.GetNext(pos))->m_bDelete = 1;
    office.DeleteDriverFiles(Deleting(office, {"BRHELP.HLP"}));
    EXPECT_FALSE(bench.ws->files.Exists(v3 + "BRHELP.HLP"));
    EXPECT_TRUE(bench.ws->files.Exists(v3 + "BRUI.DLL"));
    EXPECT_TRUE(bench.ws->files.Exists(v3 + "PSCRIPT5.DLL"));
}

TEST(DeleteDriverFiles, WithoutTheListKeysOnlyFilesAreRemoved) {
    RemovalBench bench;
    bench.ws->registry.DeleteTree(kInstalled);
    bench.ws->registry.DeleteTree(kKnown16);
    CPrinterEntry& office = bench.Office();
    office.DeleteDriverFiles(Deleting(office, {"BRHELP.HLP"}));
    EXPECT_FALSE(bench.ws->files.Exists(bench.driverDir + "\\3\\BRHELP.HLP"));
    EXPECT_EQ(bench.ws->faults.Calls("RegDeleteValueA"), 0);
}

TEST(DeleteDriverFiles, RemovesTheTemporaryWatermarkFilesButNeverDefersThem) {
    for (bool held : {false, true}) {
        RemovalBench bench;
        const std::string winTemp = bench.ws->system.windowsDir + "\\Temp\\OFFICE.wmk";
        CPrinterEntry& office = bench.Office();
        const std::string userTemp = (LPCSTR)office.m_strTempWmk;
        bench.ws->files.WriteFile(userTemp, "wmk");
        bench.ws->files.WriteFile(winTemp, "wmk");
        bench.ws->files.HoldOpen(userTemp, held);
        bench.ws->files.HoldOpen(winTemp, held);
        office.DeleteDriverFiles(std::vector<FileDecision>());
        EXPECT_EQ(bench.ws->files.Exists(userTemp), held);
        EXPECT_EQ(bench.ws->files.Exists(winTemp), held);
        EXPECT_TRUE(PendingDeletions().empty());
    }
}

TEST(DeleteDriverFiles, AnEmptyDataFileNameLooksForABareWmk) {
    RemovalBench bench;
    const std::string bare = bench.ws->system.windowsDir + "\\Temp\\.wmk";
    bench.ws->files.WriteFile(bare, "wmk");
    CPrinterEntry& office = bench.Office();
    office.m_strDataFileName = "";
    office.DeleteDriverFiles(std::vector<FileDecision>());
    EXPECT_FALSE(bench.ws->files.Exists(bare));
}

TEST(DeleteOemInf, DeletesOrDefersBothFilesOnNtAndNothingOnWindows9x) {
    for (winsim::Os os : {winsim::Os::WinXP, winsim::Os::NT4, winsim::Os::Win98}) {
        RemovalBench bench(os);
        const std::string inf = bench.ws->system.windowsDir + "\\inf\\oem.inf";
        const std::string pnf = bench.ws->system.windowsDir + "\\inf\\oem.pnf";
        bench.ws->files.WriteFile(inf, "inf");
        bench.ws->files.WriteFile(pnf, "pnf");
        bench.ws->files.HoldOpen(pnf, true);
        bench.Office().DeleteOemInf();
        const bool nt = os != winsim::Os::Win98;
        EXPECT_EQ(bench.ws->files.Exists(inf), !nt);
        EXPECT_TRUE(bench.ws->files.Exists(pnf));
        EXPECT_EQ(Contains(PendingDeletions(), pnf), nt);
    }
}

struct HostileFileName {
    const char* name;
    std::string dependent;  // as the driver's "Dependent Files" lists it
    std::vector<std::string> outside;  // files (relative to C:\) that must survive
    bool removed;           // the name stays inside the driver folder: its file goes
};

// Names the case in test listings by its table name rather than its bytes.
void PrintTo(const HostileFileName& c, std::ostream* os) {
    *os << c.name;
}

class HostileFileNames : public ::testing::TestWithParam<HostileFileName> {};

TEST_P(HostileFileNames, NothingOutsideTheDriverFolderIsTouched) {
    const HostileFileName& c = GetParam();
    RemovalBench bench;
    winsim::DriverSetup setup;
    setup.name = "PS Driver";
    setup.driverFile = "PSCRIPT5.DLL";
    setup.configFile = "BRUI.DLL";
    setup.dataFile = "OFFICE.PPD";
    setup.dependentFiles = {c.dependent};
    setup.fileContents["OFFICE.UIM"] = "UIM";
    setup.createFiles = true;
    bench.ws->spooler.AddDriver(setup);
    for (const std::string& f : c.outside) {
        bench.ws->files.WriteFile("C:\\" + f, "keep");
        std::string name = f.substr(f.rfind('\\') + 1);
        bench.ws->registry.SetString(kInstalled, name, "x");
        bench.ws->registry.SetString(kKnown16, name, "x");
    }
    CPrinterEntry& office = bench.Office();
    office.DeleteDriverFiles(Deleting(office));

    std::vector<std::string> pending = PendingDeletions();
    for (const std::string& f : c.outside) {
        EXPECT_TRUE(bench.ws->files.Exists("C:\\" + f)) << f;
        std::string name = f.substr(f.rfind('\\') + 1);
        for (const std::string& p : pending)
            EXPECT_EQ(p.find(name), std::string::npos) << p;
        if (!c.removed) {
            EXPECT_TRUE(ValueThere(kInstalled, name)) << name;
            EXPECT_TRUE(ValueThere(kKnown16, name)) << name;
        }
    }
    EXPECT_FALSE(bench.ws->files.Exists(bench.driverDir + "\\3\\BRUI.DLL"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileFileNames,
    ::testing::Values(
        HostileFileName{"ClimbsToTheWindowsFolder", "..\\..\\..\\..\\WIN.INI", {"WINDOWS\\WIN.INI"}, false},
        HostileFileName{"ClimbsOutOfTheVersionFolder", "..\\3\\..\\..\\X.DLL",
                        {"WINDOWS\\system32\\spool\\drivers\\X.DLL", "WINDOWS\\system32\\spool\\X.DLL"}, false},
        HostileFileName{"NamesADrive", "C:\\WINDOWS\\WIN.INI", {"WINDOWS\\WIN.INI"}, false},
        HostileFileName{"StartsWithASeparator", "\\WINDOWS\\WIN.INI", {"WINDOWS\\WIN.INI"}, false},
        HostileFileName{"PlainSubFolderStaysAllowed", "SUB\\Y.DLL", {"WINDOWS\\WIN.INI"}, true}),
    [](const ::testing::TestParamInfo<HostileFileName>& info) { return std::string(info.param.name); });

TEST(HostileFileNames, APlainSubFolderNameIsDeletedAndFoldedClimbsThatStayInsideToo) {
    RemovalBench bench;
    winsim::DriverSetup setup;
    setup.name = "PS Driver";
    setup.configFile = "BRUI.DLL";
    setup.dataFile = "OFFICE.PPD";
    setup.dependentFiles = {"SUB\\Y.DLL", "SUB\\..\\Z.DLL"};
    setup.fileContents["OFFICE.UIM"] = "UIM";
    bench.ws->spooler.AddDriver(setup);
    const std::string v3 = bench.driverDir + "\\3\\";
    bench.ws->files.WriteFile(v3 + "SUB\\Y.DLL", "y");
    bench.ws->files.WriteFile(v3 + "Z.DLL", "z");
    CPrinterEntry& office = bench.Office();
    office.DeleteDriverFiles(Deleting(office));
    EXPECT_FALSE(bench.ws->files.Exists(v3 + "SUB\\Y.DLL"));
    EXPECT_FALSE(bench.ws->files.Exists(v3 + "Z.DLL"));
}
