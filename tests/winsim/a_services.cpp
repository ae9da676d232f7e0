// Unit tests of the simulated service control manager: the spooler service's states on the virtual clock,
// its scripted refusals, the error codes and the call record.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsim/machine.h>

#include <functional>

namespace {

// Opens the manager and "spooler" with all access, as the program does, and closes both on destruction.
class SpoolerService {
public:
    SpoolerService() {
        m_scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
        m_svc = m_scm ? OpenServiceA(m_scm, "spooler", SERVICE_ALL_ACCESS) : nullptr;
    }
    ~SpoolerService() {
        if (m_svc)
            CloseServiceHandle(m_svc);
        if (m_scm)
            CloseServiceHandle(m_scm);
    }
    SC_HANDLE handle() const { return m_svc; }
    // The current state, or 0 when the query fails.
    DWORD State() const {
        SERVICE_STATUS st = {};
        return QueryServiceStatus(m_svc, &st) ? st.dwCurrentState : 0;
    }
    BOOL Stop(SERVICE_STATUS* st) const { return ControlService(m_svc, SERVICE_CONTROL_STOP, st); }
    BOOL Start() const { return StartServiceA(m_svc, 0, nullptr); }

private:
    SC_HANDLE m_scm = nullptr;
    SC_HANDLE m_svc = nullptr;
};

TEST(Services, TheSpoolerStopsAndStartsOnTheVirtualClock) {
    winsim::ScopedMachine m;
    SpoolerService svc;
    ASSERT_TRUE(svc.handle());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), svc.State());

    SERVICE_STATUS st = {};
    ASSERT_TRUE(svc.Stop(&st));
    EXPECT_EQ(DWORD(SERVICE_STOP_PENDING), st.dwCurrentState);
    EXPECT_TRUE(m->spooler.Running());
    Sleep(9);
    EXPECT_EQ(DWORD(SERVICE_STOP_PENDING), svc.State());
    Sleep(1);
    EXPECT_EQ(DWORD(SERVICE_STOPPED), svc.State());
    EXPECT_FALSE(m->spooler.Running());

    ASSERT_TRUE(svc.Start());
    EXPECT_EQ(DWORD(SERVICE_START_PENDING), svc.State());
    EXPECT_FALSE(m->spooler.Running());
    Sleep(35);
    EXPECT_EQ(DWORD(SERVICE_RUNNING), svc.State());
    EXPECT_TRUE(m->spooler.Running());
    EXPECT_EQ(1, m->services.spoolerStops);
    EXPECT_EQ(1, m->services.spoolerStarts);
}

TEST(Services, ASlowServiceStaysPendingUntilItsLatencyHasPassed) {
    winsim::ScopedMachine m;
    m->services.Behaviour("spooler").stopLatencyMs = 2500;
    m->services.Behaviour("spooler").startLatencyMs = 2500;
    SpoolerService svc;
    SERVICE_STATUS st = {};
    ASSERT_TRUE(svc.Stop(&st));
    Sleep(1000);
    SERVICE_STATUS pending = {};
    ASSERT_TRUE(QueryServiceStatus(svc.handle(), &pending));
    EXPECT_EQ(DWORD(SERVICE_STOP_PENDING), pending.dwCurrentState);
    EXPECT_EQ(0u, pending.dwControlsAccepted);
    EXPECT_NE(0u, pending.dwWaitHint);
    Sleep(1000);
    EXPECT_EQ(DWORD(SERVICE_STOP_PENDING), m->services.State("Spooler"));
    Sleep(500);
    EXPECT_EQ(DWORD(SERVICE_STOPPED), svc.State());

    ASSERT_TRUE(svc.Start());
    Sleep(2499);
    EXPECT_EQ(DWORD(SERVICE_START_PENDING), svc.State());
    Sleep(1);
    EXPECT_EQ(DWORD(SERVICE_RUNNING), svc.State());
}

TEST(Services, StartingTheSpoolerReadsItsPrintersFromTheRegistryAgain) {
    winsim::ScopedMachine m;
    m->spooler.AddDriver({"Drv", "", -1, "D.DLL", "U.DLL", "P.PPD"});
    m->spooler.AddPrinter({"Printer 1", "Drv"});
    m->spooler.AddPrinter({"Printer 2", "Drv"});
    SpoolerService svc;
    SERVICE_STATUS st;
    ASSERT_TRUE(svc.Stop(&st));
    Sleep(100);
    m->registry.DeleteTree("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Printer 1");
    EXPECT_TRUE(m->spooler.PrinterExists("Printer 1"));
    ASSERT_TRUE(svc.Start());
    Sleep(100);
    EXPECT_FALSE(m->spooler.PrinterExists("Printer 1"));
    EXPECT_TRUE(m->spooler.PrinterExists("Printer 2"));
}

TEST(Services, TheMessageLoopsIdleWaitAdvancesTheServices) {
    winsim::ScopedMachine m;
    m->services.Behaviour().stopLatencyMs = 1500;
    SpoolerService svc;
    SERVICE_STATUS st;
    ASSERT_TRUE(svc.Stop(&st));
    ASSERT_TRUE(SetTimer(nullptr, 0, 2000, nullptr));
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    EXPECT_EQ(UINT(WM_TIMER), msg.message);
    EXPECT_EQ(2000u, m->now);
    // No service call was needed for the spooler to go down meanwhile.
    EXPECT_FALSE(m->spooler.Running());
    EXPECT_EQ(DWORD(SERVICE_STOPPED), svc.State());
}

TEST(Services, ErrorsFollowTheServiceState) {
    winsim::ScopedMachine m;
    SpoolerService svc;
    SERVICE_STATUS st = {};
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(svc.Start());
    EXPECT_EQ(DWORD(ERROR_SERVICE_ALREADY_RUNNING), GetLastError());

    m->services.Behaviour().startLatencyMs = 1000;
    m->services.SetState("spooler", SERVICE_STOPPED);
    EXPECT_FALSE(m->spooler.Running());
    memset(&st, 0xA5, sizeof(st));
    EXPECT_FALSE(svc.Stop(&st));
    EXPECT_EQ(DWORD(ERROR_SERVICE_NOT_ACTIVE), GetLastError());
    // The refusal still reports the status.
    EXPECT_EQ(DWORD(SERVICE_STOPPED), st.dwCurrentState);

    ASSERT_TRUE(svc.Start());
    EXPECT_FALSE(svc.Start());
    EXPECT_EQ(DWORD(ERROR_SERVICE_ALREADY_RUNNING), GetLastError());
    // Windows refuses a stop while the service starts (Wine forwards it).
    EXPECT_FALSE(svc.Stop(&st));
    EXPECT_EQ(DWORD(ERROR_SERVICE_CANNOT_ACCEPT_CTRL), GetLastError());
    EXPECT_EQ(DWORD(SERVICE_START_PENDING), st.dwCurrentState);

    EXPECT_FALSE(ControlService(svc.handle(), SERVICE_CONTROL_PAUSE, &st));
    EXPECT_EQ(DWORD(ERROR_SERVICE_CANNOT_ACCEPT_CTRL), GetLastError());
    Sleep(1000);
    EXPECT_FALSE(ControlService(svc.handle(), SERVICE_CONTROL_PAUSE, &st));
    EXPECT_EQ(DWORD(ERROR_INVALID_SERVICE_CONTROL), GetLastError());
    EXPECT_FALSE(ControlService(svc.handle(), 77, &st));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
    ASSERT_TRUE(ControlService(svc.handle(), SERVICE_CONTROL_INTERROGATE, &st));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), st.dwCurrentState);
    EXPECT_EQ(DWORD(SERVICE_ACCEPT_STOP), st.dwControlsAccepted & SERVICE_ACCEPT_STOP);
}

TEST(Services, OpeningFindsNamesCaseInsensitivelyAndRefusesTheRest) {
    winsim::ScopedMachine m;
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_TRUE(scm);
    for (const char* name : {"spooler", "Spooler", "SPOOLER"}) {
        SC_HANDLE h = OpenServiceA(scm, name, SERVICE_QUERY_STATUS);
        EXPECT_TRUE(h) << name;
        EXPECT_TRUE(CloseServiceHandle(h));
    }
    struct Case {
        const char* name;
        DWORD error;
    };
    for (const Case& c : {Case{"nosuchservice", ERROR_SERVICE_DOES_NOT_EXIST}, Case{"spooler ", ERROR_SERVICE_DOES_NOT_EXIST},
                          Case{"", ERROR_INVALID_NAME}, Case{nullptr, ERROR_INVALID_ADDRESS}}) {
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(OpenServiceA(scm, c.name, SERVICE_ALL_ACCESS));
        EXPECT_EQ(c.error, GetLastError()) << (c.name ? c.name : "(null)");
    }
    EXPECT_FALSE(OpenServiceA(nullptr, "spooler", SERVICE_ALL_ACCESS));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(OpenSCManagerA("\\\\OTHERHOST", nullptr, SC_MANAGER_CONNECT));
    EXPECT_EQ(DWORD(RPC_S_SERVER_UNAVAILABLE), GetLastError());
    SC_HANDLE local = OpenSCManagerA("\\\\workstation", "ServicesActive", SC_MANAGER_CONNECT);
    EXPECT_TRUE(local);
    EXPECT_TRUE(CloseServiceHandle(local));

    EXPECT_TRUE(CloseServiceHandle(scm));
    EXPECT_FALSE(CloseServiceHandle(scm));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(0u, m->services.OpenHandles());
}

TEST(Services, AUserWithoutAdministratorRightsMayOnlyLook) {
    winsim::ScopedMachine m;
    m->services.admin = false;
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_TRUE(scm);
    EXPECT_FALSE(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_FALSE(OpenServiceA(scm, "spooler", SERVICE_ALL_ACCESS));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    SC_HANDLE look = OpenServiceA(scm, "spooler", SERVICE_QUERY_STATUS);
    ASSERT_TRUE(look);
    SERVICE_STATUS st;
    EXPECT_TRUE(QueryServiceStatus(look, &st));
    // A handle without SERVICE_STOP cannot stop, whoever holds it.
    EXPECT_FALSE(ControlService(look, SERVICE_CONTROL_STOP, &st));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), m->services.State());
    CloseServiceHandle(look);
    CloseServiceHandle(scm);
}

struct RefusalCase {
    const char* what;
    std::function<void(winsim::Machine&)> script;
    BOOL stopResult;
    DWORD stopError;
    DWORD afterStop;   // state a second later
    BOOL startResult;  // StartServiceA once the service is stopped by the test
    DWORD startError;
    DWORD afterStart;  // state a second later
    DWORD exitCode;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.what;
}

class ServiceRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(ServiceRefusal, IsWhatTheProgramSees) {
    const RefusalCase& c = GetParam();
    winsim::ScopedMachine m;
    c.script(*m);
    SpoolerService svc;
    SERVICE_STATUS st = {};
    SetLastError(0xdeadbeef);
    EXPECT_EQ(c.stopResult, svc.Stop(&st));
    if (!c.stopResult)
        EXPECT_EQ(c.stopError, GetLastError());
    Sleep(1000);
    EXPECT_EQ(c.afterStop, svc.State());
    // The print spooler serves until the service has stopped.
    EXPECT_EQ(c.afterStop != SERVICE_STOPPED, m->spooler.Running());

    m->services.SetState("spooler", SERVICE_STOPPED);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(c.startResult, svc.Start());
    if (!c.startResult)
        EXPECT_EQ(c.startError, GetLastError());
    Sleep(1000);
    ASSERT_TRUE(QueryServiceStatus(svc.handle(), &st));
    EXPECT_EQ(c.afterStart, st.dwCurrentState);
    EXPECT_EQ(c.exitCode, st.dwWin32ExitCode);
    EXPECT_EQ(c.afterStart == SERVICE_RUNNING, m->spooler.Running());
}

const RefusalCase kRefusals[] = {
    {"willing", [](winsim::Machine&) {}, TRUE, 0, SERVICE_STOPPED, TRUE, 0, SERVICE_RUNNING, 0},
    {"refuses to stop with an error",
     [](winsim::Machine& m) { m.services.Behaviour().refuseStop = ERROR_DEPENDENT_SERVICES_RUNNING; }, FALSE,
     ERROR_DEPENDENT_SERVICES_RUNNING, SERVICE_RUNNING, TRUE, 0, SERVICE_RUNNING, 0},
    {"accepts the stop and keeps running", [](winsim::Machine& m) { m.services.Behaviour().ignoreStop = true; },
     TRUE, 0, SERVICE_RUNNING, TRUE, 0, SERVICE_RUNNING, 0},
    {"hangs in stop pending", [](winsim::Machine& m) { m.services.Behaviour().stopLatencyMs = UINT64_MAX; }, TRUE,
     0, SERVICE_STOP_PENDING, TRUE, 0, SERVICE_RUNNING, 0},
    {"refuses to start", [](winsim::Machine& m) { m.services.Behaviour().refuseStart = ERROR_SERVICE_DISABLED; },
     TRUE, 0, SERVICE_STOPPED, FALSE, ERROR_SERVICE_DISABLED, SERVICE_STOPPED, 0},
    {"gives up while starting",
     [](winsim::Machine& m) { m.services.Behaviour().startFailsWith = ERROR_SERVICE_SPECIFIC_ERROR; }, TRUE, 0,
     SERVICE_STOPPED, TRUE, 0, SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR},
};

INSTANTIATE_TEST_SUITE_P(Spooler, ServiceRefusal, ::testing::ValuesIn(kRefusals));

TEST(Services, AStatusQueryCanFailWhileTheServiceGoesOn) {
    winsim::ScopedMachine m;
    SpoolerService svc;
    m->services.Behaviour().refuseQuery = ERROR_SERVICE_REQUEST_TIMEOUT;
    SERVICE_STATUS st;
    EXPECT_FALSE(QueryServiceStatus(svc.handle(), &st));
    EXPECT_EQ(DWORD(ERROR_SERVICE_REQUEST_TIMEOUT), GetLastError());
    m->services.Behaviour().refuseQuery = 0;
    // The fault layer does the same per call: here only the second query fails.
    m->faults.Fail("QueryServiceStatus", ERROR_ACCESS_DENIED, 1, 1);
    EXPECT_TRUE(QueryServiceStatus(svc.handle(), &st));
    EXPECT_FALSE(QueryServiceStatus(svc.handle(), &st));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(QueryServiceStatus(svc.handle(), &st));
}

TEST(Services, EveryCallIsRecordedWithItsTimeAndWindows9xHasNoServiceManager) {
    {
        winsim::ScopedMachine m;
        Sleep(500);
        {
            SpoolerService svc;
            SERVICE_STATUS st;
            svc.Stop(&st);
        }
        const auto& calls = m->services.Calls();
        ASSERT_EQ(5u, calls.size());
        EXPECT_EQ("OpenSCManagerA", calls[0].api);
        EXPECT_EQ("OpenServiceA", calls[1].api);
        EXPECT_EQ("spooler", calls[1].arg);
        EXPECT_EQ("ControlService", calls[2].api);
        EXPECT_EQ("Spooler 1", calls[2].arg);
        EXPECT_EQ(500u, calls[2].at);
        EXPECT_EQ(2, m->services.CallCount("CloseServiceHandle"));
    }
    for (winsim::Os os : {winsim::Os::Win95, winsim::Os::Win98, winsim::Os::WinMe}) {
        winsim::ScopedMachine m;
        m->system.SetOs(os);
        EXPECT_EQ(0u, m->services.CallCount());
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
        EXPECT_EQ(DWORD(ERROR_CALL_NOT_IMPLEMENTED), GetLastError());
        EXPECT_EQ(1u, m->services.CallCount());
        EXPECT_TRUE(m->spooler.Running());
    }
}

}  // namespace
