// Print spooler calls as Windows (or Wine) answers them: buffer sizing, driver paths, printers the test installs.
//
// Wine's spooler does no access checks (every OpenPrinterA of an existing printer succeeds, SERVER_READ
// included) and ignores printer connections (PRINTER_ENUM_CONNECTIONS lists nothing, AddPrinterConnectionA
// is a stub). Those behaviours are pinned on the simulated machine only, in tests/winsim/s_spooler_calls.cpp.
#include "conformance.h"

#include <winspool.h>

#include <stdio.h>
#include <string.h>

#include <vector>

namespace {

const BYTE kFill = 0xA5;
const char kDriver[] = "Winsim Conformance Driver";
const char kPrinterA[] = "Winsim Conformance A";
const char kPrinterB[] = "Winsim Conformance B";
const char* const kDriverFiles[] = {"WSCDRV.DLL", "WSCUI.DLL", "WSCDATA.PPD", "WSCHELP.HLP", "WSCDEP.DLL"};

bool IsNt() {
    return (GetVersion() & 0x80000000) == 0;
}

bool EqualNoCase(const char* a, const char* b) {
    return a && b && lstrcmpiA(a, b) == 0;
}

bool StartsWithNoCase(const char* s, const char* prefix) {
    size_t n = strlen(prefix);
    if (!s || strlen(s) < n)
        return false;
    char head[2 * MAX_PATH];
    if (n >= sizeof(head))
        return false;
    memcpy(head, s, n);
    head[n] = '\0';
    return lstrcmpiA(head, prefix) == 0;
}

bool Untouched(const BYTE* p, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (p[i] != kFill)
            return false;
    return true;
}

// A printer name of 130 bytes: the program copies names into 100-byte buffers, so longer ones must work.
const char* LongName() {
    static char name[131];
    if (!name[0]) {
        memset(name, 'L', 130);
        memcpy(name, "Winsim Conformance Long ", 24);
        name[130] = '\0';
    }
    return name;
}

bool WriteSmallFile(const char* path, const char* content) {
    HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(f, content, (DWORD)strlen(content), &written, NULL);
    CloseHandle(f);
    return ok && written == strlen(content);
}

// The driver directory for `env` (NULL: the machine's); empty on failure.
void DriverDirectory(LPSTR env, char* out, DWORD size) {
    DWORD needed = 0;
    out[0] = '\0';
    if (!GetPrinterDriverDirectoryA(NULL, env, 1, (LPBYTE)out, size, &needed))
        out[0] = '\0';
}

bool DeleteNamedPrinter(const char* name) {
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE h = NULL;
    if (!OpenPrinterA((LPSTR)name, &h, &defaults))
        return false;
    BOOL ok = DeletePrinter(h);
    ClosePrinter(h);
    return ok != FALSE;
}

// Installs the test's driver from files in a scratch folder of the temp directory.
bool InstallDriver(char* stage, size_t stageSize) {
    char temp[MAX_PATH];
    if (!GetTempPathA(MAX_PATH, temp))
        return false;
    snprintf(stage, stageSize, "%swinsim_spooler", temp);
    CreateDirectoryA(stage, NULL);
    char paths[5][2 * MAX_PATH];
    for (int i = 0; i < 5; ++i) {
        snprintf(paths[i], sizeof(paths[i]), "%s\\%s", stage, kDriverFiles[i]);
        if (!WriteSmallFile(paths[i], kDriverFiles[i]))
            return false;
    }
    char deps[2 * MAX_PATH + 2];
    memset(deps, 0, sizeof(deps));
    strcpy(deps, paths[4]);
    DRIVER_INFO_3A info;
    memset(&info, 0, sizeof(info));
    info.cVersion = 3;
    info.pName = (LPSTR)kDriver;
    info.pDriverPath = paths[0];
    info.pConfigFile = paths[1];
    info.pDataFile = paths[2];
    info.pHelpFile = paths[3];
    info.pDependentFiles = deps;
    info.pDefaultDataType = (LPSTR) "RAW";
    return AddPrinterDriverExA(NULL, 3, (LPBYTE)&info, APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY) != FALSE;
}

// Wine crashes without a print processor and wants a data type: both are given.
bool InstallPrinter(const char* name) {
    PRINTER_INFO_2A info;
    memset(&info, 0, sizeof(info));
    info.pPrinterName = (LPSTR)name;
    info.pPortName = (LPSTR) "FILE:";
    info.pDriverName = (LPSTR)kDriver;
    info.pPrintProcessor = (LPSTR) "WinPrint";
    info.pDatatype = (LPSTR) "RAW";
    info.pComment = (LPSTR) "conformance";
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE h = AddPrinterA(NULL, 2, (LPBYTE)&info);
    if (!h)
        return false;
    ClosePrinter(h);
    return true;
}

void RemoveEverything(const char* stage) {
    DeleteNamedPrinter(kPrinterA);
    DeleteNamedPrinter(kPrinterB);
    DeleteNamedPrinter(LongName());
    DeletePrinterDriverA(NULL, NULL, (LPSTR)kDriver);
    // The spooler leaves a deleted driver's files behind (Windows and Wine alike): remove our copies.
    char dir[MAX_PATH], path[2 * MAX_PATH];
    DriverDirectory(NULL, dir, sizeof(dir));
    for (const char* f : kDriverFiles) {
        if (dir[0]) {
            snprintf(path, sizeof(path), "%s\\3\\%s", dir, f);
            DeleteFileA(path);
        }
        if (stage[0]) {
            snprintf(path, sizeof(path), "%s\\%s", stage, f);
            DeleteFileA(path);
        }
    }
    if (stage[0])
        RemoveDirectoryA(stage);
}

struct Sweep {
    int delta;
    BOOL result;
};
const Sweep kSweep[] = {{-1, FALSE}, {0, TRUE}, {1, TRUE}};

// The enumeration at one level with buffers one byte short, exact and one byte long.
void CheckEnumSizing(DWORD level) {
    DWORD needed = 0xdeadbeef, returned = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    BOOL r = EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, level, NULL, 0, &needed, &returned);
    ok(!r && GetLastError() == ERROR_INSUFFICIENT_BUFFER, "level %lu: got %d, error %lu\n", (unsigned long)level, r,
       (unsigned long)GetLastError());
    ok(needed > 0 && needed != 0xdeadbeef, "level %lu: needed %lu\n", (unsigned long)level, (unsigned long)needed);
    ok(returned == 0, "level %lu: returned %lu with no buffer\n", (unsigned long)level, (unsigned long)returned);
    if (needed == 0 || needed == 0xdeadbeef)
        return;
    DWORD cb = needed;
    std::vector<BYTE> block(cb + 16);
    BYTE* buf = block.data();
    for (const Sweep& s : kSweep) {
        memset(buf, kFill, cb + 16);
        needed = 0xdeadbeef;
        returned = 0xdeadbeef;
        SetLastError(0xdeadbeef);
        r = EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, level, buf, cb + s.delta, &needed,
                          &returned);
        ok(r == s.result, "level %lu, cb%+d: got %d, error %lu\n", (unsigned long)level, s.delta, r,
           (unsigned long)GetLastError());
        ok(needed == cb, "level %lu, cb%+d: needed %lu, expected %lu\n", (unsigned long)level, s.delta,
           (unsigned long)needed, (unsigned long)cb);
        if (!r) {
            ok(GetLastError() == ERROR_INSUFFICIENT_BUFFER, "level %lu: error %lu\n", (unsigned long)level,
               (unsigned long)GetLastError());
            ok(returned == 0, "level %lu: returned %lu from a refused call\n", (unsigned long)level,
               (unsigned long)returned);
            ok(Untouched(buf, 0, cb + 16), "level %lu: a refused buffer was written\n", (unsigned long)level);
        } else {
            ok(returned >= 3, "level %lu: returned %lu\n", (unsigned long)level, (unsigned long)returned);
            ok(Untouched(buf, cb, cb + 16), "level %lu: written past the size it asked for\n", (unsigned long)level);
        }
    }
}

// Fetches a whole enumeration with the two-call pattern.
std::vector<BYTE> EnumAll(DWORD level, DWORD* returned) {
    DWORD needed = 0;
    *returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, level, NULL, 0, &needed, returned);
    std::vector<BYTE> buf(needed + 1);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, level, buf.data(), needed, &needed,
                       returned))
        *returned = 0;
    return buf;
}

int IndexOf4(const PRINTER_INFO_4A* r, DWORD n, const char* name) {
    for (DWORD i = 0; i < n; ++i)
        if (EqualNoCase(r[i].pPrinterName, name))
            return (int)i;
    return -1;
}

void CheckRecords() {
    DWORD n = 0;
    std::vector<BYTE> buf = EnumAll(4, &n);
    const PRINTER_INFO_4A* r4 = (const PRINTER_INFO_4A*)buf.data();
    int a = IndexOf4(r4, n, kPrinterA), b = IndexOf4(r4, n, kPrinterB), l = IndexOf4(r4, n, LongName());
    ok(a >= 0 && b >= 0 && l >= 0, "level 4 lists A %d, B %d, long %d\n", a, b, l);
    // Both list local printers sorted by name, whatever order they were added in.
    ok(a < b, "A at %d listed after B at %d\n", a, b);
    if (a >= 0) {
        ok((r4[a].Attributes & PRINTER_ATTRIBUTE_LOCAL) != 0, "attributes 0x%lx\n", (unsigned long)r4[a].Attributes);
        ok(r4[a].pServerName == NULL, "local printer with server %s\n", r4[a].pServerName);
    }

    buf = EnumAll(2, &n);
    const PRINTER_INFO_2A* r2 = (const PRINTER_INFO_2A*)buf.data();
    bool found = false;
    for (DWORD i = 0; i < n; ++i) {
        if (!EqualNoCase(r2[i].pPrinterName, kPrinterA))
            continue;
        found = true;
        ok(EqualNoCase(r2[i].pDriverName, kDriver), "driver %s\n", r2[i].pDriverName);
        ok(EqualNoCase(r2[i].pPortName, "FILE:"), "port %s\n", r2[i].pPortName);
        ok(EqualNoCase(r2[i].pPrintProcessor, "WinPrint"), "print processor %s\n", r2[i].pPrintProcessor);
        ok(EqualNoCase(r2[i].pComment, "conformance"), "comment %s\n", r2[i].pComment);
        ok(r2[i].pServerName == NULL, "server %s\n", r2[i].pServerName);
        ok(r2[i].pShareName == NULL || !r2[i].pShareName[0], "share %s\n", r2[i].pShareName);
    }
    ok(found, "level 2 does not list %s\n", kPrinterA);

    buf = EnumAll(1, &n);
    const PRINTER_INFO_1A* r1 = (const PRINTER_INFO_1A*)buf.data();
    found = false;
    for (DWORD i = 0; i < n; ++i)
        found = found || EqualNoCase(r1[i].pName, LongName());
    ok(found, "level 1 does not list the long name\n");

    buf = EnumAll(5, &n);
    const PRINTER_INFO_5A* r5 = (const PRINTER_INFO_5A*)buf.data();
    found = false;
    for (DWORD i = 0; i < n; ++i)
        if (EqualNoCase(r5[i].pPrinterName, kPrinterB))
            found = EqualNoCase(r5[i].pPortName, "FILE:");
    ok(found, "level 5 does not list %s on FILE:\n", kPrinterB);
}

void CheckDriverInfo(HANDLE h) {
    DWORD needed = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    BOOL r = GetPrinterDriverA(h, NULL, 2, NULL, 0, &needed);
    ok(!r && GetLastError() == ERROR_INSUFFICIENT_BUFFER, "got %d, error %lu\n", r, (unsigned long)GetLastError());
    ok(needed > sizeof(DRIVER_INFO_2A) && needed != 0xdeadbeef, "needed %lu\n", (unsigned long)needed);
    if (needed == 0xdeadbeef || needed <= sizeof(DRIVER_INFO_2A))
        return;
    DWORD cb = needed;
    std::vector<BYTE> block(cb + 16);
    BYTE* buf = block.data();
    // Wine writes into a buffer it refuses, so only the result and the size are compared there.
    for (const Sweep& s : kSweep) {
        memset(buf, kFill, cb + 16);
        needed = 0xdeadbeef;
        SetLastError(0xdeadbeef);
        r = GetPrinterDriverA(h, NULL, 2, buf, cb + s.delta, &needed);
        ok(r == s.result, "cb%+d: got %d, error %lu\n", s.delta, r, (unsigned long)GetLastError());
        ok(needed == cb, "cb%+d: needed %lu, expected %lu\n", s.delta, (unsigned long)needed, (unsigned long)cb);
        if (!r)
            ok(GetLastError() == ERROR_INSUFFICIENT_BUFFER, "error %lu\n", (unsigned long)GetLastError());
        else if (s.delta == 0)
            ok(Untouched(buf, cb, cb + 16), "written past the size it asked for\n");
    }

    memset(buf, kFill, cb + 16);
    r = GetPrinterDriverA(h, NULL, 2, buf, cb, &needed);
    const DRIVER_INFO_2A* d = (const DRIVER_INFO_2A*)buf;
    if (!r) {
        ok(0, "GetPrinterDriverA failed with %lu\n", (unsigned long)GetLastError());
    } else {
        ok(d->cVersion == 3, "cVersion %lu\n", (unsigned long)d->cVersion);
        ok(EqualNoCase(d->pName, kDriver), "name %s\n", d->pName);
        // The files lie in <driver directory of the environment>\3\, named by their full paths.
        char dir[MAX_PATH], expected[2 * MAX_PATH];
        DriverDirectory(d->pEnvironment, dir, sizeof(dir));
        ok(dir[0] != 0, "no driver directory for environment %s\n", d->pEnvironment);
        const struct {
            const char* path;
            const char* file;
        } files[] = {{d->pDriverPath, "WSCDRV.DLL"}, {d->pConfigFile, "WSCUI.DLL"}, {d->pDataFile, "WSCDATA.PPD"}};
        for (const auto& f : files) {
            snprintf(expected, sizeof(expected), "%s\\3\\%s", dir, f.file);
            ok(EqualNoCase(f.path, expected), "path %s, expected %s\n", f.path, expected);
            ok(GetFileAttributesA(expected) != INVALID_FILE_ATTRIBUTES, "%s was not copied\n", expected);
        }
        ok((BYTE*)d->pName >= buf + sizeof(DRIVER_INFO_2A) && (BYTE*)d->pName < buf + cb,
           "strings are not packed behind the record\n");
    }
}

DWORD RegistryAttributes(const char* printer) {
    char key[2 * MAX_PATH];
    snprintf(key, sizeof(key), "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\%s", printer);
    HKEY hkey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &hkey) != ERROR_SUCCESS)
        return 0xffffffff;
    DWORD value = 0xffffffff, type = 0, size = sizeof(value);
    if (RegQueryValueExA(hkey, "Attributes", NULL, &type, (LPBYTE)&value, &size) != ERROR_SUCCESS || type != REG_DWORD)
        value = 0xffffffff;
    RegCloseKey(hkey);
    return value;
}

// Shares the printer and takes the share away again through level 2, as the program's unsharing does.
// The installed drivers, enumerated with the two-call pattern: the conformance driver is among them,
// with the same version and data file its printer reports.
void CheckDriverEnumeration(HANDLE h) {
    DWORD needed = 0xdeadbeef, returned = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    BOOL r = EnumPrinterDriversA(NULL, NULL, 2, NULL, 0, &needed, &returned);
    ok(!r && GetLastError() == ERROR_INSUFFICIENT_BUFFER, "got %d, error %lu\n", r, (unsigned long)GetLastError());
    ok(needed > sizeof(DRIVER_INFO_2A) && needed != 0xdeadbeef, "needed %lu\n", (unsigned long)needed);
    if (needed == 0xdeadbeef || needed <= sizeof(DRIVER_INFO_2A))
        return;
    std::vector<BYTE> list(needed);
    r = EnumPrinterDriversA(NULL, NULL, 2, list.data(), needed, &needed, &returned);
    ok(r && returned >= 1, "got %d, %lu drivers, error %lu\n", r, (unsigned long)returned,
       (unsigned long)GetLastError());
    if (!r)
        return;
    DWORD own = 0;
    GetPrinterDriverA(h, NULL, 2, NULL, 0, &own);
    std::vector<BYTE> mine(own + 1);
    if (!GetPrinterDriverA(h, NULL, 2, mine.data(), own, &own)) {
        ok(0, "GetPrinterDriverA failed with %lu\n", (unsigned long)GetLastError());
        return;
    }
    const DRIVER_INFO_2A* printerDriver = (const DRIVER_INFO_2A*)mine.data();
    const DRIVER_INFO_2A* d = (const DRIVER_INFO_2A*)list.data();
    int found = 0;
    for (DWORD i = 0; i < returned; ++i) {
        if (!EqualNoCase(d[i].pName, kDriver))
            continue;
        found++;
        ok(d[i].cVersion == printerDriver->cVersion, "cVersion %lu\n", (unsigned long)d[i].cVersion);
        ok(EqualNoCase(d[i].pDataFile, printerDriver->pDataFile), "data file %s, the printer's %s\n",
           d[i].pDataFile, printerDriver->pDataFile);
        ok(EqualNoCase(d[i].pEnvironment, printerDriver->pEnvironment), "environment %s\n", d[i].pEnvironment);
    }
    ok(found == 1, "the conformance driver is listed %d times\n", found);
    SetLastError(0xdeadbeef);
    r = EnumPrinterDriversA(NULL, (LPSTR)"Windows Bogus", 2, list.data(), (DWORD)list.size(), &needed, &returned);
    ok(!r && GetLastError() == ERROR_INVALID_ENVIRONMENT, "unknown environment: got %d, error %lu\n", r,
       (unsigned long)GetLastError());
}

void CheckShareToggle(HANDLE h) {
    DWORD needed = 0;
    GetPrinterA(h, 2, NULL, 0, &needed);
    ok(needed > sizeof(PRINTER_INFO_2A), "GetPrinterA needed %lu\n", (unsigned long)needed);
    std::vector<BYTE> buf(needed + 1);
    if (!GetPrinterA(h, 2, buf.data(), needed, &needed)) {
        ok(0, "GetPrinterA failed with %lu\n", (unsigned long)GetLastError());
        return;
    }
    PRINTER_INFO_2A* pi = (PRINTER_INFO_2A*)buf.data();
    DWORD before = pi->Attributes;
    pi->Attributes |= PRINTER_ATTRIBUTE_SHARED;
    pi->pShareName = (LPSTR) "WSCSHARE";
    ok(SetPrinterA(h, 2, buf.data(), 0), "sharing failed with %lu\n", (unsigned long)GetLastError());
    ok(RegistryAttributes(kPrinterA) == (before | PRINTER_ATTRIBUTE_SHARED), "registry attributes 0x%lx\n",
       (unsigned long)RegistryAttributes(kPrinterA));

    GetPrinterA(h, 2, NULL, 0, &needed);
    buf.assign(needed + 1, 0);
    ok(GetPrinterA(h, 2, buf.data(), needed, &needed), "GetPrinterA failed with %lu\n",
       (unsigned long)GetLastError());
    pi = (PRINTER_INFO_2A*)buf.data();
    ok((pi->Attributes & PRINTER_ATTRIBUTE_SHARED) != 0, "not shared: 0x%lx\n", (unsigned long)pi->Attributes);
    ok(EqualNoCase(pi->pShareName, "WSCSHARE"), "share name %s\n", pi->pShareName);
    pi->Attributes &= ~PRINTER_ATTRIBUTE_SHARED;
    ok(SetPrinterA(h, 2, buf.data(), 0), "unsharing failed with %lu\n", (unsigned long)GetLastError());
    ok(RegistryAttributes(kPrinterA) == before, "registry attributes 0x%lx after unsharing, expected 0x%lx\n",
       (unsigned long)RegistryAttributes(kPrinterA), (unsigned long)before);
}

}  // namespace

START_TEST(spooler_driver_directory) {
    DWORD cb = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    BOOL r = GetPrinterDriverDirectoryA(NULL, NULL, 1, NULL, 0, &cb);
    ok(!r && GetLastError() == ERROR_INSUFFICIENT_BUFFER, "got %d, error %lu\n", r, (unsigned long)GetLastError());
    ok(cb > 1 && cb < MAX_PATH, "needed %lu\n", (unsigned long)cb);
    if (cb <= 1 || cb >= MAX_PATH)
        return;

    BYTE buf[2 * MAX_PATH];
    for (const Sweep& s : kSweep) {
        memset(buf, kFill, sizeof(buf));
        DWORD needed = 0xdeadbeef;
        SetLastError(0xdeadbeef);
        r = GetPrinterDriverDirectoryA(NULL, NULL, 1, buf, cb + s.delta, &needed);
        ok(r == s.result, "cb%+d: got %d, error %lu\n", s.delta, r, (unsigned long)GetLastError());
        // The size counts the terminating NUL.
        ok(needed == cb, "cb%+d: needed %lu, expected %lu\n", s.delta, (unsigned long)needed, (unsigned long)cb);
        if (!r) {
            ok(GetLastError() == ERROR_INSUFFICIENT_BUFFER, "error %lu\n", (unsigned long)GetLastError());
            ok(Untouched(buf, 0, sizeof(buf)), "a refused buffer was written\n");
        } else {
            ok((DWORD)lstrlenA((char*)buf) == cb - 1, "length %d for size %lu\n", lstrlenA((char*)buf),
               (unsigned long)cb);
            ok(Untouched(buf, cb, sizeof(buf)), "written past the NUL\n");
        }
    }

    char sys[MAX_PATH], prefix[2 * MAX_PATH];
    GetSystemDirectoryA(sys, MAX_PATH);
    snprintf(prefix, sizeof(prefix), "%s\\spool\\drivers\\", sys);
    if (!IsNt()) {
        // Windows 9x keeps its drivers in the system directory.
        ok(EqualNoCase((char*)buf, sys), "directory %s\n", (char*)buf);
        return;
    }
    ok(StartsWithNoCase((char*)buf, prefix), "directory %s, expected below %s\n", (char*)buf, prefix);

    const struct {
        const char* env;
        DWORD level;
        const char* leaf;  // NULL: the call fails with `error`
        DWORD error;
    } cases[] = {
        {"windowS 4.0", 1, "win40", 0},  // environments are case-insensitive
        {"Windows NT x86", 1, "w32x86", 0},
        {"Windows x64", 1, "x64", 0},
        {"", 1, NULL, 0},  // "" is the machine's environment, as NULL
        {"invalid_env", 1, NULL, ERROR_INVALID_ENVIRONMENT},
        {NULL, 2, NULL, ERROR_INVALID_LEVEL},
    };
    for (const auto& c : cases) {
        char dir[MAX_PATH], expected[2 * MAX_PATH];
        DWORD needed = 0;
        SetLastError(0xdeadbeef);
        r = GetPrinterDriverDirectoryA(NULL, (LPSTR)c.env, c.level, (LPBYTE)dir, sizeof(dir), &needed);
        if (c.error) {
            ok(!r && GetLastError() == c.error, "%s level %lu: got %d, error %lu\n", c.env ? c.env : "(null)",
               (unsigned long)c.level, r, (unsigned long)GetLastError());
            continue;
        }
        ok(r, "%s: failed with %lu\n", c.env, (unsigned long)GetLastError());
        if (!r)
            continue;
        if (c.leaf)
            snprintf(expected, sizeof(expected), "%s%s", prefix, c.leaf);
        else
            snprintf(expected, sizeof(expected), "%s", (char*)buf);
        ok(EqualNoCase(dir, expected), "%s: %s, expected %s\n", c.env, dir, expected);
    }
}

START_TEST(spooler_enum_sizing) {
    // With no printers the call succeeds and needs nothing; with some it asks for a buffer.
    const DWORD levels[] = {1, 2, 4, 5};
    for (DWORD level : levels) {
        DWORD needed = 0xdeadbeef, returned = 0xdeadbeef;
        SetLastError(0xdeadbeef);
        BOOL r = EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, level, NULL, 0, &needed, &returned);
        if (r) {
            ok(needed == 0, "level %lu: needed %lu\n", (unsigned long)level, (unsigned long)needed);
            ok(GetLastError() == ERROR_SUCCESS, "level %lu: error %lu\n", (unsigned long)level,
               (unsigned long)GetLastError());
        } else {
            ok(GetLastError() == ERROR_INSUFFICIENT_BUFFER, "level %lu: error %lu\n", (unsigned long)level,
               (unsigned long)GetLastError());
            ok(needed > 0 && needed != 0xdeadbeef, "level %lu: needed %lu\n", (unsigned long)level,
               (unsigned long)needed);
        }
        ok(returned == 0, "level %lu: returned %lu\n", (unsigned long)level, (unsigned long)returned);
    }
    DWORD needed, returned;
    SetLastError(0xdeadbeef);
    BOOL r = EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 3, NULL, 0, &needed, &returned);
    ok(!r && GetLastError() == ERROR_INVALID_LEVEL, "level 3: got %d, error %lu\n", r, (unsigned long)GetLastError());
}

START_TEST(spooler_open_unknown) {
    const char* names[] = {"Winsim Conformance No Such Printer", LongName()};
    for (const char* name : names) {
        HANDLE h = (HANDLE)(ULONG_PTR)0x1234;
        SetLastError(0xdeadbeef);
        BOOL r = OpenPrinterA((LPSTR)name, &h, NULL);
        ok(!r && GetLastError() == ERROR_INVALID_PRINTER_NAME, "%.30s: got %d, error %lu\n", name, r,
           (unsigned long)GetLastError());
        ok(h == NULL, "%.30s: handle %p left behind\n", name, h);
    }
    SetLastError(0xdeadbeef);
    BOOL r = ClosePrinter(NULL);
    ok(!r && GetLastError() == ERROR_INVALID_HANDLE, "ClosePrinter(NULL): got %d, error %lu\n", r,
       (unsigned long)GetLastError());
}

START_TEST(spooler_installed_printers) {
    char stage[MAX_PATH] = "";
    RemoveEverything(stage);  // leftovers of an interrupted run
    if (!InstallDriver(stage, sizeof(stage))) {
        skip("cannot install a printer driver (error %lu)\n", (unsigned long)GetLastError());
        RemoveEverything(stage);
        return;
    }
    // Added out of order on purpose: the enumeration sorts.
    if (!InstallPrinter(kPrinterB) || !InstallPrinter(kPrinterA) || !InstallPrinter(LongName())) {
        skip("cannot add printers (error %lu)\n", (unsigned long)GetLastError());
        RemoveEverything(stage);
        return;
    }

    const DWORD levels[] = {1, 2, 4, 5};
    for (DWORD level : levels)
        CheckEnumSizing(level);
    CheckRecords();

    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE};
    HANDLE h = NULL;
    ok(OpenPrinterA((LPSTR)kPrinterA, &h, &defaults), "open failed with %lu\n", (unsigned long)GetLastError());
    if (h) {
        CheckDriverInfo(h);
        CheckDriverEnumeration(h);
        CheckShareToggle(h);
        ok(ClosePrinter(h), "close failed with %lu\n", (unsigned long)GetLastError());
        SetLastError(0xdeadbeef);
        ok(!ClosePrinter(h) && GetLastError() == ERROR_INVALID_HANDLE, "second close: error %lu\n",
           (unsigned long)GetLastError());
    }

    // Names are compared case-insensitively; long ones open like short ones.
    const char* lower = "winsim conformance b";
    const char* opens[] = {lower, LongName()};
    for (const char* name : opens) {
        HANDLE other = NULL;
        ok(OpenPrinterA((LPSTR)name, &other, NULL), "%.30s: open failed with %lu\n", name,
           (unsigned long)GetLastError());
        if (other)
            ClosePrinter(other);
    }

    ok(DeleteNamedPrinter(kPrinterA), "DeletePrinter failed with %lu\n", (unsigned long)GetLastError());
    ok(RegistryAttributes(kPrinterA) == 0xffffffff, "the deleted printer's key is still there\n");
    HANDLE gone = NULL;
    SetLastError(0xdeadbeef);
    ok(!OpenPrinterA((LPSTR)kPrinterA, &gone, NULL) && GetLastError() == ERROR_INVALID_PRINTER_NAME,
       "open after delete: error %lu\n", (unsigned long)GetLastError());

    ok(DeleteNamedPrinter(kPrinterB) && DeleteNamedPrinter(LongName()), "deleting the others failed with %lu\n",
       (unsigned long)GetLastError());
    SetLastError(0xdeadbeef);
    ok(DeletePrinterDriverA(NULL, NULL, (LPSTR)kDriver), "driver deletion failed with %lu\n",
       (unsigned long)GetLastError());
    RemoveEverything(stage);
}
