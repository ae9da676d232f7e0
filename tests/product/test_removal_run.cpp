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
    if (const UINT closing = removed ? run.BeginClosingCycle() : 0) {
        // Ticked as the dialog's timer ticks it, once a second, until it ends one way or the other.
        for (int tick = 0; tick < 10 && run.TickCycle(closing) == CYCLE_WAITING; ++tick)
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

// The start of a run: on NT the list arrives only when the opening cycle, ticked by its caller, is over;
// on Windows 9x, or with a spooler that cannot be opened, it is there at once.
TEST(RemovalRunStart, TheListArrivesWhenTheOpeningCycleIsOver) {
    struct Case {
        const char* what;
        winsim::Os os;
        bool serviceOpens;
        bool cycle;  // an opening cycle is under way after Begin
    } cases[] = {
        {"Windows XP", winsim::Os::WinXP, true, true},
        {"NT 4", winsim::Os::NT4, true, true},
        {"Windows 98", winsim::Os::Win98, true, false},
        {"a spooler that cannot be opened", winsim::Os::WinXP, false, false},
    };
    for (const Case& c : cases) {
        RemovalStation st(c.os);
        st.AddOfficeAndPlain();
        if (!c.serviceOpens)
            st.ws->faults.Fail("OpenServiceA", ERROR_ACCESS_DENIED);
        CRemovalRun run;
        const UINT opening = run.Begin();
        EXPECT_EQ(opening, c.cycle ? (UINT)SPOOLER_EVENT_STARTUP : 0u) << c.what;
        EXPECT_EQ(run.AwaitsPrinterList(), c.cycle) << c.what;
        EXPECT_EQ(run.m_bListArrived, !c.cycle) << c.what;
        for (int tick = 0; opening && tick < 10 && run.TickCycle(opening) == CYCLE_WAITING; ++tick) {
            EXPECT_TRUE(run.m_printerList.IsEmpty()) << c.what;
            Sleep(1000);
        }
        EXPECT_TRUE(run.m_bListArrived) << c.what;
        EXPECT_EQ(run.m_cycle.Pending(), 0u) << c.what;
        EXPECT_EQ(run.OfferedPrinters(), std::vector<CString>(1, CString("Office"))) << c.what;
        EXPECT_EQ(st.ws->services.spoolerStops, c.cycle ? 1 : 0) << c.what;
        EXPECT_EQ(st.ws->services.State(), (DWORD)SERVICE_RUNNING) << c.what;
    }
}

}  // namespace
