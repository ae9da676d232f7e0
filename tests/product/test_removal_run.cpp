// A named removal driven on the run itself, without a dialog: its exit code, the spooler cycle the
// caller ticks, and the verdict once the cycle is over.
#include <gtest/gtest.h>

#include "engine/RemovalRun.h"
#include "removal_station.h"

namespace {

struct NamedRun {
    const char* what;
    const char* name;
    void (*prepare)(RemovalStation&);
    int removed;          // what RemoveNamed answers
    DWORD exitCode;       // the run's exit code after the verdict
    bool officeGone;
};

// Names the case in test listings by its table name rather than its bytes.
void PrintTo(const NamedRun& c, std::ostream* os) {
    *os << c.what;
}

class RemovalRuns : public ::testing::TestWithParam<NamedRun> {};

TEST_P(RemovalRuns, ExitCodeAfterTheSpoolerCycle) {
    const NamedRun& c = GetParam();
    RemovalStation st;
    st.AddOfficeAndPlain();
    if (c.prepare)
        c.prepare(st);
    CRemovalRun run;
    run.DetectOsFamily();
    run.EnumerateNow();
    const int removed = run.RemoveNamed(c.name);
    EXPECT_EQ(removed, c.removed);
    if (removed && run.IsNt() && run.m_cycle.Begin(SPOOLER_EVENT_REMOVAL)) {
        // Ticked as the dialog's timer ticks it, once a second, until it ends one way or the other.
        for (int tick = 0; tick < 10 && run.m_cycle.Tick(SPOOLER_EVENT_REMOVAL) == CYCLE_WAITING; ++tick)
            Sleep(1000);
    }
    run.GiveVerdict(removed, c.name);
    EXPECT_EQ(run.m_nExitCode, c.exitCode);
    EXPECT_EQ(run.m_cycle.Pending(), 0u);
    EXPECT_EQ(st.ws->spooler.PrinterExists("Office"), !c.officeGone);
    EXPECT_TRUE(st.ws->spooler.PrinterExists("Plain"));
    EXPECT_TRUE(st.ws->ui.Dialogs().empty());
}

INSTANTIATE_TEST_SUITE_P(
    RemovalRun, RemovalRuns,
    ::testing::Values(
        NamedRun{"Removed", "Office", nullptr, 1, ERROR_SUCCESS, true},
        NamedRun{"AnotherMakersPrinter", "Plain", nullptr, 0, ERROR_UNKNOWN_PRINTER_DRIVER, false},
        NamedRun{"UnknownName", "Lobby", nullptr, 0, ERROR_INVALID_PRINTER_NAME, false},
        NamedRun{"CompanionRefuses", "Office", [](RemovalStation&) { g_companion.result = 0; }, 0, ERROR_BUSY,
                 false},
        NamedRun{"SpoolerRefusesToComeBack", "Office",
                 [](RemovalStation& st) { st.ws->faults.Fail("StartServiceA", ERROR_SERVICE_DISABLED); }, 1,
                 ERROR_SERVICE_NOT_ACTIVE, true}),
    [](const ::testing::TestParamInfo<NamedRun>& info) { return std::string(info.param.what); });

}  // namespace
