// Unit tests of the registry's path rules and limits where the conformance tests cannot reach: Windows 9x
// separators, the exact depth boundary under each hive, fixtures deeper than the calls allow, copied modules.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsim/machine.h>

#include <string>

namespace {

TEST(RegistryLimits, Windows9xIgnoresALeadingSeparatorThatNtRefuses) {
    for (winsim::Os os : {winsim::Os::Win98, winsim::Os::WinXP}) {
        winsim::ScopedMachine m;
        m->system.SetOs(os);
        m->registry.CreateKey("HKLM\\SOFTWARE\\Vendor");
        HKEY key = nullptr;
        LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Vendor", 0, KEY_READ, &key);
        EXPECT_EQ(r, os == winsim::Os::Win98 ? ERROR_SUCCESS : ERROR_BAD_PATHNAME);
        if (r == ERROR_SUCCESS)
            RegCloseKey(key);
        EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Vendor"),
                  os == winsim::Os::Win98 ? ERROR_SUCCESS : ERROR_BAD_PATHNAME);
        EXPECT_EQ(m->registry.KeyExists("HKLM\\SOFTWARE\\Vendor"), os != winsim::Os::Win98);
    }
}

TEST(RegistryLimits, HkeyClassesRootTakesOneLeadingSeparator) {
    winsim::ScopedMachine m;
    m->registry.CreateKey("HKCR\\CLSID");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "\\CLSID", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

// The deepest key the calls make is level 511, \REGISTRY counting 1 and HKLM (\REGISTRY\MACHINE) 2.
TEST(RegistryLimits, CreationStopsAtLevel511UnderEveryHive) {
    struct Case {
        HKEY root;
        const char* fixture;  // test-side path of the starting key
        int level;            // its level
    };
    const Case cases[] = {
        {HKEY_LOCAL_MACHINE, "HKLM\\SOFTWARE", 3},
        {HKEY_CURRENT_USER, "HKCU\\Software", 4},
        {HKEY_USERS, "HKU\\.DEFAULT\\Software", 4},
    };
    for (const Case& c : cases) {
        winsim::ScopedMachine m;
        std::string path = c.fixture;
        m->registry.CreateKey(path);
        HKEY cur = nullptr, key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(c.root, path.substr(path.find('\\') + 1).c_str(), 0, KEY_ALL_ACCESS, &cur),
                  ERROR_SUCCESS);
        int level = c.level;
        LONG r = ERROR_SUCCESS;
        while ((r = RegCreateKeyExA(cur, "k", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)) == ERROR_SUCCESS) {
            RegCloseKey(cur);
            cur = key;
            ++level;
            if (level == 505) {
                // One call may make several levels at once, up to level 511 and no further; a refused
                // path leaves nothing behind.
                EXPECT_EQ(RegCreateKeyExA(cur, "a\\b\\c\\d\\e\\f\\g", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                          &key, nullptr),
                          1450 /* ERROR_NO_SYSTEM_RESOURCES */)
                    << c.fixture;
                EXPECT_EQ(RegOpenKeyExA(cur, "a", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
                ASSERT_EQ(RegCreateKeyExA(cur, "a\\b\\c\\d\\e\\f", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                          nullptr),
                          ERROR_SUCCESS);
                RegCloseKey(key);
            }
        }
        RegCloseKey(cur);
        EXPECT_EQ(r, 1450) << c.fixture;
        EXPECT_EQ(level, 511) << c.fixture;
        EXPECT_EQ(m->registry.OpenKeyCount(), 0u);
    }
}

TEST(RegistryLimits, FixturesMayBuildTreesDeeperThanTheCallsAllow) {
    winsim::ScopedMachine m;
    std::string path = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Deep";
    for (int i = 0; i < 512; ++i)
        path += "\\k";
    m->registry.CreateKey(path);
    EXPECT_TRUE(m->registry.KeyExists(path));
    // The calls still open such a key one level at a time and delete it from the bottom up.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Deep", 0,
                            KEY_ALL_ACCESS, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST(RegistryLimits, NamesLongerThan255CharactersAreRefused) {
    winsim::ScopedMachine m;
    HKEY software = nullptr, key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &software), ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyExA(software, std::string(255, 'n').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegCreateKeyExA(software, ("x\\" + std::string(256, 'n')).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(software);
    EXPECT_EQ(m->registry.SubKeys("HKCU\\Software").size(), 2u);  // Microsoft and the 255-character one
}

INT_PTR WINAPI Answer() {
    return 42;
}

TEST(Modules, ACopiedModuleFileIsTheSameModule) {
    winsim::ScopedMachine m;
    winsim::ModuleImage image;
    image.exports["Answer"] = &Answer;
    m->modules.Register("C:\\Drivers\\orig.dll", image);
    m->files.CreateDirectory("C:\\Copies");
    ASSERT_TRUE(CopyFileA("C:\\Drivers\\orig.dll", "C:\\Copies\\copy.dll", FALSE));
    HMODULE copy = LoadLibraryA("C:\\Copies\\copy.dll");
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, GetModuleHandleA("C:\\Drivers\\orig.dll"));  // a module of its own, not loaded twice
    FARPROC fn = GetProcAddress(copy, "Answer");
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(fn(), 42);
    EXPECT_FALSE(DeleteFileA("C:\\Copies\\copy.dll"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(FreeLibrary(copy));
    EXPECT_TRUE(DeleteFileA("C:\\Copies\\copy.dll"));
    // A plain file copied over nothing stays a plain file.
    m->files.WriteFile("C:\\Copies\\data.bin", "MZ?");
    ASSERT_TRUE(CopyFileA("C:\\Copies\\data.bin", "C:\\Copies\\data2.dll", FALSE));
    EXPECT_EQ(LoadLibraryA("C:\\Copies\\data2.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_EXE_FORMAT));
}

}  // namespace
