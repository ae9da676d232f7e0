// Simulated modules: the library search order, reference counts, exports, resources from .res files and faults.
#include <windows.h>
#include <winsim/machine.h>

#include <gtest/gtest.h>

#include "r_reswriter.h"

using winsim::ModuleImage;
using winsim::Os;

namespace {

INT_PTR Answer() {
    return 42;
}

INT_PTR Other() {
    return 7;
}

const char kProgram[] = "C:\\Program Files\\Trellin\\Trellin.exe";

ModuleImage StringsImage(const std::string& tag, const std::u16string& first) {
    ModuleImage image;
    image.resFile = rtest::ResWriter().Strings(1, 0x409, {u"", first}).Write(tag);
    return image;
}

std::string PathOfModule(HMODULE m) {
    char buf[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(m, buf, sizeof(buf));
    return std::string(buf, n);
}

std::string String1(HMODULE m) {
    char buf[64] = "";
    int n = LoadStringA(m, 1, buf, sizeof(buf));
    return std::string(buf, n > 0 ? size_t(n) : 0);
}

class ModulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m->modules.SetMainModule(kProgram, ModuleImage());
        m->files.CreateDirectory("C:\\Work");
        m->files.currentDirectory = "C:\\Work";
        m->system.env["PATH"] = "C:\\Tools;C:\\More";
    }
    winsim::ScopedMachine m;
};

// ---- where a bare name is found ----

struct SearchCase {
    std::vector<std::string> folders;  // where tavq.dll exists
    bool safeMode;
    std::string expected;
};

// Names the case in test listings by where the library is found rather than its bytes.
void PrintTo(const SearchCase& c, std::ostream* os) {
    *os << "found in " << c.expected << (c.safeMode ? " in safe search mode" : "");
}

class SearchOrderTest : public ModulesTest, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(SearchOrderTest, FindsTheFirstFolderInOrder) {
    const SearchCase& c = GetParam();
    for (const std::string& folder : c.folders)
        m->modules.Register(folder + "\\tavq.dll", ModuleImage());
    m->modules.safeDllSearchMode = c.safeMode;
    HMODULE h = LoadLibraryA("tavq");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(PathOfModule(h), c.expected + "\\tavq.dll");
}

const char kProgramDir[] = "C:\\Program Files\\Trellin";

INSTANTIATE_TEST_SUITE_P(
    Folders, SearchOrderTest,
    ::testing::Values(
        SearchCase{{kProgramDir, "C:\\Work", "C:\\WINDOWS\\system32", "C:\\WINDOWS", "C:\\Tools"}, false, kProgramDir},
        SearchCase{{"C:\\Work", "C:\\WINDOWS\\system32", "C:\\WINDOWS", "C:\\Tools"}, false, "C:\\Work"},
        SearchCase{{"C:\\WINDOWS\\system32", "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS"}, false, "C:\\WINDOWS\\system32"},
        SearchCase{{"C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS"}, false, "C:\\WINDOWS\\SYSTEM"},
        SearchCase{{"C:\\WINDOWS", "C:\\Tools"}, false, "C:\\WINDOWS"},
        SearchCase{{"C:\\More"}, false, "C:\\More"},
        // SafeDllSearchMode moves the current folder behind the Windows folder.
        SearchCase{{"C:\\Work", "C:\\WINDOWS"}, true, "C:\\WINDOWS"},
        SearchCase{{"C:\\Work", "C:\\Tools"}, true, "C:\\Work"}));

TEST_F(ModulesTest, ALoadedModuleIsUsedWhereverItCameFrom) {
    HMODULE other = m->modules.Register("C:\\Other\\tavq.dll", ModuleImage());
    m->modules.Register(std::string(kProgramDir) + "\\tavq.dll", ModuleImage());
    ASSERT_EQ(LoadLibraryA("C:\\Other\\tavq.dll"), other);
    EXPECT_EQ(LoadLibraryA("TAVQ.DLL"), other);
    EXPECT_EQ(m->modules.LoadCount("C:\\Other\\tavq.dll"), 2);
}

TEST_F(ModulesTest, NamesWithoutExtensionMeanDll) {
    m->modules.Register(std::string(kProgramDir) + "\\tavq.dll", ModuleImage());
    m->modules.Register(std::string(kProgramDir) + "\\plain", ModuleImage());
    EXPECT_NE(LoadLibraryA("tavq"), nullptr);
    // A trailing dot asks for the name as it is.
    EXPECT_NE(LoadLibraryA("plain."), nullptr);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("plain"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

// ---- reference counts and the file behind the module ----

TEST_F(ModulesTest, LoadedAndFreedThreeTimes) {
    const std::string path = std::string(kProgramDir) + "\\jp_res.dll";
    m->modules.Register(path, StringsImage("jp", u"Japanese"));
    for (int i = 0; i < 3; ++i) {
        HMODULE h = LoadLibraryA("jp_res.dll");
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(String1(h), "Japanese");
        EXPECT_TRUE(m->modules.IsLoaded(path));
        EXPECT_TRUE(FreeLibrary(h));
    }
    EXPECT_EQ(m->modules.LoadsTotal("jp_res.dll"), 3);
    EXPECT_EQ(m->modules.FreesTotal("jp_res"), 3);
    EXPECT_EQ(m->modules.LoadsTotal(path), 3);
    EXPECT_EQ(m->modules.LoadCount(path), 0);
    EXPECT_EQ(GetModuleHandleA("jp_res.dll"), nullptr);
}

TEST_F(ModulesTest, TheModuleUnloadsWithItsLastReference) {
    const std::string path = std::string(kProgramDir) + "\\us_res.dll";
    HMODULE image = m->modules.Register(path, ModuleImage());
    HMODULE a = LoadLibraryA("us_res.dll"), b = LoadLibraryA(path.c_str());
    ASSERT_EQ(a, image);
    ASSERT_EQ(b, image);
    EXPECT_EQ(m->modules.LoadCount(path), 2);
    EXPECT_TRUE(FreeLibrary(a));
    EXPECT_EQ(GetModuleHandleA("us_res.dll"), image);
    EXPECT_TRUE(FreeLibrary(a));
    EXPECT_EQ(GetModuleHandleA("us_res.dll"), nullptr);
    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(a));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(m->modules.FreesTotal("us_res.dll"), 2);
}

TEST_F(ModulesTest, ADeletedFileNoLongerLoads) {
    const std::string path = std::string(kProgramDir) + "\\fr_res.dll";
    m->modules.Register(path, ModuleImage());
    ASSERT_TRUE(m->files.Exists(path));
    m->files.DeleteFile(path);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("fr_res.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadLibraryA(path.c_str()), nullptr);
    EXPECT_EQ(m->modules.LoadsTotal("fr_res.dll"), 0);
}

TEST_F(ModulesTest, ALoadedModuleFileCannotBeDeleted) {
    const std::string path = std::string(kProgramDir) + "\\it_res.dll";
    m->modules.Register(path, ModuleImage());
    HMODULE h = LoadLibraryA(path.c_str());
    ASSERT_NE(h, nullptr);
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST_F(ModulesTest, AFileThatIsNoModule) {
    m->files.WriteFile(std::string(kProgramDir) + "\\readme.dll", "text");
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("readme.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_EXE_FORMAT));
}

TEST_F(ModulesTest, DataFileMappingsServeResourcesOnly) {
    const std::string path = std::string(kProgramDir) + "\\gr_res.dll";
    ModuleImage image = StringsImage("gr", u"Deutsch");
    image.exports["Answer"] = &Answer;
    m->modules.Register(path, image);
    HMODULE data = LoadLibraryExA("gr_res.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data) & 1, 1u);
    EXPECT_EQ(String1(data), "Deutsch");
    EXPECT_EQ(GetModuleHandleA("gr_res.dll"), nullptr);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(data, "Answer"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_TRUE(FreeLibrary(data));
    // Wine reports an unmapped data-file handle as a bad image.
    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(data));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_EXE_FORMAT));
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST_F(ModulesTest, UnmodelledLoadFlagsAbort) {
    m->modules.Register(std::string(kProgramDir) + "\\tavq.dll", ModuleImage());
    EXPECT_THROW(LoadLibraryExA("tavq.dll", nullptr, 0x00000020), winsim::SimAbort);
}

TEST_F(ModulesTest, SystemLibrariesAreTheProgramsImports) {
    m->modules.InstallSystemLibraries();
    EXPECT_NE(GetModuleHandleA("kernel32"), nullptr);
    EXPECT_NE(GetModuleHandleA("WINSPOOL.DRV"), nullptr);
    EXPECT_EQ(m->modules.LoadsTotal("kernel32.dll"), 0);
    EXPECT_EQ(GetModuleHandleA("msimg32.dll"), nullptr);
    HMODULE h = LoadLibraryA("msimg32");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(PathOfModule(h), "C:\\WINDOWS\\system32\\msimg32.dll");
}

TEST_F(ModulesTest, Kernel32TellsA32BitProgramOn64BitWindows) {
    m->modules.InstallSystemLibraries();
    typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
    auto isWow64 = reinterpret_cast<IsWow64ProcessFn>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
    ASSERT_NE(isWow64, nullptr);
    BOOL wow64 = TRUE;
    EXPECT_TRUE(isWow64(GetCurrentProcess(), &wow64));
    EXPECT_FALSE(wow64);
    m->system.wow64 = true;
    EXPECT_TRUE(isWow64(GetCurrentProcess(), &wow64));
    EXPECT_TRUE(wow64);
}

// ---- exports ----

TEST_F(ModulesTest, ExportsAreTheRegisteredFunctions) {
    ModuleImage image;
    image.exports["Answer"] = &Answer;
    image.exports["#3"] = &Other;
    m->modules.Register(std::string(kProgramDir) + "\\tavq.dll", image);
    HMODULE h = LoadLibraryA("tavq.dll");
    ASSERT_NE(h, nullptr);
    FARPROC answer = GetProcAddress(h, "Answer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    FARPROC third = GetProcAddress(h, MAKEINTRESOURCEA(3));
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third(), 7);
    // Export names are case-sensitive.
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(h, "answer"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    FreeLibrary(h);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(h, "Answer"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

// ---- fault injection ----

TEST_F(ModulesTest, InjectedLoadFailures) {
    m->modules.Register(std::string(kProgramDir) + "\\jp_res.dll", ModuleImage());
    m->modules.Register(std::string(kProgramDir) + "\\us_res.dll", ModuleImage());
    m->faults.Fail("LoadLibraryA", ERROR_NOT_ENOUGH_MEMORY, 1, 0,
                   [](const std::string& name) { return name.find("jp_res") != std::string::npos; });
    EXPECT_NE(LoadLibraryA("us_res.dll"), nullptr);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("jp_res.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_NE(LoadLibraryA("jp_res.dll"), nullptr);
    EXPECT_EQ(m->modules.LoadsTotal("jp_res.dll"), 1);
    EXPECT_EQ(m->faults.Calls("LoadLibraryA"), 3);
}

TEST_F(ModulesTest, InjectedFreeFailureKeepsTheModule) {
    m->modules.Register(std::string(kProgramDir) + "\\jp_res.dll", ModuleImage());
    HMODULE h = LoadLibraryA("jp_res.dll");
    m->faults.Fail("FreeLibrary", ERROR_INVALID_HANDLE, 1);
    EXPECT_FALSE(FreeLibrary(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(m->modules.IsLoaded("jp_res.dll"));
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_FALSE(m->modules.IsLoaded("jp_res.dll"));
}

// ---- GetModuleFileNameA by Windows version ----

struct FileNameCase {
    Os os;
    bool terminated;      // the last place holds a NUL
    DWORD errorAfterCut;  // the last error after a truncated copy (0xdeadbeef: untouched)
};

// Names the case in test listings by its Windows version rather than its bytes.
void PrintTo(const FileNameCase& c, std::ostream* os) {
    static const char* const kNames[] = {"Windows 95", "Windows 98", "Windows Me", "NT 4.0", "Windows 2000",
                                         "Windows XP", "Windows Server 2003", "Windows Vista", "Windows 7"};
    *os << kNames[static_cast<int>(c.os)];
}

class ModuleFileNameTest : public ModulesTest, public ::testing::WithParamInterface<FileNameCase> {};

TEST_P(ModuleFileNameTest, TruncationFollowsTheWindowsVersion) {
    const FileNameCase& c = GetParam();
    m->system.SetOs(c.os);
    char buf[16];
    memset(buf, 'X', sizeof(buf));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buf, 6), 6u);
    EXPECT_EQ(GetLastError(), c.errorAfterCut);
    EXPECT_EQ(std::string(buf, 5), "C:\\Pr");
    EXPECT_EQ(buf[5], c.terminated ? '\0' : 'o');
    EXPECT_EQ(buf[6], 'X');
}

INSTANTIATE_TEST_SUITE_P(Versions, ModuleFileNameTest,
                         ::testing::Values(FileNameCase{Os::Win98, false, 0xdeadbeef},
                                           FileNameCase{Os::WinXP, false, 0xdeadbeef},
                                           FileNameCase{Os::Win7, true, ERROR_INSUFFICIENT_BUFFER}));

// ---- resources ----

TEST_F(ModulesTest, UsingAFreedModuleAborts) {
    m->modules.Register(std::string(kProgramDir) + "\\sp_res.dll", StringsImage("sp", u"Espanol"));
    HMODULE h = LoadLibraryA("sp_res.dll");
    ASSERT_EQ(String1(h), "Espanol");
    FreeLibrary(h);
    char buf[16];
    EXPECT_THROW(LoadStringA(h, 1, buf, sizeof(buf)), winsim::SimAbort);
    EXPECT_THROW(LoadIconA(h, MAKEINTRESOURCEA(1)), winsim::SimAbort);
}

TEST_F(ModulesTest, AnUnknownHandleHasNoResources) {
    char buf[16] = "x";
    SetLastError(0);
    EXPECT_EQ(LoadStringA(reinterpret_cast<HINSTANCE>(0x12340000), 1, buf, sizeof(buf)), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
}

struct LanguageCase {
    LCID userLocale;
    bool withNeutral;
    std::string expected;
};

// Names the case in test listings by the user's locale rather than its bytes.
void PrintTo(const LanguageCase& c, std::ostream* os) {
    *os << "locale " << std::hex << c.userLocale << std::dec << (c.withNeutral ? " with" : " without")
        << " a neutral table";
}

class ResourceLanguageTest : public ModulesTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(ResourceLanguageTest, PicksNeutralThenTheUsersThenEnglish) {
    const LanguageCase& c = GetParam();
    rtest::ResWriter res;
    res.Strings(1, 0x040C, {u"", u"French"}).Strings(1, 0x0411, {u"", u"Japanese"}).Strings(1, 0x0409, {u"", u"English"});
    if (c.withNeutral)
        res.Strings(1, 0, {u"", u"Neutral"});
    ModuleImage image;
    image.resFile = res.Write("lang");
    HMODULE h = m->modules.Register("C:\\Lang\\all.dll", image);
    m->system.SetLocale(c.userLocale);
    ASSERT_EQ(LoadLibraryA("C:\\Lang\\all.dll"), h);
    // String 1 is plain ASCII in every language, so the code page does not matter here.
    EXPECT_EQ(String1(h), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Locales, ResourceLanguageTest,
                         ::testing::Values(LanguageCase{0x0411, false, "Japanese"},
                                           LanguageCase{0x040C, false, "French"},
                                           LanguageCase{0x0407, false, "English"},
                                           LanguageCase{0x0411, true, "Neutral"}));


TEST_F(ModulesTest, NamedResourcesMatchWithoutCase) {
    ModuleImage image;
    image.resFile = rtest::ResWriter().Add(10, u"Blob", 0x409, {1, 2, 3}).Write("named");
    HMODULE h = m->modules.Register("C:\\Data\\blob.dll", image);
    const std::vector<uint8_t>* data = m->modules.FindResourceData(h, RT_RCDATA, "BLOB");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(*data, (std::vector<uint8_t>{1, 2, 3}));
    LoadLibraryA("C:\\Data\\blob.dll");
    HRSRC r = FindResourceA(h, "blob", RT_RCDATA);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(SizeofResource(h, r), 3u);
    EXPECT_EQ(static_cast<const BYTE*>(LockResource(LoadResource(h, r)))[2], 3);
}

TEST_F(ModulesTest, UnreadableResourceFilesAbortRegistration) {
    ModuleImage missing;
    missing.resFile = ::testing::TempDir() + "winsim_r_no_such_file.res";
    EXPECT_THROW(m->modules.Register("C:\\x\\missing.dll", missing), winsim::SimAbort);

    std::vector<uint8_t> bytes = rtest::ResWriter().Strings(1, 0x409, {u"", u"cut"}).Bytes();
    bytes.resize(bytes.size() - 10);
    std::string path = ::testing::TempDir() + "winsim_r_truncated.res";
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    ModuleImage cut;
    cut.resFile = path;
    EXPECT_THROW(m->modules.Register("C:\\x\\cut.dll", cut), winsim::SimAbort);
}

TEST_F(ModulesTest, LoadStringAUnderCodePage932) {
    m->system.SetLocale(0x0411);
    ASSERT_EQ(m->system.acp, 932u);
    ModuleImage image;
    // "a" then U+65E5 U+672C: one single-byte and two double-byte characters.
    image.resFile = rtest::ResWriter().Strings(1, 0x0411, {u"", u"a\u65E5\u672C"}).Write("cp932");
    HMODULE h = m->modules.Register("C:\\Lang\\jp.dll", image);
    LoadLibraryA("C:\\Lang\\jp.dll");
    struct {
        int size;
        int expected;
    } cases[] = {{2, 1}, {3, 1}, {4, 3}, {5, 3}, {6, 5}, {7, 5}};
    for (const auto& c : cases) {
        char buf[8];
        memset(buf, 'X', sizeof(buf));
        EXPECT_EQ(LoadStringA(h, 1, buf, c.size), c.expected) << "size " << c.size;
        EXPECT_EQ(buf[c.expected], 0) << "size " << c.size;
    }
}

}  // namespace
