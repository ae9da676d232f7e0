// Unit tests of the simulated registry: the test-side API, injected failures, per-key access, 9x deletion, handle leaks.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsim/machine.h>

namespace {

const char kKey[] = "HKLM\\SOFTWARE\\Vendor\\Product";

TEST(Registry, TestSideApiRoundTripsThroughTheCalls) {
    winsim::ScopedMachine m;
    m->registry.SetString(kKey, "Path", "C:\\Program Files\\Vendor");
    m->registry.SetDword(kKey, "Version", 3);
    m->registry.SetMultiString(kKey, "Files", {"a.dll", "b.hlp"});
    EXPECT_TRUE(m->registry.KeyExists("hkey_local_machine\\software\\VENDOR\\product"));

    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Vendor\\Product", 0, KEY_READ, &key), ERROR_SUCCESS);
    char buf[64];
    DWORD cb = sizeof(buf), type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "path", nullptr, &type, (BYTE*)buf, &cb), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_STREQ(buf, "C:\\Program Files\\Vendor");
    DWORD version = 0;
    cb = sizeof(version);
    ASSERT_EQ(RegQueryValueExA(key, "Version", nullptr, &type, (BYTE*)&version, &cb), ERROR_SUCCESS);
    EXPECT_EQ(version, 3u);
    const char multi[] = "x\0y\0";
    ASSERT_EQ(RegSetValueExA(key, "Files", 0, REG_MULTI_SZ, (const BYTE*)multi, sizeof(multi)), ERROR_SUCCESS);
    RegCloseKey(key);

    EXPECT_EQ(m->registry.GetMultiString(kKey, "files"), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(m->registry.GetDword(kKey, "Version"), std::optional<DWORD>(3));
    EXPECT_FALSE(m->registry.GetString(kKey, "Version").has_value());  // not a string
    EXPECT_TRUE(m->registry.DeleteValue(kKey, "PATH"));
    EXPECT_FALSE(m->registry.ValueExists(kKey, "Path"));
}

TEST(Registry, SubKeysAreSortedCaseInsensitivelyAndKeepTheirCase) {
    winsim::ScopedMachine m;
    for (const char* name : {"beta", "Alpha", "gamma", "ALPHA2", "_under"})
        m->registry.CreateKey(std::string(kKey) + "\\" + name);
    // Upper-cased comparison: '_' (0x5F) sorts after the letters.
    EXPECT_EQ(m->registry.SubKeys(kKey), (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "gamma", "_under"}));
    m->registry.DeleteTree("HKLM\\SOFTWARE\\Vendor");
    EXPECT_FALSE(m->registry.KeyExists(kKey));
    m->registry.DeleteTree("HKLM\\SOFTWARE\\Vendor");  // missing is fine
}

TEST(Registry, CurrentUserAndClassesRootAreViewsOfTheHives) {
    winsim::ScopedMachine m;
    m->registry.SetString("HKCU\\Software\\Vendor", "Name", "x");
    std::string viaUsers = std::string("HKU\\") + winsim::Registry::CurrentUserKey() + "\\Software\\Vendor";
    EXPECT_EQ(m->registry.GetString(viaUsers, "Name"), std::optional<std::string>("x"));
    m->registry.CreateKey("HKCR\\.xyz");
    EXPECT_TRUE(m->registry.KeyExists("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.XYZ"));
}

TEST(Registry, InjectedFaultsMatchOnTheKeyPath) {
    winsim::ScopedMachine m;
    m->registry.CreateKey(kKey);
    m->registry.CreateKey("HKLM\\SOFTWARE\\Other");
    m->faults.Fail("RegOpenKeyExA", ERROR_ACCESS_DENIED, 1, 0,
                   [](const std::string& path) { return path == "HKLM\\SOFTWARE\\Vendor\\Product"; });
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Product", 0, KEY_READ, &key),
              ERROR_ACCESS_DENIED);
    // Used up after one failure.
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Product", 0, KEY_READ, &key), ERROR_SUCCESS);

    // Value calls name the key and the value.
    m->faults.Fail("RegQueryValueExA", ERROR_MORE_DATA, 1);
    DWORD cb = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Anything", nullptr, nullptr, nullptr, &cb), ERROR_MORE_DATA);
    RegCloseKey(key);
    const auto& trace = m->faults.Trace();
    EXPECT_NE(std::find(trace.begin(), trace.end(), "RegQueryValueExA(HKLM\\SOFTWARE\\Vendor\\Product\\Anything)"),
              trace.end());
}

TEST(Registry, DeniedKeysRefuseOpenCreateAndDeleteWhicheverRootNamesThem) {
    winsim::ScopedMachine m;
    m->registry.CreateKey("HKCU\\Software\\Locked\\Child");
    m->registry.DenyAccess("HKCU\\Software\\Locked", ERROR_ACCESS_DENIED);
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Locked", 0, KEY_READ, &key), ERROR_ACCESS_DENIED);
    std::string viaUsers = std::string(winsim::Registry::CurrentUserKey()) + "\\Software\\locked";
    EXPECT_EQ(RegOpenKeyExA(HKEY_USERS, viaUsers.c_str(), 0, KEY_READ, &key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Locked", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_ACCESS_DENIED);
    // Its children are not covered.
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Locked\\Child", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Locked\\Child"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Locked"), ERROR_ACCESS_DENIED);

    // A rule may name a key that does not exist yet: creating it is refused and leaves nothing behind.
    m->registry.DenyAccess("HKLM\\SOFTWARE\\Future", 1314 /* ERROR_PRIVILEGE_NOT_HELD */);
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Future", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              1314);
    EXPECT_FALSE(m->registry.KeyExists("HKLM\\SOFTWARE\\Future"));

    m->registry.AllowAccess("HKCU\\Software\\Locked");
    EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Locked"), ERROR_SUCCESS);
}

struct DeleteCase {
    winsim::Os os;
    LONG result;
    bool treeGone;
};

void PrintTo(const DeleteCase& c, std::ostream* os) {
    *os << "os " << static_cast<int>(c.os);
}

class DeleteKeyPerOs : public ::testing::TestWithParam<DeleteCase> {};

TEST_P(DeleteKeyPerOs, KeyWithSubKeys) {
    winsim::ScopedMachine m;
    m->system.SetOs(GetParam().os);
    m->registry.SetString(std::string(kKey) + "\\Sub\\Deeper", "v", "x");
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Product"), GetParam().result);
    EXPECT_EQ(m->registry.KeyExists(kKey), !GetParam().treeGone);
    EXPECT_EQ(m->registry.KeyExists(std::string(kKey) + "\\Sub\\Deeper"), !GetParam().treeGone);
}

// NT refuses a key with sub-keys; Windows 9x removes the whole tree.
INSTANTIATE_TEST_SUITE_P(Releases, DeleteKeyPerOs,
                         ::testing::Values(DeleteCase{winsim::Os::Win95, ERROR_SUCCESS, true},
                                           DeleteCase{winsim::Os::Win98, ERROR_SUCCESS, true},
                                           DeleteCase{winsim::Os::WinMe, ERROR_SUCCESS, true},
                                           DeleteCase{winsim::Os::NT4, ERROR_ACCESS_DENIED, false},
                                           DeleteCase{winsim::Os::WinXP, ERROR_ACCESS_DENIED, false},
                                           DeleteCase{winsim::Os::Win7, ERROR_ACCESS_DENIED, false}));

TEST(Registry, Win9xStoresAStringUpToItsNulWhateverTheCount) {
    winsim::ScopedMachine m;
    m->system.SetOs(winsim::Os::Win98);
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, "s", 0, REG_SZ, (const BYTE*)"abc", 2), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(m->registry.GetValue("HKLM\\SOFTWARE\\Vendor", "s")->data, std::string("abc", 4));
}

TEST(Registry, OpenHandlesAreCountedForLeakChecks) {
    winsim::ScopedMachine m;
    m->registry.CreateKey(kKey);
    HKEY a, b;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", 0, KEY_READ, &a), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(a, "Product", 0, KEY_READ, &b), ERROR_SUCCESS);
    EXPECT_EQ(m->registry.OpenKeyCount(), 2u);
    RegCloseKey(b);
    RegCloseKey(a);
    EXPECT_EQ(m->registry.OpenKeyCount(), 0u);
    EXPECT_EQ(RegCloseKey(a), ERROR_INVALID_HANDLE);
    // Predefined roots never count and never close.
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(m->registry.OpenKeyCount(), 0u);
}

TEST(Registry, HiveKeysCannotBeDeleted) {
    winsim::ScopedMachine m;
    m->registry.DeleteTree("HKLM\\SOFTWARE\\Classes");
    m->registry.DeleteTree("HKLM\\SOFTWARE\\Microsoft");
    ASSERT_TRUE(m->registry.SubKeys("HKLM\\SOFTWARE").empty());
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE"), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(m->registry.KeyExists("HKLM\\SOFTWARE"));
}

}  // namespace
