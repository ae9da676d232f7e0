// Unit tests of the simulated file system: the test-side API, files held by others, injected failures, deferred
// renames per Windows release, search order, handle leaks.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsim/machine.h>

namespace {

const char kDriver[] = "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\BRDRV.DLL";

TEST(FileSystem, TestSideApiIsCaseInsensitiveAndKeepsCase) {
    winsim::ScopedMachine m;
    m->files.WriteFile(kDriver, "MZ driver");
    EXPECT_TRUE(m->files.Exists("c:\\windows\\SYSTEM32\\spool\\drivers\\W32X86\\3\\brdrv.dll"));
    EXPECT_TRUE(m->files.IsDirectory("C:\\Windows\\System32\\spool"));
    EXPECT_EQ(m->files.ReadFile("C:/WINDOWS/system32/spool/drivers/w32x86/3/brdrv.dll"),
              std::optional<std::string>("MZ driver"));
    EXPECT_EQ(m->files.StoredPath("c:\\windows\\system32\\spool\\drivers\\w32x86\\3\\brdrv.dll"),
              std::optional<std::string>(kDriver));
    m->files.WriteFile("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\a.hlp", "");
    m->files.CreateDirectory("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\Sub");
    EXPECT_EQ(m->files.List("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3"),
              (std::vector<std::string>{"a.hlp", "BRDRV.DLL", "Sub"}));
    EXPECT_TRUE(m->files.DeleteFile("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3"));
    EXPECT_FALSE(m->files.Exists(kDriver));
    EXPECT_FALSE(m->files.DeleteFile(kDriver));
}

TEST(FileSystem, PathsResolveAgainstTheCurrentDirectory) {
    winsim::ScopedMachine m;
    m->files.WriteFile("C:\\Work\\Data\\x.txt", "x");
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\Work\\Data"));
    EXPECT_NE(GetFileAttributesA("x.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA("..\\Data\\.\\x.txt"), INVALID_FILE_ATTRIBUTES);
    char buf[MAX_PATH];
    char* part = nullptr;
    ASSERT_EQ(GetFullPathNameA("..\\y.txt", sizeof(buf), buf, &part), 13u);
    EXPECT_STREQ(buf, "C:\\Work\\y.txt");
    EXPECT_STREQ(part, "y.txt");
    EXPECT_EQ(GetFullPathNameA("\\z", 3, buf, &part), 5u);  // "C:\z" does not fit in 3
}

struct BlockCase {
    const char* name;
    void (*arrange)(winsim::Machine&, const std::string&);
    DWORD deleteError;
};

const BlockCase kBlockCases[] = {
    {"held open by another process", [](winsim::Machine& m, const std::string& p) { m.files.HoldOpen(p, true); },
     ERROR_SHARING_VIOLATION},
    {"a loaded module image", [](winsim::Machine& m, const std::string& p) { m.files.MapImage(p, true); },
     ERROR_ACCESS_DENIED},
    {"read-only",
     [](winsim::Machine& m, const std::string& p) { m.files.SetAttributes(p, FILE_ATTRIBUTE_READONLY); },
     ERROR_ACCESS_DENIED},
};

TEST(FileSystem, DeletionIsRefusedForBlockedFilesAndWorksOnceReleased) {
    for (const BlockCase& c : kBlockCases) {
        SCOPED_TRACE(c.name);
        winsim::ScopedMachine m;
        m->files.WriteFile(kDriver, "MZ");
        c.arrange(*m, kDriver);
        EXPECT_FALSE(DeleteFileA(kDriver));
        EXPECT_EQ(GetLastError(), c.deleteError);
        EXPECT_TRUE(m->files.Exists(kDriver));
        m->files.HoldOpen(kDriver, false);
        m->files.MapImage(kDriver, false);
        m->files.SetAttributes(kDriver, FILE_ATTRIBUTE_ARCHIVE);
        EXPECT_TRUE(DeleteFileA(kDriver));
        EXPECT_FALSE(m->files.Exists(kDriver));
    }
}

TEST(FileSystem, HeldFilesStillOpenForSharedReading) {
    winsim::ScopedMachine m;
    m->files.WriteFile(kDriver, "MZ");
    m->files.HoldOpen(kDriver, true);
    HANDLE h = CreateFileA(kDriver, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    h = CreateFileA(kDriver, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(MoveFileA(kDriver, "C:\\moved.dll"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
}

TEST(FileSystem, AKillEndsTheProgramAtTheChosenCallBeforeItActs) {
    winsim::ScopedMachine m;
    for (const char* name : {"C:\\a.txt", "C:\\b.txt", "C:\\c.txt"})
        m->files.WriteFile(name, "x");
    m->faults.Kill("DeleteFileA", 1);
    EXPECT_TRUE(DeleteFileA("C:\\a.txt"));
    EXPECT_THROW(DeleteFileA("C:\\b.txt"), winsim::SimAbort);
    EXPECT_TRUE(m->files.Exists("C:\\b.txt"));
    // Only once: what runs after the kill (the test, a restore) is not killed again.
    EXPECT_TRUE(DeleteFileA("C:\\c.txt"));
}

TEST(FileSystem, InjectedFaultsMatchOnThePath) {
    winsim::ScopedMachine m;
    m->files.WriteFile("C:\\a.txt", "a");
    m->files.WriteFile("C:\\b.txt", "b");
    m->faults.Fail("DeleteFileA", ERROR_ACCESS_DENIED, -1, 0,
                   [](const std::string& path) { return path.find("b.txt") != std::string::npos; });
    EXPECT_TRUE(DeleteFileA("C:\\a.txt"));
    EXPECT_FALSE(DeleteFileA("C:\\b.txt"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(m->files.Exists("C:\\b.txt"));
    EXPECT_EQ(m->faults.Calls("DeleteFileA"), 2);

    m->faults.Fail("ReadFile", ERROR_LOCK_VIOLATION, 1);
    HANDLE h = CreateFileA("C:\\b.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char buf[4];
    DWORD n = 7;
    EXPECT_FALSE(ReadFile(h, buf, sizeof(buf), &n, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_LOCK_VIOLATION));
    EXPECT_TRUE(ReadFile(h, buf, sizeof(buf), &n, nullptr));
    EXPECT_EQ(n, 1u);
    CloseHandle(h);
}

TEST(FileSystem, DelayedRenamesOnNtGoToTheSessionManagerList) {
    winsim::ScopedMachine m;
    m->files.WriteFile(kDriver, "MZ");
    ASSERT_TRUE(MoveFileExA(kDriver, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileExA("C:\\new.dll", "c:\\windows\\old.dll",
                            MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(m->files.Exists(kDriver));
    auto pending = winsim::PendingFileRenames(m->registry);
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0], std::make_pair(std::string("\\??\\") + kDriver, std::string()));
    EXPECT_EQ(pending[1], std::make_pair(std::string("\\??\\C:\\new.dll"), std::string("!\\??\\C:\\windows\\old.dll")));
    auto raw = m->registry.GetValue("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                    "PendingFileRenameOperations");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, DWORD(REG_MULTI_SZ));
    // The last target, its NUL, and the NUL that ends the list.
    const std::string end = std::string("old.dll") + '\0' + '\0';
    ASSERT_GE(raw->data.size(), end.size());
    EXPECT_EQ(raw->data.substr(raw->data.size() - end.size()), end);
}

TEST(FileSystem, Windows9xHasNoMoveFileEx) {
    for (winsim::Os os : {winsim::Os::Win95, winsim::Os::Win98, winsim::Os::WinMe}) {
        winsim::ScopedMachine m;
        m->system.SetOs(os);
        m->files.WriteFile("C:\\WINDOWS\\SYSTEM\\drv.dll", "MZ");
        EXPECT_FALSE(MoveFileExA("C:\\WINDOWS\\SYSTEM\\drv.dll", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
        EXPECT_TRUE(winsim::PendingFileRenames(m->registry).empty());
        // MoveFileA is there on every release.
        EXPECT_TRUE(MoveFileA("C:\\WINDOWS\\SYSTEM\\drv.dll", "C:\\WINDOWS\\SYSTEM\\drv.old"));
    }
}

TEST(FileSystem, SearchPathLooksInTheProgramFolderBeforeTheSystemFolder) {
    winsim::ScopedMachine m;
    m->system.commandLine = "\"C:\\Program Files\\Trellin\\Trellin.exe\" /x";
    m->files.WriteFile("C:\\WINDOWS\\system32\\lang.dll", "system");
    char buf[MAX_PATH];
    ASSERT_GT(SearchPathA(nullptr, "lang", ".dll", sizeof(buf), buf, nullptr), 0u);
    EXPECT_STREQ(buf, "C:\\WINDOWS\\system32\\lang.dll");
    m->files.WriteFile("C:\\Program Files\\Trellin\\LANG.DLL", "ours");
    ASSERT_GT(SearchPathA(nullptr, "lang.dll", nullptr, sizeof(buf), buf, nullptr), 0u);
    EXPECT_STREQ(buf, "C:\\Program Files\\Trellin\\lang.dll");
    m->system.programDir = "C:\\Elsewhere";
    ASSERT_GT(SearchPathA(nullptr, "lang.dll", nullptr, sizeof(buf), buf, nullptr), 0u);
    EXPECT_STREQ(buf, "C:\\WINDOWS\\system32\\lang.dll");
}

TEST(FileSystem, OpenHandlesAreCountedForLeakChecks) {
    winsim::ScopedMachine m;
    m->files.WriteFile("C:\\a.txt", "a");
    HANDLE a = CreateFileA("C:\\a.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE b = CreateFileA("C:\\a.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA("C:\\*.txt", &fd);
    EXPECT_EQ(m->files.OpenFileCount(), 2u);
    EXPECT_EQ(m->system.handles.Live(), 3u);
    // A search handle is not closed by CloseHandle.
    EXPECT_FALSE(CloseHandle(f));
    EXPECT_TRUE(FindClose(f));
    CloseHandle(a);
    CloseHandle(b);
    EXPECT_EQ(m->files.OpenFileCount(), 0u);
    EXPECT_EQ(m->system.handles.Live(), 0u);
}

TEST(FileSystem, TimesFollowTheVirtualClock) {
    winsim::ScopedMachine m;
    m->files.WriteFile("C:\\t.txt", "1");
    auto before = m->files.GetTimes("C:\\t.txt");
    m->Advance(60 * 1000);
    HANDLE h = CreateFileA("C:\\t.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD n;
    WriteFile(h, "2", 1, &n, nullptr);
    CloseHandle(h);
    auto after = m->files.GetTimes("C:\\t.txt");
    ASSERT_TRUE(before && after);
    EXPECT_EQ(winsim::ToU64(after->lastWrite) - winsim::ToU64(before->lastWrite), 60ull * 1000 * 10000);
    EXPECT_EQ(winsim::ToU64(after->creation), winsim::ToU64(before->creation));
    SYSTEMTIME st;
    FileTimeToSystemTime(&after->lastWrite, &st);
    EXPECT_EQ(st.wYear, 2008);
    EXPECT_EQ(st.wMinute, 1);
}

}  // namespace
