// tavq's text calls: the UTF-16 functions on NT, their 8-bit twins on Windows 9x.
#include "calls.h"
#include "handles.h"
#include "wide.h"

namespace tavq {

namespace {

// Bytes of an ANSI path: a double-byte code page may need two per character.
const int kAnsiChars = 2 * MAX_PATH;
// A key name is at most 255 characters; deeper or wider trees than these are not the application's.
const int kKeyNameChars = 256;
const int kMaxKeyDepth = 32;
const int kMaxSubKeys = 4096;

// `text` in the ANSI code page; false when it does not fit or a character has no form there (a call on
// some other, similar name must not be made).
bool ToAnsi(LPCWSTR text, char* out, int capacity) {
    BOOL lossy = FALSE;
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, out, capacity, NULL, &lossy);
    return bytes > 0 && !lossy;
}

// `text` from the ANSI code page: the characters written with the terminator, 0 when it does not fit.
int FromAnsi(const char* text, LPWSTR out, int capacity) {
    int chars = MultiByteToWideChar(CP_ACP, 0, text, -1, out, capacity);
    if (chars <= 0 && capacity > 0)
        out[0] = 0;
    return chars;
}

LONG EnumKey(HKEY key, DWORD index, LPWSTR name, DWORD capacity) {
    if (!AnsiSystem()) {
        DWORD chars = capacity;
        return RegEnumKeyExW(key, index, name, &chars, NULL, NULL, NULL, NULL);
    }
    char ansi[2 * kKeyNameChars];
    DWORD bytes = sizeof(ansi);
    LONG result = RegEnumKeyExA(key, index, ansi, &bytes, NULL, NULL, NULL, NULL);
    if (result == ERROR_SUCCESS && FromAnsi(ansi, name, (int)capacity) == 0)
        return ERROR_MORE_DATA;
    return result;
}

LONG DeleteKey(HKEY parent, LPCWSTR subKey) {
    if (!AnsiSystem())
        return RegDeleteKeyW(parent, subKey);
    char ansi[kAnsiChars];
    return ToAnsi(subKey, ansi, sizeof(ansi)) ? RegDeleteKeyA(parent, ansi) : ERROR_FILE_NOT_FOUND;
}

// The tree below `subKey`, deepest keys first (NT deletes only keys without sub-keys). A sub-key that
// cannot be deleted is stepped over, so the walk ends.
LONG DeleteTreeBelow(HKEY parent, LPCWSTR subKey, int depth) {
    if (depth > kMaxKeyDepth)
        return ERROR_ACCESS_DENIED;
    HKEY opened = NULL;
    LONG result = OpenKey(parent, subKey, KEY_ALL_ACCESS, &opened);
    if (result != ERROR_SUCCESS)
        return result;
    CKeyW key;
    key.Attach(opened);
    DWORD index = 0;
    for (int i = 0; i < kMaxSubKeys; i++) {
        WCHAR name[kKeyNameChars];
        LONG found = EnumKey(key, index, name, kKeyNameChars);
        if (found == ERROR_NO_MORE_ITEMS)
            break;
        if (found != ERROR_SUCCESS || DeleteTreeBelow(key, name, depth + 1) != ERROR_SUCCESS)
            index++;
    }
    key.Close();
    return DeleteKey(parent, subKey);
}

typedef LONG(WINAPI* DeleteKeyTreeFn)(HKEY parent, LPCWSTR subKey);

}  // namespace

bool AnsiSystem() {
    return (GetVersion() & 0x80000000) != 0;
}

int TextLength(LPCWSTR text) {
    int n = 0;
    while (text && text[n])
        n++;
    return n;
}

void CopyText(LPWSTR to, LPCWSTR from, int capacity) {
    if (capacity <= 0)
        return;
    int n = 0;
    for (; n < capacity - 1 && from[n]; n++)
        to[n] = from[n];
    to[n] = 0;
}

bool AppendText(LPWSTR buffer, int capacity, LPCWSTR tail) {
    int used = TextLength(buffer);
    if (used + TextLength(tail) >= capacity)
        return false;
    CopyText(buffer + used, tail, capacity - used);
    return true;
}

int LoadText(HINSTANCE module, UINT id, LPWSTR buffer, int capacity) {
    if (!AnsiSystem())
        return LoadStringW(module, id, buffer, capacity);
    char ansi[2 * 256];
    if (LoadStringA(module, id, ansi, sizeof(ansi)) == 0)
        return 0;
    int chars = FromAnsi(ansi, buffer, capacity);
    return chars > 0 ? chars - 1 : 0;
}

LONG OpenKey(HKEY parent, LPCWSTR subKey, REGSAM access, HKEY* key) {
    if (!AnsiSystem())
        return RegOpenKeyExW(parent, subKey, 0, access, key);
    char ansi[kAnsiChars];
    if (!ToAnsi(subKey, ansi, sizeof(ansi)))
        return ERROR_FILE_NOT_FOUND;
    return RegOpenKeyExA(parent, ansi, 0, access, key);
}

LONG QueryBinaryValue(HKEY key, LPCWSTR name, DWORD* type, BYTE* data, DWORD* size) {
    if (!AnsiSystem())
        return RegQueryValueExW(key, name, NULL, type, data, size);
    char ansi[kAnsiChars];
    if (!ToAnsi(name, ansi, sizeof(ansi)))
        return ERROR_FILE_NOT_FOUND;
    return RegQueryValueExA(key, ansi, NULL, type, data, size);
}

LONG DeleteValue(HKEY key, LPCWSTR name) {
    if (!AnsiSystem())
        return RegDeleteValueW(key, name);
    char ansi[kAnsiChars];
    if (!ToAnsi(name, ansi, sizeof(ansi)))
        return ERROR_FILE_NOT_FOUND;
    return RegDeleteValueA(key, ansi);
}

LONG DeleteKeyTree(HKEY parent, LPCWSTR subKey) {
    // The shell's light-weight library has the call from version 4.71 (Internet Explorer 4) on; a bare
    // NT 4.0 lacks it, and Windows 9x's copy may stub the UTF-16 one: the same walk is done here then.
    if (!AnsiSystem()) {
        // From the system folder only: a library of that name elsewhere on the search path is not the shell's.
        char path[MAX_PATH + 16];
        UINT length = GetSystemDirectoryA(path, MAX_PATH);
        HMODULE shlwapi = NULL;
        if (length > 0 && length < MAX_PATH) {
            lstrcpyA(path + length, "\\shlwapi.dll");
            shlwapi = LoadLibraryA(path);
        }
        FARPROC proc = shlwapi ? GetProcAddress(shlwapi, "SHDeleteKeyW") : NULL;
        DeleteKeyTreeFn shellDelete = reinterpret_cast<DeleteKeyTreeFn>(reinterpret_cast<void (*)(void)>(proc));
        LONG result = shellDelete ? shellDelete(parent, subKey) : ERROR_CALL_NOT_IMPLEMENTED;
        if (shlwapi)
            FreeLibrary(shlwapi);
        if (shellDelete)
            return result;
    }
    return DeleteTreeBelow(parent, subKey, 0);
}

HANDLE OpenNamedMutex(DWORD access, LPCWSTR name) {
    if (!AnsiSystem())
        return OpenMutexW(access, FALSE, name);
    char ansi[kAnsiChars];
    if (!ToAnsi(name, ansi, sizeof(ansi))) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return NULL;
    }
    return OpenMutexA(access, FALSE, ansi);
}

BOOL UserName(LPWSTR buffer, DWORD* chars) {
    if (!AnsiSystem())
        return GetUserNameW(buffer, chars);
    char ansi[kAnsiChars];
    DWORD bytes = sizeof(ansi);
    if (!GetUserNameA(ansi, &bytes))
        return FALSE;
    int written = FromAnsi(ansi, buffer, (int)*chars);
    if (written <= 0)
        return FALSE;
    *chars = (DWORD)written;
    return TRUE;
}

DWORD ExpandEnvironment(LPCWSTR text, LPWSTR buffer, DWORD capacity) {
    if (!AnsiSystem())
        return ExpandEnvironmentStringsW(text, buffer, capacity);
    char in[kAnsiChars];
    char out[kAnsiChars];
    if (!ToAnsi(text, in, sizeof(in)))
        return 0;
    DWORD bytes = ExpandEnvironmentStringsA(in, out, sizeof(out));
    if (bytes == 0 || bytes > sizeof(out))
        return 0;
    int chars = FromAnsi(out, buffer, (int)capacity);
    // Too long for the caller's buffer: say so with a size past it.
    return chars > 0 ? (DWORD)chars : capacity + 1;
}

BOOL PathFromIdList(LPCITEMIDLIST list, LPWSTR path) {
    if (!AnsiSystem())
        return SHGetPathFromIDListW(list, path);
    char ansi[kAnsiChars];
    if (!SHGetPathFromIDListA(list, ansi))
        return FALSE;
    return FromAnsi(ansi, path, MAX_PATH) > 0;
}

BOOL RemoveFile(LPCWSTR path) {
    if (!AnsiSystem())
        return DeleteFileW(path);
    char ansi[kAnsiChars];
    return ToAnsi(path, ansi, sizeof(ansi)) && DeleteFileA(ansi);
}

BOOL RemoveFolder(LPCWSTR path) {
    if (!AnsiSystem())
        return RemoveDirectoryW(path);
    char ansi[kAnsiChars];
    return ToAnsi(path, ansi, sizeof(ansi)) && RemoveDirectoryA(ansi);
}

DWORD TempPath(DWORD capacity, LPWSTR buffer) {
    if (!AnsiSystem())
        return GetTempPathW(capacity, buffer);
    char ansi[kAnsiChars];
    DWORD bytes = GetTempPathA(sizeof(ansi), ansi);
    if (bytes == 0 || bytes >= sizeof(ansi))
        return 0;
    int chars = FromAnsi(ansi, buffer, (int)capacity);
    return chars > 0 ? (DWORD)(chars - 1) : capacity + 1;
}

}  // namespace tavq
