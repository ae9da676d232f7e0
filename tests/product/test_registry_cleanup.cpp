// Registry cleanup of a removed printer: key trees, the driver's key and the traces of printer and driver.
#include <gtest/gtest.h>

#include <pthread.h>

#include "removal_fixture.h"

namespace {

const std::string kSid = kUserSid;

std::vector<std::string> KeyDeletions(const ChangeRecorder& recorder) {
    std::vector<std::string> out;
    for (const std::string& line : recorder.Lines()) {
        if (line.rfind("delete key ", 0) == 0)
            out.push_back(line.substr(11));
    }
    return out;
}

}  // namespace

TEST(DeleteKeyTree, EmptyPathIsRefusedAndAMissingKeyGivesTheOpenError) {
    RemovalBench bench;
    CPrinterEntry& entry = bench.Office();
    auto before = SnapshotMachine();
    EXPECT_EQ(entry.DeleteKeyTree(HKEY_LOCAL_MACHINE, ""), ERROR_BADKEY);
    EXPECT_EQ(entry.DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Brontal\\Missing\\Key"), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(SnapshotDiff(before, SnapshotMachine()).empty());
}

TEST(DeleteKeyTree, EmptiesDepthFirstAlwaysTakingTheFirstSubKey) {
    RemovalBench bench;
    CPrinterEntry& entry = bench.Office();
    for (const char* key : {"B\\E", "B\\D", "C", "A"})
        bench.ws->registry.CreateKey(std::string("HKCU\\Software\\Brontal\\Tree\\") + key);
    ChangeRecorder recorder;
    EXPECT_EQ(entry.DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Brontal\\Tree"), ERROR_SUCCESS);
    EXPECT_EQ(KeyDeletions(recorder),
              (std::vector<std::string>{"HKCU\\Software\\Brontal\\Tree\\A", "HKCU\\Software\\Brontal\\Tree\\B\\D",
                                        "HKCU\\Software\\Brontal\\Tree\\B\\E", "HKCU\\Software\\Brontal\\Tree\\B",
                                        "HKCU\\Software\\Brontal\\Tree\\C", "HKCU\\Software\\Brontal\\Tree"}));
    EXPECT_FALSE(KeyThere("HKCU\\Software\\Brontal\\Tree"));
    EXPECT_TRUE(KeyThere("HKCU\\Software\\Brontal"));
    EXPECT_EQ(bench.ws->registry.OpenKeyCount(), 0u);
}

TEST(DeleteKeyTree, StopsAtTheFirstFailureAndReturnsIt) {
    RemovalBench bench;
    CPrinterEntry& entry = bench.Office();
    for (const char* key : {"A\\X", "B\\Y", "C"})
        bench.ws->registry.CreateKey(std::string("HKCU\\Software\\Brontal\\Tree\\") + key);
    bench.ws->faults.Fail("RegDeleteKeyA", ERROR_ACCESS_DENIED, -1, 0,
                          [](const std::string& arg) { return arg.size() >= 2 && arg.substr(arg.size() - 2) == "\\B"; });
    EXPECT_EQ(entry.DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Brontal\\Tree"), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(KeyThere("HKCU\\Software\\Brontal\\Tree\\A"));
    EXPECT_FALSE(KeyThere("HKCU\\Software\\Brontal\\Tree\\B\\Y"));
    EXPECT_TRUE(KeyThere("HKCU\\Software\\Brontal\\Tree\\B"));
    EXPECT_TRUE(KeyThere("HKCU\\Software\\Brontal\\Tree\\C"));
    EXPECT_EQ(bench.ws->registry.OpenKeyCount(), 0u);
}

namespace {
struct DeepRun {
    CPrinterEntry* entry;
    LONG result;
};
void* DeleteDeepTree(void* arg) {
    DeepRun* run = static_cast<DeepRun*>(arg);
    run->result = run->entry->DeleteKeyTree(HKEY_LOCAL_MACHINE,
                                            "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Office");
    return nullptr;
}
}  // namespace

TEST(DeleteKeyTree, DeletesATreeAtTheRegistryDepthLimitOnASmallStack) {
    RemovalBench bench;
    CPrinterEntry& entry = bench.Office();
    std::string path = std::string(kPrintersKey) + "\\Office";
    for (int depth = 7; depth < 512; ++depth)
        path += "\\L" + std::to_string(depth);
    bench.ws->registry.CreateKey(path);
    // 2000 bytes a level on the stack would need about 1 MB here; the thread has a quarter of that.
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    DeepRun run = {&entry, -1};
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, DeleteDeepTree, &run), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_EQ(run.result, ERROR_SUCCESS);
    EXPECT_FALSE(KeyThere(std::string(kPrintersKey) + "\\Office"));
    EXPECT_TRUE(KeyThere(std::string(kPrintersKey) + "\\Other"));
    EXPECT_EQ(bench.ws->registry.OpenKeyCount(), 0u);
}

TEST(DeleteKeyTree, DryRunWalksTheWholeTreeAndChangesNothing) {
    RemovalBench bench;
    CPrinterEntry& entry = bench.Office();
    for (const char* key : {"A\\X", "B", "C"})
        bench.ws->registry.CreateKey(std::string("HKCU\\Software\\Brontal\\Tree\\") + key);
    auto before = SnapshotMachine();
    ChangeRecorder recorder;
    Changes().SetDryRun(TRUE);
    LONG rc = entry.DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Brontal\\Tree");
    Changes().SetDryRun(FALSE);
    EXPECT_EQ(rc, ERROR_SUCCESS);
    EXPECT_TRUE(SnapshotDiff(before, SnapshotMachine()).empty());
    EXPECT_EQ(recorder.Lines(), (std::vector<std::string>{
                                    "delete key HKCU\\Software\\Brontal\\Tree\\A\\X (would)",
                                    "delete key HKCU\\Software\\Brontal\\Tree\\A (would)",
                                    "delete key HKCU\\Software\\Brontal\\Tree\\B (would)",
                                    "delete key HKCU\\Software\\Brontal\\Tree\\C (would)",
                                    "delete key HKCU\\Software\\Brontal\\Tree (would)",
                                }));
}

TEST(DeleteAllRegistryEntries, LocalPrinterOnNt5RunsEveryStepInOrder) {
    RemovalBench bench;
    CPrinterEntry& entry = bench.Office();
    ChangeRecorder recorder;
    entry.DeleteAllRegistryEntries(0, 1);
    const std::string p = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
    const std::string x = "\\\\WORKSTATION\\Office";
    EXPECT_EQ(recorder.Lines(),
              (std::vector<std::string>{
                  "delete key HKLM\\SOFTWARE\\Brontal\\Data\\Office\\Settings",
                  "delete key HKLM\\SOFTWARE\\Brontal\\Data\\Office",
                  "delete key HKCU\\SOFTWARE\\Brontal\\Data\\Office",
                  "delete key HKLM\\" + p + "Office\\PrinterDriverData",
                  "delete key HKLM\\" + p + "Office",
                  "delete key HKLM\\SYSTEM\\ControlSet001\\Control\\Print\\Printers\\Office",
                  "delete key HKLM\\SYSTEM\\ControlSet002\\Control\\Print\\Printers\\Office",
                  "delete key HKLM\\SYSTEM\\ControlSet003\\Control\\Print\\Printers\\Office",
                  "delete key HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Watermark\\Draft",
                  "delete key HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Watermark\\",
                  "delete key HKLM\\SYSTEM\\ControlSet001\\Control\\Print\\Watermark\\Draft",
                  "delete key HKLM\\SYSTEM\\ControlSet001\\Control\\Print\\Watermark\\",
                  "delete key HKLM\\" + p + "PS Driver",
                  "delete key HKLM\\SYSTEM\\ControlSet001\\Control\\Print\\Printers\\PS Driver",
                  "delete key HKLM\\SYSTEM\\ControlSet002\\Control\\Print\\Printers\\PS Driver",
                  "delete key HKLM\\SYSTEM\\ControlSet003\\Control\\Print\\Printers\\PS Driver",
                  "delete value HKLM\\SOFTWARE\\PPML\\Postscript\\|PS Driver",
                  "delete value HKLM\\SOFTWARE\\PPML\\Postscript\\|Office",
                  "delete key HKCU\\Printers\\Settings\\Drivers\\PS Driver",
                  "delete key HKCU\\Printers\\Settings\\Printers\\PS Driver",
                  "delete key HKCU\\Printers\\Settings\\Printers\\Office",
                  "delete key HKCU\\Printers\\Settings\\Office",
                  "delete value HKCU\\Printers\\DevModes2\\|PS Driver",
                  "delete value HKCU\\Printers\\DevModes2\\|Office",
                  "delete value HKCU\\Printers\\DevModes2\\|Office (failed 2)",
                  "delete value HKCU\\Printers\\DevModePerUser\\|PS Driver",
                  "delete value HKCU\\Printers\\DevModePerUser\\|Office",
                  "delete value HKCU\\Printers\\DevModePerUser\\|" + x + ",LocalOnly,DrvConvert",
                  "delete value HKCU\\Printers\\DevModePerUser\\|" + x + ",LocalsplOnly",
                  "delete value HKCU\\Printers\\Devmodes2|" + x + ",LocalsplOnly",
                  "delete key HKU\\.Default\\Printers\\Settings\\Drivers\\PS Driver",
                  "delete key HKU\\.Default\\Printers\\Settings\\Printers\\PS Driver",
                  "delete value HKU\\.DEFAULT\\Printers\\DevModes2\\|PS Driver",
                  "delete value HKU\\.DEFAULT\\Printers\\DevModes2\\|Office",
                  "delete value HKU\\.DEFAULT\\Printers\\DevModePerUser\\|PS Driver",
                  "delete value HKU\\.DEFAULT\\Printers\\DevModePerUser\\|Office",
                  "delete key HKU\\" + kSid + "\\Printers\\Settings\\Drivers\\PS Driver",
                  "delete key HKU\\" + kSid + "\\Printers\\Settings\\Printers\\PS Driver",
                  "delete key HKU\\" + kSid + "\\Printers\\Settings\\Printers\\Office",
                  "delete value HKU\\" + kSid + "\\Printers\\DevModes2\\|PS Driver",
              }));
    // The other printer's and driver's traces are all still there.
    EXPECT_TRUE(KeyThere(std::string(kPrintersKey) + "\\Other"));
    EXPECT_TRUE(KeyThere("HKLM\\SOFTWARE\\Brontal\\Data\\Other"));
    EXPECT_TRUE(KeyThere("HKCU\\Printers\\Settings\\Drivers\\Other Driver"));
    EXPECT_TRUE(ValueThere("HKCU\\Printers\\DevModes2", "Other"));
    EXPECT_TRUE(ValueThere("HKU\\" + kSid + "\\Printers\\DevModes2", "Other Driver"));
    EXPECT_EQ(bench.ws->registry.OpenKeyCount(), 0u);
}

struct CleanupVariant {
    const char* name;
    winsim::Os os;
    int driverShared;
    int onlyBrontal;
    std::vector<std::string> gone;
    std::vector<std::string> kept;  // keys; "key|value" for values
};

// Names the case in test listings by its table name rather than its bytes.
void PrintTo(const CleanupVariant& c, std::ostream* os) {
    *os << c.name;
}

class CleanupVariants : public ::testing::TestWithParam<CleanupVariant> {};

TEST_P(CleanupVariants, RemoveExactlyTheirKeys) {
    const CleanupVariant& v = GetParam();
    RemovalBench bench(v.os);
    bench.Office().DeleteAllRegistryEntries(v.driverShared, v.onlyBrontal);
    auto there = [](const std::string& item) {
        size_t bar = item.find('|');
        return bar == std::string::npos ? KeyThere(item) : ValueThere(item.substr(0, bar), item.substr(bar + 1));
    };
    for (const std::string& item : v.gone)
        EXPECT_FALSE(there(item)) << item;
    for (const std::string& item : v.kept)
        EXPECT_TRUE(there(item)) << item;
}

const std::string kPerUserX = "HKCU\\Printers\\DevModePerUser|\\\\WORKSTATION\\Office,LocalsplOnly";
const std::string kDriverCopy = "HKLM\\SYSTEM\\ControlSet002\\Control\\Print\\Printers\\PS Driver";
const std::string kWatermark = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Watermark";

INSTANTIATE_TEST_SUITE_P(
    Registry, CleanupVariants,
    ::testing::Values(
        CleanupVariant{"Nt4LeavesTheComputerQualifiedValues", winsim::Os::NT4, 0, 1,
                       {kDriverCopy, kWatermark, "HKCU\\Printers\\DevModes2|Office"},
                       {kPerUserX, "HKCU\\Printers\\Devmodes2|\\\\WORKSTATION\\Office,LocalsplOnly"}},
        CleanupVariant{"SharedDriverKeepsTheKeysNamedAfterIt", winsim::Os::WinXP, 1, 1,
                       {"HKLM\\SYSTEM\\ControlSet002\\Control\\Print\\Printers\\Office", kPerUserX},
                       {kDriverCopy, std::string(kPrintersKey) + "\\PS Driver"}},
        CleanupVariant{"SecondBrontalPrinterKeepsTheWatermarks", winsim::Os::WinXP, 0, 0,
                       {kDriverCopy},
                       {kWatermark, "HKLM\\SYSTEM\\ControlSet001\\Control\\Print\\Watermark\\Draft"}},
        CleanupVariant{"Windows9xOnlyDeletesThePrinterAndLanManKeys", winsim::Os::Win98, 0, 1,
                       {std::string(kPrintersKey) + "\\Office",
                        "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Network\\LanMan\\PS Driver"},
                       {kDriverCopy, kWatermark, "HKCU\\Printers\\DevModes2|Office",
                        "HKCU\\Printers\\Settings\\Printers\\Office", "HKLM\\SOFTWARE\\Brontal\\Data\\Office",
                        "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Network\\LanMan\\Other Driver"}}),
    [](const ::testing::TestParamInfo<CleanupVariant>& info) { return std::string(info.param.name); });

struct ExtInfoCase {
    const char* name;
    std::string content;  // of the file the driver's settings name; "<none>": no such file
    std::vector<std::string> gone;  // under HKCU
    std::vector<std::string> kept;
};

// Names the case in test listings by its table name rather than its bytes.
void PrintTo(const ExtInfoCase& c, std::ostream* os) {
    *os << c.name;
}

class ExtInfoFiles : public ::testing::TestWithParam<ExtInfoCase> {};

TEST_P(ExtInfoFiles, NameTheExtraSettingsKeyOfAConnection) {
    const ExtInfoCase& c = GetParam();
    RemovalBench bench;
    const std::string cached = bench.AddConnection();
    bench.NameExtInfoFile(c.content);
    for (const char* key : {"Software\\Brontal Ext\\,,srv,q", "Software\\Brontal\\Ext2\\,,srv,q", "Software\\Keep"})
        bench.ws->registry.CreateKey(std::string("HKCU\\") + key);
    std::unique_ptr<CPrinterEntry> remote(bench.ws.MakeEntry("\\\\srv\\q", OS_FAMILY_NT5));
    remote->DeleteAllRegistryEntries(1, 0);
    for (const std::string& key : c.gone)
        EXPECT_FALSE(KeyThere("HKCU\\" + key)) << key;
    for (const std::string& key : c.kept)
        EXPECT_TRUE(KeyThere("HKCU\\" + key)) << key;
    EXPECT_FALSE(KeyThere("HKCU\\Software\\Brontal\\Remote\\q"));
    EXPECT_EQ(bench.ws->files.OpenFileCount(), 0u);
}

const std::string kSpaced = "Software\\Brontal Ext\\,,srv,q";
const std::string kPlain = "Software\\Brontal\\Ext2\\,,srv,q";

INSTANTIATE_TEST_SUITE_P(
    Registry, ExtInfoFiles,
    ::testing::Values(
        ExtInfoCase{"LocationWithABlankEndsWhereItHoldsThePrinter",
                    "[Ext]\r\nPath _NXDataLocation=Software\\Brontal Ext\\,,srv,q tail\r\n", {kSpaced}, {kPlain}},
        ExtInfoCase{"MarkerAtTheEndOfTheFileStandsAlone", "a b _NXDataLocation=Software\\Brontal\\Ext2\\,,srv,q",
                    {kPlain}, {kSpaced}},
        ExtInfoCase{"MarkerAfterTheFifthTokenIsNotSeen",
                    "1 2 3 4 5 _NXDataLocation=Software\\Brontal\\Ext2\\,,srv,q", {}, {kPlain, kSpaced}},
        ExtInfoCase{"LocationNamingAWholeHiveIsRefused", "_NXDataLocation=SOFTWARE", {},
                    {"Software\\Keep", kPlain}},
        ExtInfoCase{"MissingFile", "<none>", {}, {kPlain, kSpaced}},
        ExtInfoCase{"EmptyFile", "", {}, {kPlain, kSpaced}},
        ExtInfoCase{"OneMegabyteToken", std::string(1 << 20, 'A'), {}, {kPlain, kSpaced}},
        ExtInfoCase{"LongTokenIsSkippedNotSplit",
                    std::string(300, 'B') + "_NXDataLocation=X " + "_NXDataLocation=Software\\Brontal\\Ext2\\,,srv,q",
                    {kPlain}, {kSpaced}}),
    [](const ::testing::TestParamInfo<ExtInfoCase>& info) { return std::string(info.param.name); });
