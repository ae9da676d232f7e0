// Unit tests of the simulated logon session: token privileges, ExitWindowsEx and the restart that carries out
// the pending file operations.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsim/machine.h>

namespace {

const char kSessionManager[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// What the program does before it restarts the machine: enable the shutdown privilege. Returns
// GetLastError after AdjustTokenPrivileges, or ~0 when a call before it failed.
DWORD EnableShutdownPrivilege() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return ~0u;
    TOKEN_PRIVILEGES tp;
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    DWORD error = ~0u;
    if (LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid)) {
        SetLastError(0xdeadbeef);
        if (AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr))
            error = GetLastError();
    }
    CloseHandle(token);
    return error;
}

TEST(Session, AGrantedRebootIsRecordedAndLeftPendingForTheTest) {
    winsim::ScopedMachine m;
    Sleep(1234);
    EXPECT_FALSE(m->security.Enabled(SE_SHUTDOWN_NAME));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), EnableShutdownPrivilege());
    EXPECT_TRUE(m->security.Enabled("seshutdownprivilege"));
    EXPECT_EQ(0u, m->system.handles.Live("token"));

    EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0));
    ASSERT_EQ(1u, m->security.shutdowns.size());
    const winsim::ShutdownRequest& r = m->security.shutdowns[0];
    EXPECT_EQ(UINT(EWX_REBOOT | EWX_FORCE), r.flags);
    EXPECT_EQ(1234u, r.at);
    EXPECT_TRUE(r.granted);
    EXPECT_TRUE(m->security.restartPending);
    // The program goes on; the test decides when the machine comes back.
    m->Restart();
    EXPECT_FALSE(m->security.restartPending);
    EXPECT_EQ(1, m->security.restarts);
    EXPECT_FALSE(m->security.Enabled(SE_SHUTDOWN_NAME));
}

struct ShutdownCase {
    const char* what;
    winsim::Os os;
    bool revoke;         // the user lacks SeShutdownPrivilege
    bool enable;         // the program enables it first
    DWORD faultError;    // injected ExitWindowsEx failure (0: none)
    UINT flags;
    DWORD adjustError;   // GetLastError after AdjustTokenPrivileges (~0: a token call failed)
    BOOL result;
    DWORD error;
    bool restartPending;
};

void PrintTo(const ShutdownCase& c, std::ostream* os) {
    *os << c.what;
}

class Shutdown : public ::testing::TestWithParam<ShutdownCase> {};

TEST_P(Shutdown, NeedsThePrivilegeOnNt) {
    const ShutdownCase& c = GetParam();
    winsim::ScopedMachine m;
    m->system.SetOs(c.os);
    if (c.revoke)
        m->security.Revoke(SE_SHUTDOWN_NAME);
    if (c.faultError)
        m->faults.Fail("ExitWindowsEx", c.faultError);
    if (c.enable)
        EXPECT_EQ(c.adjustError, EnableShutdownPrivilege());
    SetLastError(0xdeadbeef);
    EXPECT_EQ(c.result, ExitWindowsEx(c.flags, 0));
    if (!c.result)
        EXPECT_EQ(c.error, GetLastError());
    ASSERT_EQ(1u, m->security.shutdowns.size());
    EXPECT_EQ(c.result != FALSE, m->security.shutdowns[0].granted);
    EXPECT_EQ(c.result ? 0u : c.error, m->security.shutdowns[0].error);
    EXPECT_EQ(c.restartPending, m->security.restartPending);
}

const ShutdownCase kShutdowns[] = {
    {"privilege enabled", winsim::Os::WinXP, false, true, 0, EWX_REBOOT | EWX_FORCE, 0, TRUE, 0, true},
    {"privilege held, not enabled", winsim::Os::WinXP, false, false, 0, EWX_REBOOT | EWX_FORCE, 0, FALSE,
     ERROR_PRIVILEGE_NOT_HELD, false},
    {"user lacks the privilege", winsim::Os::Win2000, true, true, 0, EWX_REBOOT | EWX_FORCE, ERROR_NOT_ALL_ASSIGNED,
     FALSE, ERROR_PRIVILEGE_NOT_HELD, false},
    {"log off needs no privilege", winsim::Os::NT4, true, false, 0, EWX_LOGOFF, 0, TRUE, 0, false},
    {"failure injected", winsim::Os::WinXP, false, true, ERROR_NOT_READY, EWX_REBOOT | EWX_FORCE, 0, FALSE,
     ERROR_NOT_READY, false},
    {"Windows 9x has no tokens", winsim::Os::Win98, false, true, 0, EWX_REBOOT | EWX_FORCE, ~0u, TRUE, 0, true},
};

INSTANTIATE_TEST_SUITE_P(ExitWindowsEx, Shutdown, ::testing::ValuesIn(kShutdowns));

TEST(Session, AdjustTokenPrivilegesReportsThePreviousStateAndChecksItsBuffer) {
    winsim::ScopedMachine m;
    HANDLE token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES tp;
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Luid = {19, 0};
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    TOKEN_PRIVILEGES previous;
    DWORD length = 0;
    EXPECT_FALSE(AdjustTokenPrivileges(token, FALSE, &tp, 4, &previous, &length));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(DWORD(sizeof(TOKEN_PRIVILEGES)), length);
    EXPECT_FALSE(m->security.Enabled(SE_SHUTDOWN_NAME));
    ASSERT_TRUE(AdjustTokenPrivileges(token, FALSE, &tp, sizeof(previous), &previous, &length));
    ASSERT_EQ(1u, previous.PrivilegeCount);
    EXPECT_EQ(19u, previous.Privileges[0].Luid.LowPart);
    EXPECT_EQ(0u, previous.Privileges[0].Attributes);
    // Disabling every privilege leaves them held.
    ASSERT_TRUE(AdjustTokenPrivileges(token, TRUE, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
    EXPECT_FALSE(m->security.Enabled(SE_SHUTDOWN_NAME));
    EXPECT_FALSE(m->security.Enabled("SeChangeNotifyPrivilege"));
    EXPECT_TRUE(m->security.Holds(SE_SHUTDOWN_NAME));
    EXPECT_TRUE(CloseHandle(token));
    EXPECT_FALSE(CloseHandle(token));
}

TEST(Session, TokenCallsFailWhereTheSystemSaysSo) {
    winsim::ScopedMachine m;
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenProcessToken(reinterpret_cast<HANDLE>(0x1234), TOKEN_QUERY, &token));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    m->faults.Fail("OpenProcessToken", ERROR_ACCESS_DENIED, 1);
    EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    LUID luid;
    EXPECT_FALSE(LookupPrivilegeValueA("\\\\OTHERHOST", SE_SHUTDOWN_NAME, &luid));
    EXPECT_EQ(DWORD(RPC_S_SERVER_UNAVAILABLE), GetLastError());
    EXPECT_TRUE(LookupPrivilegeValueA("\\\\WORKSTATION", SE_SHUTDOWN_NAME, &luid));
    m->faults.Fail("LookupPrivilegeValueA", ERROR_NO_SUCH_PRIVILEGE, 1);
    EXPECT_FALSE(LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &luid));
    EXPECT_EQ(DWORD(ERROR_NO_SUCH_PRIVILEGE), GetLastError());
}

// The pending list as MoveFileExA writes it, carried out at restart.
TEST(Restart, CarriesOutThePendingFileOperationsInOrder) {
    winsim::ScopedMachine m;
    winsim::FileSystem& fs = m->files;
    fs.WriteFile("C:\\drv\\held.dll", "held");
    fs.HoldOpen("C:\\drv\\held.dll", true);
    fs.WriteFile("C:\\drv\\mapped.dll", "mapped");
    fs.MapImage("C:\\drv\\mapped.dll", true);
    fs.WriteFile("C:\\drv\\new.dll", "new");
    fs.WriteFile("C:\\drv\\old.dll", "old");
    fs.WriteFile("C:\\drv\\keep.dll", "keep");
    fs.WriteFile("C:\\drv\\other.dll", "other");
    fs.CreateDirectory("C:\\drv\\empty");
    fs.WriteFile("C:\\drv\\full\\x.txt", "x");
    fs.WriteFile("C:\\drv\\later.txt", "later");
    fs.WriteFile("C:\\drv\\stays open.txt", "s");
    fs.HoldOpen("C:\\drv\\stays open.txt", true);

    const DWORD later = MOVEFILE_DELAY_UNTIL_REBOOT;
    ASSERT_TRUE(MoveFileExA("C:\\drv\\held.dll", nullptr, later));
    ASSERT_TRUE(MoveFileExA("C:\\drv\\mapped.dll", nullptr, later));
    ASSERT_TRUE(MoveFileExA("C:\\drv\\gone.dll", nullptr, later));  // missing by then: skipped
    ASSERT_TRUE(MoveFileExA("C:\\drv\\new.dll", "C:\\drv\\old.dll", later | MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(MoveFileExA("C:\\drv\\other.dll", "C:\\drv\\keep.dll", later));  // no "!": target kept
    ASSERT_TRUE(MoveFileExA("C:\\drv\\empty", nullptr, later));
    ASSERT_TRUE(MoveFileExA("C:\\drv\\full", nullptr, later));  // not empty: stays
    ASSERT_TRUE(MoveFileExA("C:\\drv\\later.txt", "C:\\drv\\moved.txt", later));
    ASSERT_TRUE(MoveFileExA("C:\\drv\\moved.txt", nullptr, later));  // in order: moved, then deleted
    ASSERT_TRUE(MoveFileExA("C:\\drv\\x.txt", "C:\\nofolder\\x.txt", later));
    ASSERT_EQ(10u, winsim::PendingFileRenames(m->registry).size());

    m->Restart();

    EXPECT_FALSE(fs.Exists("C:\\drv\\held.dll"));
    EXPECT_FALSE(fs.Exists("C:\\drv\\mapped.dll"));
    EXPECT_FALSE(fs.Exists("C:\\drv\\new.dll"));
    EXPECT_EQ("new", fs.ReadFile("C:\\drv\\old.dll").value_or(""));
    EXPECT_EQ("keep", fs.ReadFile("C:\\drv\\keep.dll").value_or(""));
    EXPECT_TRUE(fs.Exists("C:\\drv\\other.dll"));
    EXPECT_FALSE(fs.Exists("C:\\drv\\empty"));
    EXPECT_TRUE(fs.Exists("C:\\drv\\full\\x.txt"));
    EXPECT_FALSE(fs.Exists("C:\\drv\\later.txt"));
    EXPECT_FALSE(fs.Exists("C:\\drv\\moved.txt"));
    EXPECT_FALSE(fs.Exists("C:\\nofolder"));
    EXPECT_FALSE(m->registry.GetValue(kSessionManager, "PendingFileRenameOperations"));

    // Nobody holds the file any more: it can be deleted now.
    EXPECT_TRUE(DeleteFileA("C:\\drv\\stays open.txt"));
}

TEST(Restart, WithNothingPendingChangesNoFile) {
    winsim::ScopedMachine m;
    m->files.WriteFile("C:\\a.txt", "a");
    m->Restart();
    EXPECT_TRUE(m->files.Exists("C:\\a.txt"));
    EXPECT_EQ(1, m->security.restarts);
}

TEST(Restart, BringsTheSpoolerBackWithWhatTheRegistryHolds) {
    winsim::ScopedMachine m;
    m->spooler.AddDriver({"Drv", "", -1, "D.DLL", "U.DLL", "P.PPD"});
    m->spooler.AddPrinter({"Printer 1", "Drv"});
    m->services.Behaviour().refuseStart = ERROR_SERVICE_DISABLED;
    m->services.SetState("spooler", SERVICE_STOPPED);
    m->registry.DeleteTree("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Printer 1");
    m->Restart();
    EXPECT_EQ(DWORD(SERVICE_RUNNING), m->services.State());
    EXPECT_TRUE(m->spooler.Running());
    EXPECT_FALSE(m->spooler.PrinterExists("Printer 1"));
    // The script of the service stays: a later start is refused again.
    EXPECT_EQ(DWORD(ERROR_SERVICE_DISABLED), m->services.Behaviour().refuseStart);
}

}  // namespace
