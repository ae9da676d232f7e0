// The calls a printer removal makes, as Windows (or Wine) answers them: unsharing and deleting a printer, a
// driver's own library loaded by path, key and value deletion, files that cannot go, system folder sizes.
#include "conformance.h"
#include "conformance_drv.h"

#include <winspool.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char kDriver[] = "Winsim Removal Driver";
const char kPrinter[] = "Winsim Removal Scratch";
const char* const kDriverFiles[] = {"WSRDRV.DLL", "WSRUI.DLL", "WSRDATA.PPD"};
const char kDevicesKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices";
const char kRegRoot[] = "Software\\WinsimConformance";

// A scratch folder under the temp path with the files a test puts there; removed with everything in it.
struct TempDir {
    explicit TempDir(const char* test) {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        path = std::string(temp) + "winsim_removal_" + test;
        Clean();
        ok(CreateDirectoryA(path.c_str(), NULL), "creating %s: %lu\n", path.c_str(), (unsigned long)GetLastError());
    }
    ~TempDir() { Clean(); }
    std::string File(const char* name) const { return path + "\\" + name; }
    bool Make(const char* name, const char* content) const {
        HANDLE h = CreateFileA(File(name).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        DWORD written = 0;
        BOOL w = WriteFile(h, content, (DWORD)strlen(content), &written, NULL);
        CloseHandle(h);
        return w && written == strlen(content);
    }
    void Clean() const {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::string full = path + "\\" + fd.cFileName;
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileA(full.c_str());
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(path.c_str());
    }
    std::string path;
};

// ---- spooler helpers ----

bool OpenNamed(const char* name, DWORD access, HANDLE* h) {
    PRINTER_DEFAULTSA defaults = {NULL, NULL, access};
    *h = NULL;
    return OpenPrinterA((LPSTR)name, h, &defaults) != FALSE;
}

void DeleteNamedPrinter(const char* name) {
    HANDLE h;
    if (OpenNamed(name, PRINTER_ALL_ACCESS, &h)) {
        DeletePrinter(h);
        ClosePrinter(h);
    }
}

void RemoveScratchPrinter(const TempDir& stage) {
    DeleteNamedPrinter(kPrinter);
    DeletePrinterDriverA(NULL, NULL, (LPSTR)kDriver);
    char dir[MAX_PATH];
    DWORD needed = 0;
    if (GetPrinterDriverDirectoryA(NULL, NULL, 1, (LPBYTE)dir, sizeof(dir), &needed))
        for (const char* f : kDriverFiles)
            DeleteFileA((std::string(dir) + "\\3\\" + f).c_str());
    for (const char* f : kDriverFiles)
        DeleteFileA(stage.File(f).c_str());
}

// Installs the scratch driver from the stage folder and a local printer on it (Wine needs the print
// processor and the data type).
bool InstallScratchPrinter(const TempDir& stage, DWORD attributes) {
    std::string paths[3];
    for (int i = 0; i < 3; ++i) {
        paths[i] = stage.File(kDriverFiles[i]);
        if (!stage.Make(kDriverFiles[i], kDriverFiles[i]))
            return false;
    }
    DRIVER_INFO_3A driver;
    memset(&driver, 0, sizeof(driver));
    driver.cVersion = 3;
    driver.pName = (LPSTR)kDriver;
    driver.pDriverPath = (LPSTR)paths[0].c_str();
    driver.pConfigFile = (LPSTR)paths[1].c_str();
    driver.pDataFile = (LPSTR)paths[2].c_str();
    driver.pDefaultDataType = (LPSTR) "RAW";
    if (!AddPrinterDriverExA(NULL, 3, (LPBYTE)&driver, APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY))
        return false;
    PRINTER_INFO_2A info;
    memset(&info, 0, sizeof(info));
    info.pPrinterName = (LPSTR)kPrinter;
    info.pPortName = (LPSTR) "FILE:";
    info.pDriverName = (LPSTR)kDriver;
    info.pPrintProcessor = (LPSTR) "WinPrint";
    info.pDatatype = (LPSTR) "RAW";
    info.Attributes = attributes;
    HANDLE h = AddPrinterA(NULL, 2, (LPBYTE)&info);
    if (!h)
        return false;
    ClosePrinter(h);
    return true;
}

// The level-2 record read with the two-call pattern; empty when it could not be read.
std::vector<BYTE> ReadLevel2(HANDLE h) {
    DWORD needed = 0;
    GetPrinterA(h, 2, NULL, 0, &needed);
    std::vector<BYTE> buf(needed);
    if (!needed || !GetPrinterA(h, 2, buf.data(), needed, &needed))
        buf.clear();
    return buf;
}

DWORD RegistryAttributes(const char* printer) {
    std::string key = std::string("SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\") + printer;
    HKEY hkey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &hkey) != ERROR_SUCCESS)
        return 0xffffffff;
    DWORD value = 0xffffffff, type = 0, size = sizeof(value);
    if (RegQueryValueExA(hkey, "Attributes", NULL, &type, (LPBYTE)&value, &size) != ERROR_SUCCESS || type != REG_DWORD)
        value = 0xffffffff;
    RegCloseKey(hkey);
    return value;
}

bool ValuePresent(HKEY root, const char* key, const char* value) {
    HKEY hkey;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &hkey) != ERROR_SUCCESS)
        return false;
    DWORD cb = 0;
    LONG r = RegQueryValueExA(hkey, value, NULL, NULL, NULL, &cb);
    RegCloseKey(hkey);
    return r == ERROR_SUCCESS;
}

bool Listed(const char* name) {
    DWORD needed = 0, returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 4, NULL, 0, &needed, &returned);
    std::vector<BYTE> buf(needed + 1);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 4, buf.data(), needed, &needed, &returned))
        return false;
    const PRINTER_INFO_4A* r = (const PRINTER_INFO_4A*)buf.data();
    for (DWORD i = 0; i < returned; ++i)
        if (lstrcmpiA(r[i].pPrinterName, name) == 0)
            return true;
    return false;
}

// ---- registry helpers ----

// Deletes a key and its whole tree through handles kept per level, so any depth works without recursion.
void DeleteTree(HKEY root, const char* path) {
    std::vector<HKEY> chain;
    HKEY top;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &top) != ERROR_SUCCESS)
        return;
    chain.push_back(top);
    char name[512];
    for (int guard = 0; guard < 100000 && !chain.empty(); ++guard) {
        DWORD cch = sizeof(name);
        if (RegEnumKeyExA(chain.back(), 0, name, &cch, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
            HKEY child;
            if (RegOpenKeyExA(chain.back(), name, 0, KEY_ALL_ACCESS, &child) != ERROR_SUCCESS)
                break;
            chain.push_back(child);
            continue;
        }
        HKEY done = chain.back();
        chain.pop_back();
        RegDeleteKeyA(done, "");
        RegCloseKey(done);
    }
    for (HKEY k : chain)
        RegCloseKey(k);
    RegDeleteKeyA(root, path);
}

// A fresh HKCU\Software\WinsimConformance\<test>, removed again at the end.
struct ScratchKey {
    explicit ScratchKey(const char* test) {
        path = std::string(kRegRoot) + "\\" + test;
        DeleteTree(HKEY_CURRENT_USER, path.c_str());
        LONG r = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
        ok(r == ERROR_SUCCESS, "creating %s: %ld\n", path.c_str(), (long)r);
    }
    ~ScratchKey() {
        RegCloseKey(key);
        DeleteTree(HKEY_CURRENT_USER, path.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, kRegRoot);  // only goes when nothing else is left in it
    }
    std::string path;
    HKEY key = NULL;
};

void MakeKey(HKEY parent, const char* path) {
    HKEY k;
    LONG r = RegCreateKeyExA(parent, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL);
    ok(r == ERROR_SUCCESS, "creating %s: %ld\n", path, (long)r);
    if (r == ERROR_SUCCESS)
        RegCloseKey(k);
}

bool KeyOpens(HKEY parent, const char* path) {
    HKEY k;
    if (RegOpenKeyExA(parent, path, 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

}  // namespace

START_TEST(removal_unshare_and_delete_printer) {
    TempDir stage("printer");
    RemoveScratchPrinter(stage);  // leftovers of an interrupted run
    // PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS stands for the bits the unsharing must leave alone.
    const DWORD kKeep = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS;
    if (!InstallScratchPrinter(stage, kKeep)) {
        skip("cannot install the scratch printer (error %lu)\n", (unsigned long)GetLastError());
        RemoveScratchPrinter(stage);
        return;
    }
    HANDLE h;
    ok(OpenNamed(kPrinter, PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE, &h), "open: %lu\n",
       (unsigned long)GetLastError());

    // Share it under a name, as an administrator would have.
    std::vector<BYTE> rec = ReadLevel2(h);
    ok(!rec.empty(), "reading level 2: %lu\n", (unsigned long)GetLastError());
    if (rec.empty()) {
        ClosePrinter(h);
        RemoveScratchPrinter(stage);
        return;
    }
    PRINTER_INFO_2A* pi = (PRINTER_INFO_2A*)rec.data();
    ok(pi->Attributes == kKeep, "attributes as added: 0x%lx\n", (unsigned long)pi->Attributes);
    pi->Attributes |= PRINTER_ATTRIBUTE_SHARED;
    pi->pShareName = (LPSTR) "WSRSHARE";
    ok(SetPrinterA(h, 2, rec.data(), 0), "sharing: %lu\n", (unsigned long)GetLastError());

    // Two-call sizing of the shared printer's record: the size asks for room for the share name too.
    DWORD needed = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    BOOL r = GetPrinterA(h, 2, NULL, 0, &needed);
    ok(!r && GetLastError() == ERROR_INSUFFICIENT_BUFFER, "size query: %d %lu\n", r, (unsigned long)GetLastError());
    ok(needed > sizeof(PRINTER_INFO_2A) + strlen("WSRSHARE") && needed != 0xdeadbeef, "needed %lu\n",
       (unsigned long)needed);
    if (needed == 0xdeadbeef || needed < sizeof(PRINTER_INFO_2A)) {
        ClosePrinter(h);
        RemoveScratchPrinter(stage);
        return;
    }
    std::vector<BYTE> buf(needed + 16);
    DWORD got = 0;
    SetLastError(0xdeadbeef);
    r = GetPrinterA(h, 2, buf.data(), needed - 1, &got);
    ok(!r && GetLastError() == ERROR_INSUFFICIENT_BUFFER && got == needed, "one byte short: %d %lu needed %lu\n", r,
       (unsigned long)GetLastError(), (unsigned long)got);
    r = GetPrinterA(h, 2, buf.data(), needed, &got);
    ok(r && got == needed, "exact size: %d %lu needed %lu\n", r, (unsigned long)GetLastError(), (unsigned long)got);
    pi = (PRINTER_INFO_2A*)buf.data();
    ok(r && pi->Attributes == (kKeep | PRINTER_ATTRIBUTE_SHARED), "shared attributes 0x%lx\n",
       (unsigned long)pi->Attributes);
    ok(r && pi->pShareName && strcmp(pi->pShareName, "WSRSHARE") == 0, "share name %s\n",
       r && pi->pShareName ? pi->pShareName : "(null)");

    // Unsharing as the removal does it: the same record back with only the shared bit cleared, command 0.
    pi->Attributes &= ~PRINTER_ATTRIBUTE_SHARED;
    ok(SetPrinterA(h, 2, buf.data(), 0), "unsharing: %lu\n", (unsigned long)GetLastError());
    rec = ReadLevel2(h);
    pi = rec.empty() ? NULL : (PRINTER_INFO_2A*)rec.data();
    ok(pi && pi->Attributes == kKeep, "attributes after unsharing 0x%lx, expected 0x%lx\n",
       pi ? (unsigned long)pi->Attributes : 0ul, (unsigned long)kKeep);
    ok(RegistryAttributes(kPrinter) == kKeep, "stored attributes 0x%lx\n", (unsigned long)RegistryAttributes(kPrinter));
    ok(ClosePrinter(h), "close\n");

    // A fresh handle sees the unshared printer too: the change persisted.
    ok(OpenNamed(kPrinter, PRINTER_ACCESS_USE, &h), "reopen: %lu\n", (unsigned long)GetLastError());
    rec = ReadLevel2(h);
    pi = rec.empty() ? NULL : (PRINTER_INFO_2A*)rec.data();
    ok(pi && !(pi->Attributes & PRINTER_ATTRIBUTE_SHARED), "shared again after reopening\n");
    ClosePrinter(h);

    // Deleting: the printer leaves the enumeration, its key and its Devices value; opening it gives 1801.
    bool device = ValuePresent(HKEY_CURRENT_USER, kDevicesKey, kPrinter);
    ok(Listed(kPrinter), "listed before deletion\n");
    ok(OpenNamed(kPrinter, PRINTER_ALL_ACCESS, &h), "open for deletion: %lu\n", (unsigned long)GetLastError());
    ok(DeletePrinter(h), "DeletePrinter: %lu\n", (unsigned long)GetLastError());
    ClosePrinter(h);
    ok(!Listed(kPrinter), "still listed after deletion\n");
    ok(RegistryAttributes(kPrinter) == 0xffffffff, "the printer's key is still there\n");
    if (device)
        ok(!ValuePresent(HKEY_CURRENT_USER, kDevicesKey, kPrinter), "the Devices value is still there\n");
    SetLastError(0xdeadbeef);
    ok(!OpenNamed(kPrinter, PRINTER_ACCESS_USE, &h) && GetLastError() == ERROR_INVALID_PRINTER_NAME,
       "open after deletion: %lu\n", (unsigned long)GetLastError());
    RemoveScratchPrinter(stage);
}

START_TEST(removal_open_printer_access) {
    TempDir stage("access");
    RemoveScratchPrinter(stage);
    if (!InstallScratchPrinter(stage, PRINTER_ATTRIBUTE_LOCAL)) {
        skip("cannot install the scratch printer (error %lu)\n", (unsigned long)GetLastError());
        RemoveScratchPrinter(stage);
        return;
    }
    HANDLE h;
    ok(OpenNamed(kPrinter, PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE, &h), "administer: %lu\n",
       (unsigned long)GetLastError());
    ClosePrinter(h);
    SetLastError(0xdeadbeef);
    BOOL r = OpenNamed(kPrinter, SERVER_READ, &h);
    // Windows grants SERVER_READ only on a connection (the print server's right) and refuses it on a local
    // printer; Wine's spooler does no access check and opens any existing printer with it.
    todo_wine ok(!r && GetLastError() == ERROR_ACCESS_DENIED, "SERVER_READ on a local printer: %d %lu\n", r,
                 (unsigned long)GetLastError());
    if (r)
        ClosePrinter(h);

    // A handle opened for use only may not change or delete the printer on Windows; Wine checks neither.
    ok(OpenNamed(kPrinter, PRINTER_ACCESS_USE, &h), "use: %lu\n", (unsigned long)GetLastError());
    std::vector<BYTE> rec = ReadLevel2(h);
    ok(!rec.empty(), "reading level 2 through a use handle: %lu\n", (unsigned long)GetLastError());
    if (!rec.empty()) {
        SetLastError(0xdeadbeef);
        r = SetPrinterA(h, 2, rec.data(), 0);
        todo_wine ok(!r && GetLastError() == ERROR_ACCESS_DENIED, "SetPrinterA through a use handle: %d %lu\n", r,
                     (unsigned long)GetLastError());
    }
    SetLastError(0xdeadbeef);
    r = DeletePrinter(h);
    todo_wine ok(!r && GetLastError() == ERROR_ACCESS_DENIED, "DeletePrinter through a use handle: %d %lu\n", r,
                 (unsigned long)GetLastError());
    ClosePrinter(h);
    RemoveScratchPrinter(stage);
}

START_TEST(removal_driver_library_by_path) {
    char exe[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, exe, sizeof(exe));
    char* slash = n ? strrchr(exe, '\\') : NULL;
    ok(slash != NULL, "program path %s\n", exe);
    if (!slash)
        return;
    std::string built = std::string(exe, slash - exe) + "\\conformance_drv.dll";
    if (GetFileAttributesA(built.c_str()) == INVALID_FILE_ATTRIBUTES) {
        skip("%s is missing\n", built.c_str());
        return;
    }
    // A copy of the library in a scratch folder, so that deleting it leaves the built one alone.
    TempDir dir("library");
    std::string path = dir.File("WSRDATA.DLL");
    ok(CopyFileA(built.c_str(), path.c_str(), FALSE), "copying the library: %lu\n", (unsigned long)GetLastError());
    DeleteTree(HKEY_CURRENT_USER, CONFORMANCE_DRV_KEY);

    HMODULE lib = LoadLibraryA(path.c_str());
    ok(lib != NULL, "LoadLibraryA(%s): %lu\n", path.c_str(), (unsigned long)GetLastError());
    if (!lib)
        return;
    typedef BOOL(WINAPI * DeletePrinterFn)(HANDLE);
    DeletePrinterFn fn = (DeletePrinterFn)(void*)GetProcAddress(lib, "DeletePrinter");
    ok(fn != NULL, "GetProcAddress(DeletePrinter): %lu\n", (unsigned long)GetLastError());
    HANDLE handle = (HANDLE)(ULONG_PTR)0x5f001234;
    if (fn)
        ok(fn(handle) == TRUE, "the export's result\n");
    HKEY rec;
    DWORD calls = 0, cb = sizeof(calls);
    HANDLE seen = NULL;
    DWORD cbSeen = sizeof(seen);
    if (RegOpenKeyExA(HKEY_CURRENT_USER, CONFORMANCE_DRV_KEY, 0, KEY_READ, &rec) == ERROR_SUCCESS) {
        RegQueryValueExA(rec, "Calls", NULL, NULL, (BYTE*)&calls, &cb);
        RegQueryValueExA(rec, "Handle", NULL, NULL, (BYTE*)&seen, &cbSeen);
        RegCloseKey(rec);
    }
    ok(calls == 1 && seen == handle, "the library saw %lu call(s), handle %p\n", (unsigned long)calls, seen);

    SetLastError(0xdeadbeef);
    ok(GetProcAddress(lib, "DeletePrinterW") == NULL && GetLastError() == ERROR_PROC_NOT_FOUND,
       "a missing export: %lu\n", (unsigned long)GetLastError());
    SetLastError(0xdeadbeef);
    ok(GetProcAddress(lib, "deleteprinter") == NULL && GetLastError() == ERROR_PROC_NOT_FOUND,
       "export names are case-sensitive: %lu\n", (unsigned long)GetLastError());

    // A loaded library cannot be deleted; once freed it can.
    SetLastError(0xdeadbeef);
    ok(!DeleteFileA(path.c_str()) && GetLastError() == ERROR_ACCESS_DENIED, "deleting the loaded library: %lu\n",
       (unsigned long)GetLastError());
    ok(FreeLibrary(lib), "FreeLibrary: %lu\n", (unsigned long)GetLastError());
    ok(DeleteFileA(path.c_str()), "deleting the freed library: %lu\n", (unsigned long)GetLastError());

    SetLastError(0xdeadbeef);
    ok(LoadLibraryA(path.c_str()) == NULL && GetLastError() == ERROR_MOD_NOT_FOUND, "a missing file: %lu\n",
       (unsigned long)GetLastError());
    std::string noDir = dir.File("nowhere\\WSRDATA.DLL");
    SetLastError(0xdeadbeef);
    ok(LoadLibraryA(noDir.c_str()) == NULL && GetLastError() == ERROR_MOD_NOT_FOUND, "a missing folder: %lu\n",
       (unsigned long)GetLastError());
    DeleteTree(HKEY_CURRENT_USER, CONFORMANCE_DRV_KEY);
}

START_TEST(removal_delete_tree_always_index_zero) {
    ScratchKey s("index0");
    const char* made[] = {"c\\deep\\deeper", "a", "B\\x", "b\\y"};
    for (const char* m : made)
        MakeKey(s.key, m);
    ok(RegDeleteKeyA(s.key, "c") == ERROR_ACCESS_DENIED, "a key with sub-keys stays\n");
    ok(RegDeleteKeyA(s.key, "missing") == ERROR_FILE_NOT_FOUND, "a missing key\n");
    ok(RegDeleteValueA(s.key, "missing") == ERROR_FILE_NOT_FOUND, "a missing value\n");

    // Each round takes sub-key 0 again: the next remaining one in name order, a tree emptied depth first.
    const char* expected[] = {"a", "B", "x", "y", "B", "c", "deep", "deeper", "deep", "c"};
    std::vector<HKEY> chain(1, s.key);
    std::vector<std::string> seen;
    char name[64];
    for (int guard = 0; guard < 40; ++guard) {
        DWORD cch = sizeof(name);
        LONG r = RegEnumKeyExA(chain.back(), 0, name, &cch, NULL, NULL, NULL, NULL);
        if (r == ERROR_SUCCESS) {
            seen.push_back(name);
            HKEY child;
            if (RegOpenKeyExA(chain.back(), name, 0, KEY_ALL_ACCESS, &child) != ERROR_SUCCESS)
                break;
            if (RegDeleteKeyA(chain.back(), name) == ERROR_SUCCESS) {
                RegCloseKey(child);
                continue;
            }
            chain.push_back(child);  // it has sub-keys: empty it first
            continue;
        }
        ok(r == ERROR_NO_MORE_ITEMS, "enumeration ended with %ld\n", (long)r);
        if (chain.size() == 1)
            break;
        HKEY emptied = chain.back();
        chain.pop_back();
        char own[64];
        DWORD cchOwn = sizeof(own);
        RegEnumKeyExA(chain.back(), 0, own, &cchOwn, NULL, NULL, NULL, NULL);
        seen.push_back(own);
        ok(RegDeleteKeyA(chain.back(), own) == ERROR_SUCCESS, "deleting the emptied %s\n", own);
        RegCloseKey(emptied);
    }
    std::string got, want;
    for (const std::string& n : seen)
        got += n + " ";
    for (const char* n : expected)
        want += std::string(n) + " ";
    ok(got == want, "order '%s', expected '%s'\n", got.c_str(), want.c_str());
    DWORD subKeys = 99;
    RegQueryInfoKeyA(s.key, NULL, NULL, NULL, &subKeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    ok(subKeys == 0, "%lu sub-keys left\n", (unsigned long)subKeys);
}

START_TEST(removal_key_path_separators) {
    ScratchKey s("paths");
    MakeKey(s.key, "A\\B");
    static const struct {
        const char* path;
        LONG open;  // RegOpenKeyExA below the scratch key
    } cases[] = {
        {"A\\B", ERROR_SUCCESS},
        {"A\\B\\", ERROR_SUCCESS},    // trailing separators are dropped
        {"A\\B\\\\", ERROR_SUCCESS},
        {"A\\\\B", ERROR_SUCCESS},    // so are empty parts in the middle
        {"\\A\\B", ERROR_BAD_PATHNAME},  // NT refuses a leading one below any key but HKEY_CLASSES_ROOT
        {"\\", ERROR_BAD_PATHNAME},
        {"A\\C", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        HKEY k = NULL;
        LONG r = RegOpenKeyExA(s.key, c.path, 0, KEY_READ, &k);
        ok(r == c.open, "open '%s': %ld, expected %ld\n", c.path, (long)r, (long)c.open);
        if (r == ERROR_SUCCESS)
            RegCloseKey(k);
        else
            ok(k == NULL, "open '%s' left a handle\n", c.path);
    }
    HKEY k = NULL;
    LONG r = RegCreateKeyExA(s.key, "\\Lead", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL);
    ok(r == ERROR_BAD_PATHNAME, "create with a leading separator: %ld\n", (long)r);
    if (r == ERROR_SUCCESS)
        RegCloseKey(k);
    r = RegCreateKeyExA(s.key, "Trail\\\\", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL);
    ok(r == ERROR_SUCCESS && KeyOpens(s.key, "Trail"), "create with trailing separators: %ld\n", (long)r);
    if (r == ERROR_SUCCESS)
        RegCloseKey(k);

    // An empty path opens the key itself: a new handle below an opened key.
    r = RegOpenKeyExA(s.key, "", 0, KEY_READ, &k);
    ok(r == ERROR_SUCCESS && k != NULL && k != s.key, "empty path below an open key: %ld %p\n", (long)r, k);
    DWORD subKeys = 0;
    if (r == ERROR_SUCCESS) {
        RegQueryInfoKeyA(k, NULL, NULL, NULL, &subKeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
        ok(subKeys == 2, "the same key: %lu sub-keys\n", (unsigned long)subKeys);
        RegCloseKey(k);
    }
    // Below a predefined root it gives that root's own handle back.
    k = NULL;
    r = RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &k);
    ok(r == ERROR_SUCCESS && k == HKEY_CURRENT_USER, "empty path below HKEY_CURRENT_USER: %ld %p\n", (long)r, k);
    k = NULL;
    r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, NULL, 0, KEY_READ, &k);
    ok(r == ERROR_SUCCESS && k == HKEY_LOCAL_MACHINE, "no path below HKEY_LOCAL_MACHINE: %ld %p\n", (long)r, k);

    // RegDeleteKeyA takes the same spellings; a leading separator is refused and deletes nothing.
    ok(RegDeleteKeyA(s.key, "\\A\\B") == ERROR_BAD_PATHNAME && KeyOpens(s.key, "A\\B"), "delete '\\A\\B'\n");
    ok(RegDeleteKeyA(s.key, "A\\B\\") == ERROR_SUCCESS && !KeyOpens(s.key, "A\\B"), "delete 'A\\B\\'\n");
    ok(RegDeleteKeyA(s.key, "A\\\\") == ERROR_SUCCESS && !KeyOpens(s.key, "A"), "delete 'A\\\\'\n");
    ok(RegDeleteKeyA(s.key, "Trail\\") == ERROR_SUCCESS, "delete 'Trail\\'\n");
}

START_TEST(removal_key_name_length_and_depth) {
    ScratchKey s("limits");
    // Key names hold at most 255 characters.
    std::string name(255, 'n');
    HKEY k = NULL;
    LONG r = RegCreateKeyExA(s.key, name.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL);
    ok(r == ERROR_SUCCESS, "255 characters: %ld\n", (long)r);
    if (r == ERROR_SUCCESS) {
        RegCloseKey(k);
        char back[300];
        DWORD cch = sizeof(back);
        r = RegEnumKeyExA(s.key, 0, back, &cch, NULL, NULL, NULL, NULL);
        ok(r == ERROR_SUCCESS && cch == 255, "enumerated %ld %lu\n", (long)r, (unsigned long)cch);
        RegDeleteKeyA(s.key, name.c_str());
    }
    // Windows refuses a 256-character name as it does a 257-character one; Wine's server takes names of
    // up to 256 characters.
    k = NULL;
    r = RegCreateKeyExA(s.key, std::string(256, 'n').c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL);
    todo_wine ok(r == ERROR_INVALID_PARAMETER, "256 characters: %ld\n", (long)r);
    if (r == ERROR_SUCCESS) {
        RegCloseKey(k);
        RegDeleteKeyA(s.key, std::string(256, 'n').c_str());
    }
    r = RegCreateKeyExA(s.key, std::string(257, 'n').c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL);
    ok(r == ERROR_INVALID_PARAMETER, "257 characters: %ld\n", (long)r);

    // The A calls convert the whole sub-key path in a 261-character buffer: a longer path is refused with
    // ERROR_MORE_DATA before the registry is looked at, however short its parts (measured under Wine).
    static const struct {
        size_t length;
        LONG open, create, remove;
    } paths[] = {
        {260, ERROR_FILE_NOT_FOUND, ERROR_SUCCESS, ERROR_SUCCESS},
        {261, ERROR_MORE_DATA, ERROR_MORE_DATA, ERROR_MORE_DATA},
        {300, ERROR_MORE_DATA, ERROR_MORE_DATA, ERROR_MORE_DATA},
    };
    for (const auto& c : paths) {
        std::string first(c.length / 2, 'p');
        std::string path = first + "\\" + std::string(c.length - c.length / 2 - 1, 'q');
        k = NULL;
        r = RegOpenKeyExA(s.key, path.c_str(), 0, KEY_READ, &k);
        ok(r == c.open, "open a %u-character path: %ld\n", (unsigned)c.length, (long)r);
        if (r == ERROR_SUCCESS)
            RegCloseKey(k);
        r = RegCreateKeyExA(s.key, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL);
        ok(r == c.create, "create a %u-character path: %ld\n", (unsigned)c.length, (long)r);
        if (r == ERROR_SUCCESS)
            RegCloseKey(k);
        r = RegDeleteKeyA(s.key, path.c_str());
        ok(r == c.remove, "delete a %u-character path: %ld\n", (unsigned)c.length, (long)r);
        DeleteTree(s.key, first.c_str());
    }

    // A chain of keys made one level at a time. Windows counts \REGISTRY as level 1 and makes no key below
    // level 511, so below the scratch key (\REGISTRY\USER\<user>\Software\WinsimConformance\limits, level
    // 6) 505 levels fit; Wine's server sets no depth limit.
    std::vector<HKEY> chain(1, s.key);
    LONG last = ERROR_SUCCESS;
    for (int level = 1; level <= 600; ++level) {
        HKEY next = NULL;
        last = RegCreateKeyExA(chain.back(), "d", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &next, NULL);
        if (last != ERROR_SUCCESS)
            break;
        chain.push_back(next);
    }
    todo_wine ok(chain.size() - 1 == 505 && last == 1450 /* ERROR_NO_SYSTEM_RESOURCES */,
                 "created %u levels below the scratch key, then %ld\n", (unsigned)(chain.size() - 1), (long)last);
    ok(chain.size() - 1 >= 505, "only %u levels below the scratch key: %ld\n", (unsigned)(chain.size() - 1),
       (long)last);
    // The deepest key still opens, and a tree that deep deletes without recursion.
    char leaf[8];
    DWORD cchLeaf = sizeof(leaf);
    ok(chain.size() < 3 || RegEnumKeyExA(chain[chain.size() - 2], 0, leaf, &cchLeaf, NULL, NULL, NULL, NULL) == 0,
       "the deepest key is listed\n");
    for (size_t i = chain.size() - 1; i > 0; --i)
        RegCloseKey(chain[i]);
    DeleteTree(s.key, "d");
    ok(!KeyOpens(s.key, "d"), "the deep tree is gone\n");
}

START_TEST(removal_files_that_cannot_go) {
    TempDir d("files");
    d.Make("held.dll", "MZ");
    std::string held = d.File("held.dll");
    static const struct {
        DWORD share;
        BOOL deleted;
        DWORD error;
    } cases[] = {
        {0, FALSE, ERROR_SHARING_VIOLATION},
        {FILE_SHARE_READ | FILE_SHARE_WRITE, FALSE, ERROR_SHARING_VIOLATION},
        {FILE_SHARE_READ | FILE_SHARE_DELETE, TRUE, 0},
    };
    for (const auto& c : cases) {
        d.Make("held.dll", "MZ");
        HANDLE h = CreateFileA(held.c_str(), GENERIC_READ, c.share, NULL, OPEN_EXISTING, 0, NULL);
        ok(h != INVALID_HANDLE_VALUE, "open: %lu\n", (unsigned long)GetLastError());
        SetLastError(0xdeadbeef);
        BOOL r = DeleteFileA(held.c_str());
        ok(r == c.deleted, "share 0x%lx: %d %lu\n", (unsigned long)c.share, r, (unsigned long)GetLastError());
        if (!r)
            ok(GetLastError() == c.error, "share 0x%lx: error %lu\n", (unsigned long)c.share,
               (unsigned long)GetLastError());
        CloseHandle(h);
        if (c.deleted)
            ok(GetFileAttributesA(held.c_str()) == INVALID_FILE_ATTRIBUTES, "share 0x%lx: still there after the close\n",
               (unsigned long)c.share);
        else
            ok(DeleteFileA(held.c_str()), "deleting after the close: %lu\n", (unsigned long)GetLastError());
    }

    // A file that cannot go now is scheduled for the restart: "\\??\\<path>" and an empty target are
    // appended to the session manager's list, whose earlier entries stay.
    HKEY sm;
    const char* value = "PendingFileRenameOperations";
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_ALL_ACCESS,
                      &sm) != ERROR_SUCCESS) {
        skip("cannot open the session manager's key\n");
    } else {
        DWORD type = 0, cb = 0;
        LONG had = RegQueryValueExA(sm, value, NULL, &type, NULL, &cb);
        std::string saved(cb, '\0');
        if (had == ERROR_SUCCESS && cb)
            RegQueryValueExA(sm, value, NULL, &type, (BYTE*)&saved[0], &cb);
        const char earlier[] = "\\??\\C:\\earlier.dll\0\0";
        RegSetValueExA(sm, value, 0, REG_MULTI_SZ, (const BYTE*)earlier, sizeof(earlier));
        d.Make("held.dll", "MZ");
        HANDLE h = CreateFileA(held.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        ok(!DeleteFileA(held.c_str()) && GetLastError() == ERROR_SHARING_VIOLATION, "held: %lu\n",
           (unsigned long)GetLastError());
        ok(MoveFileExA(held.c_str(), NULL, MOVEFILE_DELAY_UNTIL_REBOOT), "scheduling: %lu\n",
           (unsigned long)GetLastError());
        CloseHandle(h);
        char full[MAX_PATH];
        GetFullPathNameA(held.c_str(), sizeof(full), full, NULL);
        std::string expected = std::string(earlier, sizeof(earlier) - 1) + "\\??\\" + full + '\0' + '\0' + '\0';
        cb = 0;
        RegQueryValueExA(sm, value, NULL, &type, NULL, &cb);
        std::string now(cb, '\0');
        if (cb)
            RegQueryValueExA(sm, value, NULL, &type, (BYTE*)&now[0], &cb);
        ok(type == REG_MULTI_SZ && now == expected, "the list: type %lu, %lu bytes, expected %lu\n",
           (unsigned long)type, (unsigned long)now.size(), (unsigned long)expected.size());
        if (had == ERROR_SUCCESS)
            RegSetValueExA(sm, value, 0, REG_MULTI_SZ, (const BYTE*)saved.data(), (DWORD)saved.size());
        else
            RegDeleteValueA(sm, value);
        RegCloseKey(sm);
    }

    d.Make("ro.dll", "MZ");
    std::string ro = d.File("ro.dll");
    SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_READONLY);
    SetLastError(0xdeadbeef);
    ok(!DeleteFileA(ro.c_str()) && GetLastError() == ERROR_ACCESS_DENIED, "read-only: %lu\n",
       (unsigned long)GetLastError());
    ok(GetFileAttributesA(ro.c_str()) != INVALID_FILE_ATTRIBUTES, "the read-only file stays\n");
}

START_TEST(removal_system_names_and_folders) {
    char buf[MAX_PATH + 8];
    // GetComputerNameA counts without the NUL on success and with it when the buffer is too small.
    DWORD size = sizeof(buf);
    ok(GetComputerNameA(buf, &size) && size == strlen(buf) && size > 0, "computer name '%s' %lu\n", buf,
       (unsigned long)size);
    DWORD len = size;
    static const struct {
        int delta;  // buffer size relative to the name's length
        BOOL result;
    } sweep[] = {{0, FALSE}, {1, TRUE}, {2, TRUE}};
    for (const auto& c : sweep) {
        char out[MAX_PATH + 8];
        memset(out, 'Z', sizeof(out));
        size = len + c.delta;
        SetLastError(0xdeadbeef);
        BOOL r = GetComputerNameA(out, &size);
        ok(r == c.result, "size len%+d: %d %lu\n", c.delta, r, (unsigned long)GetLastError());
        if (r)
            ok(size == len && strcmp(out, buf) == 0, "size len%+d: %lu '%s'\n", c.delta, (unsigned long)size, out);
        else
            ok(GetLastError() == ERROR_BUFFER_OVERFLOW && size == len + 1, "size len%+d: error %lu, size %lu\n",
               c.delta, (unsigned long)GetLastError(), (unsigned long)size);
    }
    size = 0;
    SetLastError(0xdeadbeef);
    ok(!GetComputerNameA(NULL, &size) && GetLastError() == ERROR_BUFFER_OVERFLOW && size == len + 1,
       "size query: %lu %lu\n", (unsigned long)GetLastError(), (unsigned long)size);

    // The folder calls give the length without the NUL when it fits, else the size with it.
    UINT win = GetWindowsDirectoryA(buf, sizeof(buf));
    ok(win > 3 && win == strlen(buf), "Windows folder '%s' %u\n", buf, win);
    ok(GetWindowsDirectoryA(NULL, 0) == win + 1, "Windows folder size query\n");
    ok(GetWindowsDirectoryA(buf, win) == win + 1, "Windows folder one short\n");
    ok(GetWindowsDirectoryA(buf, win + 1) == win, "Windows folder exact\n");
    DWORD temp = GetTempPathA(sizeof(buf), buf);
    ok(temp > 3 && temp == strlen(buf) && buf[temp - 1] == '\\', "temp path '%s' %lu\n", buf, (unsigned long)temp);
    ok(GetTempPathA(0, NULL) == temp + 1, "temp path size query\n");
    ok(GetTempPathA(temp, buf) == temp + 1, "temp path one short\n");
    ok(GetTempPathA(temp + 1, buf) == temp, "temp path exact\n");
}
