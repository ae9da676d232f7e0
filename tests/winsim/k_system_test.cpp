// Unit tests of the simulated system facts: version packing per Windows release, folders, locale, memory, debug capture.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsim/machine.h>

#include <stdio.h>

namespace {

struct OsCase {
    winsim::Os os;
    DWORD version;       // GetVersion as Wine reports it for that version setting
    DWORD platform;
    const char* windowsDir;
    const char* systemDir;
};

const OsCase kOsCases[] = {
    {winsim::Os::Win95, 0xC0000004, VER_PLATFORM_WIN32_WINDOWS, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"},
    {winsim::Os::Win98, 0xC0000A04, VER_PLATFORM_WIN32_WINDOWS, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"},
    {winsim::Os::WinMe, 0xC0005A04, VER_PLATFORM_WIN32_WINDOWS, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"},
    {winsim::Os::NT4, 0x05650004, VER_PLATFORM_WIN32_NT, "C:\\WINNT", "C:\\WINNT\\system32"},
    {winsim::Os::Win2000, 0x08930005, VER_PLATFORM_WIN32_NT, "C:\\WINNT", "C:\\WINNT\\system32"},
    {winsim::Os::WinXP, 0x0A280105, VER_PLATFORM_WIN32_NT, "C:\\WINDOWS", "C:\\WINDOWS\\system32"},
    {winsim::Os::Win2003, 0x0ECE0205, VER_PLATFORM_WIN32_NT, "C:\\WINDOWS", "C:\\WINDOWS\\system32"},
    {winsim::Os::Vista, 0x17720006, VER_PLATFORM_WIN32_NT, "C:\\Windows", "C:\\Windows\\system32"},
    {winsim::Os::Win7, 0x1DB10106, VER_PLATFORM_WIN32_NT, "C:\\Windows", "C:\\Windows\\system32"},
};

// Names the case in test listings by its values rather than its bytes.
void PrintTo(const OsCase& c, std::ostream* os) {
    *os << "os " << static_cast<int>(c.os) << " version " << std::hex << c.version;
}

class OsPreset : public ::testing::TestWithParam<OsCase> {};

TEST_P(OsPreset, VersionAndFoldersMatchTheRelease) {
    const OsCase& c = GetParam();
    winsim::ScopedMachine m;
    m->system.SetOs(c.os);
    EXPECT_EQ(GetVersion(), c.version);

    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(info.dwPlatformId, c.platform);
    EXPECT_EQ(info.dwMajorVersion, DWORD(c.version & 0xFF));
    EXPECT_EQ(info.dwMinorVersion, DWORD((c.version >> 8) & 0xFF));
    if (c.platform == VER_PLATFORM_WIN32_WINDOWS)  // 9x repeats major.minor in the build number's high word
        EXPECT_EQ(HIWORD(info.dwBuildNumber), MAKEWORD(info.dwMinorVersion, info.dwMajorVersion));
    else
        EXPECT_EQ(info.dwBuildNumber, DWORD(c.version >> 16));

    char buf[MAX_PATH];
    ASSERT_EQ(GetWindowsDirectoryA(buf, sizeof(buf)), strlen(c.windowsDir));
    EXPECT_STREQ(buf, c.windowsDir);
    ASSERT_EQ(GetSystemDirectoryA(buf, sizeof(buf)), strlen(c.systemDir));
    EXPECT_STREQ(buf, c.systemDir);
    // The folders exist on the machine, the temp folder too.
    EXPECT_TRUE(m->files.IsDirectory(c.systemDir));
    DWORD n = GetTempPathA(sizeof(buf), buf);
    ASSERT_GT(n, 3u);
    EXPECT_EQ(buf[n - 1], '\\');
    EXPECT_TRUE(m->files.IsDirectory(buf)) << buf;
    EXPECT_EQ(GetEnvironmentVariableA("windir", buf, sizeof(buf)), strlen(c.windowsDir));
}

INSTANTIATE_TEST_SUITE_P(EveryRelease, OsPreset, ::testing::ValuesIn(kOsCases));

TEST(SystemInfo, DefaultIsAnEnglishXpWorkstation) {
    winsim::ScopedMachine m;
    EXPECT_EQ(GetVersion(), 0x0A280105u);
    EXPECT_EQ(GetACP(), 1252u);
    char lang[32];
    EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, lang, sizeof(lang)), 8);
    EXPECT_STREQ(lang, "English");
    EXPECT_EQ(GetUserDefaultLCID(), 0x0409u);
}

TEST(SystemInfo, JapaneseLocaleSetsCodePageAndNames) {
    winsim::ScopedMachine m;
    m->system.SetLocale(0x0411);
    EXPECT_EQ(GetACP(), 932u);
    EXPECT_EQ(GetUserDefaultLCID(), 0x0411u);
    char buf[32];
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, buf, sizeof(buf));
    EXPECT_STREQ(buf, "Japanese");
    // The native name comes out in code page 932: 日本語 is 93 FA 96 7B 8C EA.
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SNATIVELANGNAME, buf, sizeof(buf));
    EXPECT_STREQ(buf, "\x93\xFA\x96\x7B\x8C\xEA");
    // Setting only the language and code page, as a test may, is followed by the user locale.
    m->system.SetLocale(0x0409);
    m->system.language = "German";
    EXPECT_EQ(GetUserDefaultLCID(), 0x0407u);
}

TEST(SystemInfo, GlobalMemoryIsTrackedForLeaks) {
    winsim::ScopedMachine m;
    HGLOBAL a = GlobalAlloc(GMEM_FIXED, 10);
    HGLOBAL b = GlobalAlloc(GPTR, 20);
    EXPECT_EQ(m->system.globals.LiveBlocks(), 2u);
    EXPECT_EQ(m->system.globals.LiveBytes(), 30u);
    EXPECT_EQ(GlobalFree(a), nullptr);
    EXPECT_EQ(m->system.globals.LiveBlocks(), 1u);
    // Freeing twice hands the block back with ERROR_INVALID_HANDLE.
    EXPECT_EQ(GlobalFree(a), a);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    GlobalFree(b);
    EXPECT_EQ(m->system.globals.LiveBlocks(), 0u);

    m->faults.Fail("GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY, 1);
    EXPECT_EQ(GlobalAlloc(GMEM_FIXED, 10), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(m->system.globals.LiveBlocks(), 0u);
}

TEST(SystemInfo, SleepMovesTheVirtualClockOnly) {
    winsim::ScopedMachine m;
    m->now = 1000;
    EXPECT_EQ(GetTickCount(), 1000u);
    Sleep(2500);
    EXPECT_EQ(m->now, 3500u);
    EXPECT_EQ(GetTickCount(), 3500u);
    EXPECT_THROW(Sleep(0xFFFFFFFF), winsim::SimAbort);
}

TEST(SystemInfo, NamesAndCommandLineComeFromTheMachine) {
    winsim::ScopedMachine m;
    m->system.computerName = "PRINTSRV";
    m->system.userName = "alice";
    m->system.commandLine = "Trellin.exe /silent";
    char buf[32];
    DWORD size = sizeof(buf);
    ASSERT_TRUE(GetComputerNameA(buf, &size));
    EXPECT_STREQ(buf, "PRINTSRV");
    EXPECT_EQ(size, 8u);
    size = sizeof(buf);
    ASSERT_TRUE(GetUserNameA(buf, &size));
    EXPECT_STREQ(buf, "alice");
    EXPECT_EQ(size, 6u);
    EXPECT_STREQ(GetCommandLineA(), "Trellin.exe /silent");
}

TEST(DebugCapture, KeepsDebugStringsInOrder) {
    winsim::ScopedMachine m;
    OutputDebugStringA("first ");
    OutputDebugStringA("line\nsecond");
    OutputDebugStringA(" line\n");
    EXPECT_EQ(m->debug.strings, (std::vector<std::string>{"first ", "line\nsecond", " line\n"}));
    EXPECT_EQ(m->debug.Lines(), (std::vector<std::string>{"first line", "second line"}));
    EXPECT_TRUE(m->debug.Contains("second"));
    EXPECT_FALSE(m->debug.Contains("third"));
}

TEST(DebugCapture, CapturesWhatThePrintfsWrote) {
    winsim::ScopedMachine m;
    ASSERT_TRUE(m->debug.StartStdout());
    EXPECT_FALSE(m->debug.StartStdout());  // no nesting
    printf("Removed %d printers\n", 3);
    printf("done");
    std::string text = m->debug.StopStdout();
    EXPECT_EQ(text, "Removed 3 printers\ndone");
    EXPECT_FALSE(m->debug.CapturingStdout());
    EXPECT_EQ(m->debug.StopStdout(), "");
}

TEST(Strings, CodePageConversionsFollowTheMachine) {
    winsim::ScopedMachine m;
    m->system.SetLocale(0x0411);
    const WCHAR nihon[] = {0x65E5, 0x672C, 0};
    char buf[8];
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, nihon, -1, buf, sizeof(buf), nullptr, nullptr), 5);
    EXPECT_STREQ(buf, "\x93\xFA\x96\x7B");
    m->system.SetLocale(0x0409);
    BOOL usedDefault = FALSE;
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, nihon, -1, buf, sizeof(buf), nullptr, &usedDefault), 3);
    EXPECT_STREQ(buf, "??");
    EXPECT_TRUE(usedDefault);
}

}  // namespace

namespace {

// Windows 9x exports the UTF-16 calls only as stubs; the 8-bit twins reach the same machine.
TEST(SystemInfo, Windows9xStubsTheUtf16Calls) {
    for (winsim::Os os : {winsim::Os::Win98, winsim::Os::WinXP}) {
        winsim::ScopedMachine m;
        m->system.SetOs(os);
        m->registry.SetDword("HKCU\\Software\\Tallyvue", "PID", 7);
        m->files.WriteFile("C:\\data.txt", "x");
        const bool stub = os == winsim::Os::Win98;
        HKEY key = nullptr;
        EXPECT_EQ(stub ? LONG(ERROR_CALL_NOT_IMPLEMENTED) : LONG(ERROR_SUCCESS),
                  RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Tallyvue", 0, KEY_ALL_ACCESS, &key));
        if (key)
            RegCloseKey(key);
        SetLastError(0);
        WCHAR temp[MAX_PATH];
        EXPECT_EQ(stub, GetTempPathW(MAX_PATH, temp) == 0);
        EXPECT_EQ(stub ? DWORD(ERROR_CALL_NOT_IMPLEMENTED) : 0u, GetLastError());
        EXPECT_EQ(!stub, DeleteFileW(u"C:\\data.txt") != FALSE);
        EXPECT_EQ(stub, m->files.Exists("C:\\data.txt"));
        // The 8-bit twins work on both.
        ASSERT_EQ(LONG(ERROR_SUCCESS), RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tallyvue", 0, KEY_ALL_ACCESS, &key));
        RegCloseKey(key);
        // What 9x implements: the code page conversions and the message box.
        char ansi[8];
        EXPECT_EQ(3, WideCharToMultiByte(CP_ACP, 0, u"ab", -1, ansi, sizeof(ansi), NULL, NULL));
    }
}

}  // namespace
