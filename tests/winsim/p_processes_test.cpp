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

TEST(SimProcesses, NtBeforeVistaRefusesTheVistaAccessMask) {
    const DWORD vistaAllAccess = 0x1FFFFF;
    for (winsim::Os os : {winsim::Os::NT4, winsim::Os::Win2000, winsim::Os::WinXP, winsim::Os::Vista, winsim::Os::Win7}) {
        winsim::ScopedMachine m;
        m->system.SetOs(os);
        winsim::SimProcess& app = m->processes.Start("C:\\App\\app.exe");
        const bool refused = os != winsim::Os::Vista && os != winsim::Os::Win7;
        SetLastError(0xdeadbeef);
        HANDLE all = OpenProcess(vistaAllAccess, FALSE, app.pid);
        EXPECT_EQ(refused, all == nullptr) << int(os);
        EXPECT_EQ(refused ? DWORD(ERROR_ACCESS_DENIED) : 0xdeadbeef, GetLastError()) << int(os);
        if (all)
            CloseHandle(all);
        // What every version knows: the pre-Vista PROCESS_ALL_ACCESS, or terminate and synchronize.
        for (DWORD access : {DWORD(PROCESS_ALL_ACCESS), DWORD(PROCESS_TERMINATE | SYNCHRONIZE)}) {
            HANDLE h = OpenProcess(access, FALSE, app.pid);
            EXPECT_NE(nullptr, h) << int(os) << " " << access;
            CloseHandle(h);
        }
    }
}

TEST(SimProcesses, EachWindowsVersionExportsItsOwnProcessLists) {
    struct Case {
        winsim::Os os;
        bool snapshot, ansiWalk, wideWalk, systemList;
    };
    const Case cases[] = {
        {winsim::Os::Win98, true, true, false, false},   {winsim::Os::WinMe, true, true, false, false},
        {winsim::Os::NT4, false, false, false, true},    {winsim::Os::Win2000, true, true, false, true},
        {winsim::Os::WinXP, true, true, true, true},     {winsim::Os::Win7, true, true, true, true},
    };
    for (const Case& c : cases) {
        winsim::ScopedMachine m;
        m->system.SetOs(c.os);
        m->modules.InstallSystemLibraries();
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        ASSERT_NE(nullptr, kernel);
        ASSERT_NE(nullptr, ntdll);
        EXPECT_EQ(c.snapshot, GetProcAddress(kernel, "CreateToolhelp32Snapshot") != nullptr) << int(c.os);
        EXPECT_EQ(c.ansiWalk, GetProcAddress(kernel, "Process32First") != nullptr) << int(c.os);
        EXPECT_EQ(c.ansiWalk, GetProcAddress(kernel, "Process32Next") != nullptr) << int(c.os);
        EXPECT_EQ(c.wideWalk, GetProcAddress(kernel, "Process32FirstW") != nullptr) << int(c.os);
        EXPECT_EQ(c.wideWalk, GetProcAddress(kernel, "Process32NextW") != nullptr) << int(c.os);
        SetLastError(0);
        EXPECT_EQ(c.systemList, GetProcAddress(ntdll, "NtQuerySystemInformation") != nullptr) << int(c.os);
        if (!c.systemList)
            EXPECT_EQ(DWORD(ERROR_PROC_NOT_FOUND), GetLastError());
    }
}

TEST(SimProcesses, Windows9xSnapshotGivesFullAnsiPaths) {
    winsim::ScopedMachine m;
    m->system.SetOs(winsim::Os::Win98);
    m->system.SetLocale(0x0411);
    winsim::SimProcess& app = m->processes.Start("C:\\\xE8\xA1\xA8\\app.exe");  // C:\表\app.exe
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 e;
    e.dwSize = sizeof(e);
    std::vector<std::pair<DWORD, std::string>> seen;
    for (BOOL more = Process32First(snap, &e); more; more = Process32Next(snap, &e))
        seen.emplace_back(e.th32ProcessID, e.szExeFile);
    CloseHandle(snap);
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(app.pid, seen[1].first);
    EXPECT_EQ("C:\\\x95\x5C\\app.exe", seen[1].second);
}

TEST(SimProcesses, SystemProcessListIsSizedByTwoCalls) {
    winsim::ScopedMachine m;
    m->system.SetOs(winsim::Os::NT4);
    m->modules.SetMainModule("C:\\Program Files\\Trellin\\Trellin.exe", winsim::ModuleImage());
    winsim::SimProcess& app = m->processes.Start("C:\\Temp\\Tallyvue\\Tallyvue.exe");
    ULONG needed = 0;
    EXPECT_EQ(STATUS_INFO_LENGTH_MISMATCH, NtQuerySystemInformation(SystemProcessInformation, nullptr, 0, &needed));
    ASSERT_GT(needed, 3 * sizeof(SYSTEM_PROCESS_INFORMATION));
    std::vector<uint64_t> buffer(needed / 8 + 1);
    EXPECT_EQ(STATUS_INFO_LENGTH_MISMATCH,
              NtQuerySystemInformation(SystemProcessInformation, buffer.data(), needed - 1, &needed));
    ASSERT_EQ(STATUS_SUCCESS, NtQuerySystemInformation(SystemProcessInformation, buffer.data(), needed, &needed));
    std::vector<std::pair<DWORD, std::u16string>> seen;
    const BYTE* at = reinterpret_cast<const BYTE*>(buffer.data());
    for (;;) {
        SYSTEM_PROCESS_INFORMATION info;
        memcpy(&info, at, sizeof(info));
        seen.emplace_back(DWORD(uintptr_t(info.UniqueProcessId)),
                          std::u16string(info.ImageName.Buffer ? info.ImageName.Buffer : u"",
                                         info.ImageName.Length / sizeof(WCHAR)));
        if (!info.NextEntryOffset)
            break;
        at += info.NextEntryOffset;
    }
    std::vector<std::pair<DWORD, std::u16string>> expected = {
        {0, u""}, {GetCurrentProcessId(), u"Trellin.exe"}, {app.pid, u"Tallyvue.exe"}};
    EXPECT_EQ(expected, seen);
    m->processes.listReportsSize = false;
    needed = 1;
    EXPECT_EQ(STATUS_INFO_LENGTH_MISMATCH, NtQuerySystemInformation(SystemProcessInformation, buffer.data(), 8, &needed));
    EXPECT_EQ(0u, needed);
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
