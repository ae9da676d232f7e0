// The dry run's machine through the change layer: the spooler service as the run's own stops and starts
// leave it, a key's sub-keys without the ones the run deleted, and the companion's removals it cannot see.
#include <gtest/gtest.h>

#include "engine/Changes.h"
#include "engine/SpoolerService.h"
#include "removal_fixture.h"
#include "removal_station.h"

namespace {

// A dry run for the test's scope: the real machine again afterwards, whatever the test asserted.
struct DryRunScope {
    DryRunScope() { Changes().SetDryRun(TRUE); }
    ~DryRunScope() { Changes().SetDryRun(FALSE); }
};

struct ServiceCase {
    const char* name;
    DWORD before;  // the real spooler's state when the dry run begins
    std::vector<std::string> firstStop;  // the change line of the dry run's first stop
};

void PrintTo(const ServiceCase& c, std::ostream* os) {
    *os << c.name;
}

class DryRunSpooler : public ::testing::TestWithParam<ServiceCase> {};

// Two spooler cycles, as a removal on NT makes them: each poll sees what the run's own stop and start
// left, so the cycle asks for the start once and then finds the spooler running; the real one is untouched.
TEST_P(DryRunSpooler, CyclesThroughTheStatesItsOwnStopAndStartLeave) {
    const ServiceCase& c = GetParam();
    RemovalBench bench;
    bench.ws->services.SetState("spooler", c.before);
    const int callsBefore = bench.ws->services.CallCount("ControlService");
    ChangeRecorder recorder;
    std::vector<SpoolerTick> ticks;
    {
        DryRunScope dry;
        for (int cycle = 0; cycle < 2; ++cycle) {
            ASSERT_TRUE(RequestSpoolerStop());
            for (int poll = 0; poll < 3; ++poll)
                ticks.push_back(PollSpooler());
        }
    }
    EXPECT_EQ(ticks, (std::vector<SpoolerTick>{SPOOLER_START_REQUESTED, SPOOLER_RUNNING, SPOOLER_RUNNING,
                                               SPOOLER_START_REQUESTED, SPOOLER_RUNNING, SPOOLER_RUNNING}));
    std::vector<std::string> lines = c.firstStop;
    for (const char* line : {"start service spooler (would)", "stop service spooler (would)",
                             "start service spooler (would)"})
        lines.push_back(line);
    EXPECT_EQ(recorder.Lines(), lines);
    EXPECT_EQ(bench.ws->services.State(), c.before);
    EXPECT_EQ(bench.ws->services.CallCount("ControlService"), callsBefore);
    EXPECT_EQ(bench.ws->services.CallCount("StartServiceA"), 0);
    EXPECT_EQ(bench.ws->services.spoolerStops, 0);
    EXPECT_EQ(bench.ws->services.OpenHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    DryRunMachine, DryRunSpooler,
    ::testing::Values(ServiceCase{"Running", SERVICE_RUNNING, {"stop service spooler (would)"}},
                      // A stopped spooler refuses the first stop, as the real one does; the cycle starts it.
                      ServiceCase{"StoppedBefore", SERVICE_STOPPED, {"stop service spooler (failed 1062)"}}),
    [](const ::testing::TestParamInfo<ServiceCase>& info) { return std::string(info.param.name); });

TEST(DryRunMachine, AStopAfterItsOwnStopIsRefusedAndTheNextDryRunSeesTheRealSpoolerAgain) {
    RemovalBench bench;
    ChangeRecorder recorder;
    SERVICE_STATUS status;
    {
        DryRunScope dry;
        ASSERT_TRUE(RequestSpoolerStop());
        ASSERT_TRUE(RequestSpoolerStop());
    }
    EXPECT_EQ(recorder.Lines(),
              (std::vector<std::string>{"stop service spooler (would)", "stop service spooler (failed 1062)"}));
    DryRunScope again;
    CServiceHandle manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT));
    CServiceHandle service(OpenServiceA(manager, "spooler", SERVICE_QUERY_STATUS));
    ASSERT_TRUE(Changes().QueryServiceState(service, "spooler", &status));
    EXPECT_EQ(status.dwCurrentState, (DWORD)SERVICE_RUNNING);
    EXPECT_EQ(PollSpooler(), SPOOLER_RUNNING);
}

// The model stands in for the state only: a query the real spooler refuses fails in the dry run too,
// and the cycle keeps looking.
TEST(DryRunMachine, ARefusedStateQueryStaysRefused) {
    RemovalBench bench;
    DryRunScope dry;
    ASSERT_TRUE(RequestSpoolerStop());
    bench.ws->services.Behaviour().refuseQuery = ERROR_ACCESS_DENIED;
    EXPECT_EQ(PollSpooler(), SPOOLER_UNKNOWN);
    bench.ws->services.Behaviour().refuseQuery = 0;
    EXPECT_EQ(PollSpooler(), SPOOLER_START_REQUESTED);
}

// Every sub-key name `key` (HKCU\...) lists through the change layer, in order.
std::vector<std::string> ListedSubKeys(const std::string& path) {
    CRegKey key;
    EXPECT_EQ(Changes().OpenKey(key, HKEY_CURRENT_USER, path.c_str(), KEY_ENUMERATE_SUB_KEYS), ERROR_SUCCESS);
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD cch = sizeof(name);
        const LONG rc = Changes().EnumSubKey(key, HKEY_CURRENT_USER, path.c_str(), index, name, &cch);
        if (rc != ERROR_SUCCESS) {
            EXPECT_EQ(rc, ERROR_NO_MORE_ITEMS);
            return names;
        }
        EXPECT_EQ(cch, strlen(name));
        names.push_back(name);
    }
}

struct SubKeyCase {
    const char* name;
    std::vector<std::string> deleted;  // trees the dry run deletes first, below HKCU\Software\Brontal
    std::string listed;                // the key listed, below HKCU\Software\Brontal
    std::vector<std::string> names;
};

void PrintTo(const SubKeyCase& c, std::ostream* os) {
    *os << c.name;
}

class DryRunSubKeys : public ::testing::TestWithParam<SubKeyCase> {};

TEST_P(DryRunSubKeys, ListWithoutTheOnesTheRunDeleted) {
    const SubKeyCase& c = GetParam();
    RemovalBench bench;
    CPrinterEntry& entry = bench.Office();
    for (const char* key : {"A\\X", "B\\Y", "C", "D"})
        bench.ws->registry.CreateKey(std::string("HKCU\\Software\\Brontal\\Tree\\") + key);
    const auto before = SnapshotMachine();
    DryRunScope dry;
    for (const std::string& tree : c.deleted)
        EXPECT_EQ(entry.DeleteKeyTree(HKEY_CURRENT_USER, ("Software\\Brontal\\" + tree).c_str()), ERROR_SUCCESS);
    EXPECT_EQ(ListedSubKeys("Software\\Brontal\\" + c.listed), c.names);
    EXPECT_TRUE(SnapshotDiff(before, SnapshotMachine()).empty());
    EXPECT_EQ(bench.ws->registry.OpenKeyCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    DryRunMachine, DryRunSubKeys,
    ::testing::Values(SubKeyCase{"NoneDeleted", {}, "Tree", {"A", "B", "C", "D"}},
                      SubKeyCase{"FirstAndThird", {"Tree\\A", "Tree\\C"}, "Tree", {"B", "D"}},
                      SubKeyCase{"OtherCaseAndTrailingSeparator", {"TREE\\b\\", "tree\\d"}, "Tree\\", {"A", "C"}},
                      SubKeyCase{"OnlyASubKeyOfOne", {"Tree\\B\\Y"}, "Tree", {"A", "B", "C", "D"}},
                      SubKeyCase{"EveryOne", {"Tree\\D", "Tree\\C", "Tree\\B", "Tree\\A"}, "Tree", {}},
                      SubKeyCase{"BelowAKeyLeftEmpty", {"Tree\\A\\X"}, "Tree\\A", {}}),
    [](const ::testing::TestParamInfo<SubKeyCase>& info) { return std::string(info.param.name); });

// A wide key in a dry run: each look starts past the sub-keys already reported, so the walk enumerates
// a number of times that grows with the width, not with its square.
TEST(DryRunMachine, AWideTreeIsWalkedInOnePass) {
    RemovalBench bench;
    CPrinterEntry& entry = bench.Office();
    const int width = 400;
    for (int i = 0; i < width; ++i)
        bench.ws->registry.CreateKey("HKCU\\Software\\Brontal\\Wide\\K" + std::to_string(1000 + i) + "\\Leaf");
    const auto before = SnapshotMachine();
    ChangeRecorder recorder;
    const int enumerations = bench.ws->faults.Calls("RegEnumKeyExA");
    {
        DryRunScope dry;
        EXPECT_EQ(entry.DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Brontal\\Wide"), ERROR_SUCCESS);
    }
    EXPECT_LE(bench.ws->faults.Calls("RegEnumKeyExA") - enumerations, 8 * width);
    const std::vector<std::string> lines = recorder.Lines();
    ASSERT_EQ(lines.size(), 2u * width + 1);
    for (int i = 0; i < width; ++i) {
        const std::string key = "delete key HKCU\\Software\\Brontal\\Wide\\K" + std::to_string(1000 + i);
        EXPECT_EQ(lines[2 * i], key + "\\Leaf (would)");
        EXPECT_EQ(lines[2 * i + 1], key + " (would)");
    }
    EXPECT_EQ(lines.back(), "delete key HKCU\\Software\\Brontal\\Wide (would)");
    EXPECT_TRUE(SnapshotDiff(before, SnapshotMachine()).empty());
    EXPECT_EQ(bench.ws->registry.OpenKeyCount(), 0u);
}

TEST(DryRunMachine, ATreeAtTheRegistryDepthLimitIsReportedKeyByKey) {
    RemovalBench bench;
    CPrinterEntry& entry = bench.Office();
    std::string path = "HKCU\\Software\\Brontal\\Deep";
    for (int depth = 4; depth < 512; ++depth)
        path += "\\L";
    bench.ws->registry.CreateKey(path);
    const auto before = SnapshotMachine();
    ChangeRecorder recorder;
    {
        DryRunScope dry;
        EXPECT_EQ(entry.DeleteKeyTree(HKEY_CURRENT_USER, "Software\\Brontal\\Deep"), ERROR_SUCCESS);
    }
    const std::vector<std::string> lines = recorder.Lines();
    ASSERT_EQ(lines.size(), 512u - 3u);
    EXPECT_EQ(lines.front(), "delete key " + path + " (would)");
    EXPECT_EQ(lines.back(), "delete key HKCU\\Software\\Brontal\\Deep (would)");
    EXPECT_TRUE(SnapshotDiff(before, SnapshotMachine()).empty());
    EXPECT_EQ(bench.ws->registry.OpenKeyCount(), 0u);
}

// The real run sees what the companion removed; a dry run, which calls nothing, does not, from its first
// recorded call on.
TEST(DryRunMachine, TheCompanionsRemovalsShowOnlyOnTheRealMachine) {
    for (bool dryRun : {false, true}) {
        SCOPED_TRACE(dryRun ? "dry run" : "real run");
        RemovalStation st;
        Changes().SetDryRun(dryRun);
        const int before = Changes().CompanionCalls();
        EXPECT_TRUE(Changes().CompanionEffectsSeenSince(before));
        BOOL called = FALSE;
        EXPECT_EQ(Changes().CallCompanion(kShippedCompanion, "Delete", &called), 1);
        EXPECT_TRUE(called);
        EXPECT_EQ(Changes().CompanionEffectsSeenSince(before), dryRun ? FALSE : TRUE);
        EXPECT_TRUE(Changes().CompanionEffectsSeenSince(Changes().CompanionCalls()));
        Changes().SetDryRun(FALSE);
    }
}

}  // namespace
