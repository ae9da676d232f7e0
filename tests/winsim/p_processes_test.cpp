// Unit tests of the simulated session's other processes: termination taking time, waits on the virtual
// clock, files and mutexes released at the end, the snapshot, and the shell's COM count.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>
#include <winsim/machine.h>

namespace {

TEST(SimProcesses, TerminationEndsTheProcessAfterItsDelayAndReleasesItsFiles) {
    winsim::ScopedMachine m;
    m->files.WriteFile("C:\\App\\app.exe", "x");
    winsim::SimProcess& app = m->processes.Start("C:\\App\\app.exe");
    app.exitDelayMs = 400;
    m->processes.HoldFile(app, "C:\\App\\app.exe");
    m->processes.HoldMutex(app, "App instance");

    HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, app.pid);
    ASSERT_NE(nullptr, h);
    ASSERT_TRUE(TerminateProcess(h, 7));
    EXPECT_TRUE(app.running);
    EXPECT_FALSE(DeleteFileA("C:\\App\\app.exe"));
    EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());

    uint64_t before = m->now;
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(h, 100));
    EXPECT_EQ(before + 100, m->now);
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(h, 5000));
    EXPECT_EQ(before + 400, m->now);

    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(h, &code));
    EXPECT_EQ(7u, code);
    EXPECT_FALSE(app.running);
    EXPECT_TRUE(DeleteFileA("C:\\App\\app.exe"));
    EXPECT_EQ(nullptr, OpenMutexW(MUTANT_QUERY_STATE, FALSE, u"App instance"));
    EXPECT_FALSE(TerminateProcess(h, 0));
    CloseHandle(h);
    EXPECT_EQ(nullptr, OpenProcess(PROCESS_ALL_ACCESS, FALSE, app.pid));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(SimProcesses, AHangingProcessTimesOutAndInfiniteWaitsAbort) {
    winsim::ScopedMachine m;
    winsim::SimProcess& app = m->processes.Start("C:\\App\\app.exe");
    app.hangs = true;
    HANDLE h = OpenProcess(PROCESS_ALL_ACCESS, FALSE, app.pid);
    ASSERT_TRUE(TerminateProcess(h, 0));
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(h, 3000));
    EXPECT_THROW(WaitForSingleObject(h, INFINITE), winsim::SimAbort);
    EXPECT_TRUE(app.running);
    CloseHandle(h);
}

TEST(SimProcesses, RightsAndRefusals) {
    winsim::ScopedMachine m;
    winsim::SimProcess& app = m->processes.Start("C:\\App\\app.exe");
    HANDLE query = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, app.pid);
    EXPECT_FALSE(TerminateProcess(query, 0));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    CloseHandle(query);
    app.denyOpen = true;
    EXPECT_EQ(nullptr, OpenProcess(PROCESS_ALL_ACCESS, FALSE, app.pid));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(0, app.terminations);
}

TEST(SimProcesses, SnapshotListsTheProgramAndTheRunningProcessesByFileName) {
    winsim::ScopedMachine m;
    m->modules.SetMainModule("C:\\Program Files\\Trellin\\Trellin.exe", winsim::ModuleImage());
    winsim::SimProcess& app = m->processes.Start("C:\\Temp\\Tallyvue\\Tallyvue.exe");
    winsim::SimProcess& ended = m->processes.Start("C:\\Old\\old.exe");
    m->processes.Exit(ended, 0);

    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W e;
    e.dwSize = sizeof(e);
    std::vector<std::pair<DWORD, std::u16string>> seen;
    for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e))
        seen.emplace_back(e.th32ProcessID, e.szExeFile);
    EXPECT_EQ(DWORD(ERROR_NO_MORE_FILES), GetLastError());
    CloseHandle(snap);
    std::vector<std::pair<DWORD, std::u16string>> expected = {{GetCurrentProcessId(), u"Trellin.exe"},
                                                              {app.pid, u"Tallyvue.exe"}};
    EXPECT_EQ(expected, seen);
}

TEST(SimShell, ComCountAndDesktopFolder) {
    winsim::ScopedMachine m;
    EXPECT_EQ(S_OK, CoInitialize(NULL));
    EXPECT_EQ(S_FALSE, CoInitialize(NULL));
    EXPECT_EQ(2, m->shell.comInitCount);
    LPITEMIDLIST pidl = nullptr;
    ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(NULL, CSIDL_DESKTOPDIRECTORY, &pidl));
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(SHGetPathFromIDListW(pidl, path));
    EXPECT_EQ(u"C:\\Documents and Settings\\Operator\\Desktop", std::u16string(path));
    EXPECT_TRUE(m->files.IsDirectory("C:\\Documents and Settings\\Operator\\Desktop"));
    CoTaskMemFree(pidl);
    m->shell.desktopMissing = true;
    EXPECT_EQ(E_FAIL, SHGetSpecialFolderLocation(NULL, CSIDL_DESKTOPDIRECTORY, &pidl));
    EXPECT_EQ(nullptr, pidl);
    CoUninitialize();
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(0, m->shell.comInitCount);
    EXPECT_TRUE(m->shell.taskMemory.empty());
}

}  // namespace
