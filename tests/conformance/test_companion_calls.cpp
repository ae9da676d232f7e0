// Conformance of the calls the companion library makes: named mutexes, processes and the snapshot, user and
// environment in UTF-16, movable global blocks, UTF-16 registry and files, SHDeleteKeyW, shell folders, COM.
#include "conformance.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <string.h>

#ifdef _WIN32
#define W(s) L##s
#else
#define W(s) u##s
#endif

namespace {

bool Same(LPCWSTR a, LPCWSTR b) {
    return lstrcmpiW(a, b) == 0;
}

START_TEST(named_mutex) {
    LPCWSTR name = W("WinsimConformance mutex {8F1C}-CORP-jdoe");
    SetLastError(0xdeadbeef);
    HANDLE created = CreateMutexW(NULL, FALSE, name);
    ok(created != NULL, "CreateMutexW failed: %lu\n", (unsigned long)GetLastError());
    ok(GetLastError() == 0, "a new mutex sets the last error to 0, got %lu\n", (unsigned long)GetLastError());

    SetLastError(0xdeadbeef);
    HANDLE again = CreateMutexW(NULL, FALSE, name);
    ok(again != NULL && GetLastError() == ERROR_ALREADY_EXISTS, "second CreateMutexW: %p, %lu\n", again,
       (unsigned long)GetLastError());
    CloseHandle(again);

    HANDLE opened = OpenMutexW(MUTANT_QUERY_STATE, FALSE, name);
    ok(opened != NULL, "OpenMutexW(MUTANT_QUERY_STATE) of an existing mutex: %lu\n", (unsigned long)GetLastError());
    SetLastError(0xdeadbeef);
    BOOL released = ReleaseMutex(opened);
    ok(!released && GetLastError() == ERROR_NOT_OWNER, "ReleaseMutex of a mutex not owned: %d, %lu\n", released,
       (unsigned long)GetLastError());
    CloseHandle(opened);

    // Object names are case-sensitive.
    SetLastError(0xdeadbeef);
    HANDLE other = OpenMutexW(MUTANT_QUERY_STATE, FALSE, W("WinsimConformance mutex {8F1C}-corp-jdoe"));
    ok(other == NULL && GetLastError() == ERROR_FILE_NOT_FOUND, "another case: %p, %lu\n", other,
       (unsigned long)GetLastError());

    CloseHandle(created);
    SetLastError(0xdeadbeef);
    HANDLE gone = OpenMutexW(MUTANT_QUERY_STATE, FALSE, name);
    ok(gone == NULL && GetLastError() == ERROR_FILE_NOT_FOUND, "after the last handle: %p, %lu\n", gone,
       (unsigned long)GetLastError());

    HANDLE owned = CreateMutexW(NULL, TRUE, name);
    ok(ReleaseMutex(owned), "ReleaseMutex by the owner: %lu\n", (unsigned long)GetLastError());
    ok(!ReleaseMutex(owned) && GetLastError() == ERROR_NOT_OWNER, "a second release: %lu\n",
       (unsigned long)GetLastError());
    CloseHandle(owned);
}

START_TEST(process_handles) {
    SetLastError(0xdeadbeef);
    HANDLE none = OpenProcess(PROCESS_ALL_ACCESS, FALSE, 0xfffffff0);
    ok(none == NULL && GetLastError() == ERROR_INVALID_PARAMETER, "OpenProcess of no process: %p, %lu\n", none,
       (unsigned long)GetLastError());

    HANDLE self = OpenProcess(PROCESS_ALL_ACCESS, FALSE, GetCurrentProcessId());
    ok(self != NULL, "OpenProcess of the own process: %lu\n", (unsigned long)GetLastError());
    DWORD code = 0;
    ok(GetExitCodeProcess(self, &code) && code == STILL_ACTIVE, "exit code of a running process: %lu\n",
       (unsigned long)code);
    ok(WaitForSingleObject(self, 0) == WAIT_TIMEOUT, "a running process is not signalled\n");
    CloseHandle(self);
}

START_TEST(process_snapshot) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ok(snap != INVALID_HANDLE_VALUE, "CreateToolhelp32Snapshot: %lu\n", (unsigned long)GetLastError());
    PROCESSENTRY32W entry;
    memset(&entry, 0, sizeof(entry));
    SetLastError(0xdeadbeef);
    BOOL r = Process32FirstW(snap, &entry);
    DWORD error = GetLastError();
    ok(!r && error == ERROR_INSUFFICIENT_BUFFER, "dwSize 0: %d, error %lu\n", r, (unsigned long)error);

    entry.dwSize = sizeof(entry);
    bool foundSelf = false;
    int count = 0;
    for (BOOL more = Process32FirstW(snap, &entry); more && count < 100000; more = Process32NextW(snap, &entry)) {
        count++;
        if (entry.th32ProcessID == GetCurrentProcessId()) {
            foundSelf = true;
            // The program's file name, no folder.
            ok(Same(entry.szExeFile, W("conformance.exe")), "own entry names another file\n");
        }
    }
    ok(GetLastError() == ERROR_NO_MORE_FILES, "end of the snapshot: %lu\n", (unsigned long)GetLastError());
    ok(foundSelf, "the own process is in the snapshot (%d entries)\n", count);
    CloseHandle(snap);
}

START_TEST(user_and_environment_utf16) {
    WCHAR user[64];
    DWORD chars = 0;
    SetLastError(0xdeadbeef);
    ok(!GetUserNameW(user, &chars) && GetLastError() == ERROR_INSUFFICIENT_BUFFER, "size 0: %lu\n",
       (unsigned long)GetLastError());
    DWORD needed = chars;
    char userA[64];
    DWORD bytes = sizeof(userA);
    GetUserNameA(userA, &bytes);
    ok(needed == (DWORD)strlen(userA) + 1, "size needed %lu for \"%s\"\n", (unsigned long)needed, userA);
    chars = 64;
    ok(GetUserNameW(user, &chars) && chars == needed, "GetUserNameW: %lu\n", (unsigned long)chars);

    WCHAR out[64];
    DWORD n = ExpandEnvironmentStringsW(W("%WINSIM_NO_SUCH_VAR%-x"), out, 64);
    ok(n == 23 && Same(out, W("%WINSIM_NO_SUCH_VAR%-x")), "an unknown variable stays: %lu\n", (unsigned long)n);
    char domainA[64];
    DWORD domainLength = GetEnvironmentVariableA("USERDOMAIN", domainA, sizeof(domainA));
    n = ExpandEnvironmentStringsW(W("%USERDOMAIN%"), out, 64);
    ok(domainLength > 0 && n == domainLength + 1, "USERDOMAIN expands to %lu characters (%s)\n", (unsigned long)n,
       domainA);
    n = ExpandEnvironmentStringsW(W("%USERDOMAIN%"), out, 1);
    ok(n == domainLength + 1, "too small a buffer returns the size needed: %lu\n", (unsigned long)n);
}

START_TEST(movable_global_block) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 512);
    ok(block != NULL, "GlobalAlloc\n");
    BYTE* p = (BYTE*)GlobalLock(block);
    ok(p != NULL, "GlobalLock\n");
    bool zero = true;
    for (int i = 0; p && i < 512; i++)
        zero = zero && p[i] == 0;
    ok(zero, "GMEM_ZEROINIT gives a zero-filled block\n");
    ok(GlobalHandle(p) == block, "GlobalHandle finds the block from its pointer\n");
    ok(GlobalSize(block) == 512, "GlobalSize %lu\n", (unsigned long)GlobalSize(block));
    GlobalUnlock(block);
    ok(GlobalFree(block) == NULL, "GlobalFree\n");
}

START_TEST(registry_utf16_and_tree_deletion) {
    LPCWSTR root = W("Software\\WinsimConformance\\companion");
    SHDeleteKeyW(HKEY_CURRENT_USER, root);
    HKEY key = NULL;
    ok(RegCreateKeyExW(HKEY_CURRENT_USER, W("Software\\WinsimConformance\\companion\\a\\b"), 0, NULL, 0,
                       KEY_ALL_ACCESS, NULL, &key, NULL) == ERROR_SUCCESS,
       "RegCreateKeyExW\n");
    RegCloseKey(key);
    ok(RegOpenKeyExW(HKEY_CURRENT_USER, W("SOFTWARE\\WINSIMCONFORMANCE\\COMPANION"), 0, KEY_ALL_ACCESS, &key) ==
           ERROR_SUCCESS,
       "RegOpenKeyExW in another case\n");
    const WCHAR text[] = W("abc");
    DWORD pid = 0x1234;
    ULONGLONG wide = 0x1234;
    RegSetValueExW(key, W("Text"), 0, REG_SZ, (const BYTE*)text, sizeof(text));
    RegSetValueExW(key, W("PID"), 0, REG_DWORD, (const BYTE*)&pid, sizeof(pid));
    RegSetValueExW(key, W("Wide"), 0, REG_QWORD, (const BYTE*)&wide, sizeof(wide));

    DWORD type = 0, value = 0, size = sizeof(value);
    ok(RegQueryValueExW(key, W("pid"), NULL, &type, (BYTE*)&value, &size) == ERROR_SUCCESS && type == REG_DWORD &&
           size == 4 && value == 0x1234,
       "REG_DWORD: type %lu size %lu value %lx\n", (unsigned long)type, (unsigned long)size, (unsigned long)value);
    size = sizeof(value);
    ok(RegQueryValueExW(key, W("Wide"), NULL, &type, (BYTE*)&value, &size) == ERROR_MORE_DATA && size == 8,
       "an 8-byte value into 4 bytes: size %lu\n", (unsigned long)size);
    size = sizeof(value);
    ok(RegQueryValueExW(key, W("Text"), NULL, &type, (BYTE*)&value, &size) == ERROR_MORE_DATA && size == 8 &&
           type == REG_SZ,
       "a 3-character string into 4 bytes: size %lu\n", (unsigned long)size);
    type = 0xdeadbeef;
    ok(RegQueryValueExW(key, W("Missing"), NULL, &type, (BYTE*)&value, &size) == ERROR_FILE_NOT_FOUND,
       "a missing value\n");
    ok(RegDeleteValueW(key, W("Missing")) == ERROR_FILE_NOT_FOUND, "deleting a missing value\n");
    ok(RegDeleteValueW(key, W("TEXT")) == ERROR_SUCCESS, "deleting a value in another case\n");
    RegCloseKey(key);

    ok(SHDeleteKeyW(HKEY_CURRENT_USER, root) == ERROR_SUCCESS, "SHDeleteKeyW of a tree\n");
    ok(RegOpenKeyExW(HKEY_CURRENT_USER, root, 0, KEY_READ, &key) == ERROR_FILE_NOT_FOUND, "the tree is gone\n");
    ok(SHDeleteKeyW(HKEY_CURRENT_USER, root) == ERROR_FILE_NOT_FOUND, "SHDeleteKeyW of a missing key\n");
    RegDeleteKeyW(HKEY_CURRENT_USER, W("Software\\WinsimConformance"));
}

START_TEST(files_utf16) {
    WCHAR temp[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, temp);
    ok(n > 0 && n < MAX_PATH && temp[n - 1] == '\\', "GetTempPathW ends with a backslash\n");
    char tempA[MAX_PATH];
    ok(GetTempPathA(MAX_PATH, tempA) == n, "GetTempPathA and GetTempPathW agree in length\n");

    WCHAR dir[MAX_PATH], file[MAX_PATH];
    lstrcpyW(dir, temp);
    lstrcatW(dir, W("WinsimCompanion\\"));
    lstrcpyW(file, dir);
    lstrcatW(file, W("Tallyvue.chm"));
    CreateDirectoryW(dir, NULL);
    HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ok(h != INVALID_HANDLE_VALUE, "CreateFileW\n");
    SetLastError(0xdeadbeef);
    ok(!DeleteFileW(file) && GetLastError() == ERROR_SHARING_VIOLATION, "deleting an open file: %lu\n",
       (unsigned long)GetLastError());
    CloseHandle(h);
    SetLastError(0xdeadbeef);
    ok(!RemoveDirectoryW(dir) && GetLastError() == ERROR_DIR_NOT_EMPTY, "removing a folder with a file: %lu\n",
       (unsigned long)GetLastError());
    ok(DeleteFileW(file), "DeleteFileW\n");
    SetLastError(0xdeadbeef);
    ok(!DeleteFileW(file) && GetLastError() == ERROR_FILE_NOT_FOUND, "deleting it again: %lu\n",
       (unsigned long)GetLastError());
    ok(RemoveDirectoryW(dir), "RemoveDirectoryW with a trailing backslash: %lu\n", (unsigned long)GetLastError());
    ok(GetFileAttributesW(dir) == INVALID_FILE_ATTRIBUTES, "the folder is gone\n");
}

START_TEST(shell_desktop_folder) {
    HRESULT first = CoInitialize(NULL);
    ok(first == S_OK, "first CoInitialize: %lx\n", (unsigned long)first);
    HRESULT second = CoInitialize(NULL);
    ok(second == S_FALSE, "second CoInitialize: %lx\n", (unsigned long)second);

    IShellFolder* desktop = NULL;
    ok(SUCCEEDED(SHGetDesktopFolder(&desktop)) && desktop, "SHGetDesktopFolder\n");
    LPITEMIDLIST pidl = NULL;
    HRESULT hr = SHGetSpecialFolderLocation(NULL, CSIDL_DESKTOPDIRECTORY, &pidl);
    ok(hr == S_OK && pidl, "SHGetSpecialFolderLocation(CSIDL_DESKTOPDIRECTORY): %lx\n", (unsigned long)hr);
    WCHAR path[MAX_PATH];
    path[0] = 0;
    ok(SHGetPathFromIDListW(pidl, path), "SHGetPathFromIDListW\n");
    DWORD attributes = GetFileAttributesW(path);
    ok(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY), "the desktop is a folder\n");
    CoTaskMemFree(pidl);
    if (desktop)
        desktop->Release();
    CoUninitialize();
    CoUninitialize();
}

}  // namespace
