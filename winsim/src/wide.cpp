// The UTF-16 calls of the simulated machine: strings, user and environment, files, registry and message boxes.
// Names and paths go through the ANSI code page to the same machine state the A calls use.
#include "k_internal.h"
#include "w_internal.h"

#include <windows.h>
#include <winsim/codepage.h>

#include <stdarg.h>
#include <string.h>

using winsim::Current;

namespace {

void SetError(DWORD e) {
    Current().lastError = e;
}

std::u16string Wide(LPCWSTR s) {
    return s ? std::u16string(s) : std::u16string();
}

std::string Ansi(LPCWSTR s) {
    return winsim::ToAnsi(Wide(s), Current().system.acp);
}

std::u16string FromAnsi(const std::string& s) {
    return winsim::FromAnsi(s, Current().system.acp);
}

bool IsString(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Copies `value` the way the sized W calls do: the length without NUL when it fits, else the size needed.
DWORD CopyOutW(const std::u16string& value, LPWSTR buffer, DWORD size) {
    DWORD needed = DWORD(value.size() + 1);
    if (!buffer || size < needed)
        return needed;
    memcpy(buffer, value.c_str(), needed * sizeof(WCHAR));
    return needed - 1;
}

std::string KeyArg(HKEY hKey, LPCWSTR sub) {
    const winsim::Registry::OpenKey* o = Current().registry.Lookup(hKey);
    std::string base = o ? o->path : "<invalid key>";
    if (sub && *sub)
        base += "\\" + Ansi(sub);
    return base;
}

#define REG_FAULT(api, arg) SIM_FAULT(api, arg, (LONG)::winsim::Current().lastError)

}  // namespace

extern "C" {

// ---- strings ----

int WINAPI lstrlenW(LPCWSTR lpString) {
    return lpString ? int(std::char_traits<char16_t>::length(lpString)) : 0;
}

LPWSTR WINAPI lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2) {
    if (!lpString1 || !lpString2)
        return NULL;
    memmove(lpString1, lpString2, (size_t(lstrlenW(lpString2)) + 1) * sizeof(WCHAR));
    return lpString1;
}

LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength) {
    if (winsim::StubOn9x())
        return NULL;
    if (!lpString1 || !lpString2 || iMaxLength <= 0)
        return lpString1;
    int n = 0;
    for (; n < iMaxLength - 1 && lpString2[n]; n++)
        lpString1[n] = lpString2[n];
    lpString1[n] = 0;
    return lpString1;
}

LPWSTR WINAPI lstrcatW(LPWSTR lpString1, LPCWSTR lpString2) {
    if (!lpString1 || !lpString2)
        return NULL;
    lstrcpyW(lpString1 + lstrlenW(lpString1), lpString2);
    return lpString1;
}

int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) {
    if (winsim::StubOn9x())
        return 0;
    std::u16string a = Wide(lpString1), b = Wide(lpString2);
    auto fold = [](char16_t c) { return c >= 'a' && c <= 'z' ? char16_t(c - 32) : c; };
    for (size_t i = 0;; i++) {
        char16_t x = i < a.size() ? fold(a[i]) : 0, y = i < b.size() ? fold(b[i]) : 0;
        if (x != y)
            return x < y ? -1 : 1;
        if (!x)
            return 0;
    }
}

int WINAPIV wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...) {
    if (winsim::StubOn9x())
        return 0;
    std::u16string out;
    va_list args;
    va_start(args, lpFmt);
    for (const WCHAR* p = lpFmt; p && *p; p++) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        p++;
        if (!*p)
            break;
        char conversion = char(*p);
        if (conversion == 's') {
            out += Wide(va_arg(args, LPCWSTR));
        } else if (conversion == 'd' || conversion == 'u' || conversion == 'x') {
            char num[32];
            if (conversion == 'd')
                snprintf(num, sizeof num, "%d", va_arg(args, int));
            else
                snprintf(num, sizeof num, conversion == 'u' ? "%u" : "%x", va_arg(args, unsigned));
            for (const char* c = num; *c; c++)
                out += char16_t(*c);
        } else {
            out += *p;
        }
    }
    va_end(args);
    // user32 writes at most 1024 characters including the NUL.
    if (out.size() > 1023)
        out.resize(1023);
    memcpy(lpOut, out.c_str(), (out.size() + 1) * sizeof(WCHAR));
    return int(out.size());
}

// ---- process facts ----

BOOL WINAPI GetUserNameW(LPWSTR lpBuffer, LPDWORD pcbBuffer) {
    if (winsim::StubOn9x())
        return FALSE;
    SIM_FAULT("GetUserNameW", "", FALSE);
    if (!pcbBuffer) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string name = FromAnsi(Current().system.userName);
    DWORD needed = DWORD(name.size() + 1);
    if (!lpBuffer || *pcbBuffer < needed) {
        *pcbBuffer = needed;
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(lpBuffer, name.c_str(), needed * sizeof(WCHAR));
    *pcbBuffer = needed;
    return TRUE;
}

DWORD WINAPI ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize) {
    if (winsim::StubOn9x())
        return 0;
    SIM_FAULT("ExpandEnvironmentStringsW", Ansi(lpSrc), 0);
    if (!lpSrc) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string src = Ansi(lpSrc);
    DWORD needed = ExpandEnvironmentStringsA(src.c_str(), NULL, 0);
    std::string expanded(needed, '\0');
    ExpandEnvironmentStringsA(src.c_str(), &expanded[0], needed);
    std::u16string out = FromAnsi(expanded.c_str());
    DWORD size = DWORD(out.size() + 1);
    if (lpDst && nSize >= size)
        memcpy(lpDst, out.c_str(), size * sizeof(WCHAR));
    return size;
}

DWORD WINAPI GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer) {
    if (winsim::StubOn9x())
        return 0;
    SIM_FAULT("GetTempPathW", "", 0);
    return CopyOutW(FromAnsi(Current().system.tempDir), lpBuffer, nBufferLength);
}

HGLOBAL WINAPI GlobalHandle(LPCVOID pMem) {
    SIM_FAULT("GlobalHandle", "", NULL);
    void* block = const_cast<void*>(pMem);
    if (!block || !Current().system.globals.Owns(block)) {
        SetError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    return block;
}

// ---- files ----

BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
    if (winsim::StubOn9x())
        return FALSE;
    SIM_FAULT("DeleteFileW", Ansi(lpFileName), FALSE);
    return DeleteFileA(Ansi(lpFileName).c_str());
}

BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName) {
    if (winsim::StubOn9x())
        return FALSE;
    SIM_FAULT("RemoveDirectoryW", Ansi(lpPathName), FALSE);
    return RemoveDirectoryA(Ansi(lpPathName).c_str());
}

BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    SIM_FAULT("CreateDirectoryW", Ansi(lpPathName), FALSE);
    return CreateDirectoryA(Ansi(lpPathName).c_str(), lpSecurityAttributes);
}

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
    SIM_FAULT("GetFileAttributesW", Ansi(lpFileName), INVALID_FILE_ATTRIBUTES);
    return GetFileAttributesA(Ansi(lpFileName).c_str());
}

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    SIM_FAULT("CreateFileW", Ansi(lpFileName), INVALID_HANDLE_VALUE);
    return CreateFileA(Ansi(lpFileName).c_str(), dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                       dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
}

// ---- registry ----

LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    if (winsim::StubOn9x())
        return ERROR_CALL_NOT_IMPLEMENTED;
    REG_FAULT("RegOpenKeyExW", KeyArg(hKey, lpSubKey));
    return RegOpenKeyExA(hKey, lpSubKey ? Ansi(lpSubKey).c_str() : NULL, ulOptions, samDesired, phkResult);
}

LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
    REG_FAULT("RegCreateKeyExW", KeyArg(hKey, lpSubKey));
    return RegCreateKeyExA(hKey, lpSubKey ? Ansi(lpSubKey).c_str() : NULL, Reserved, NULL, dwOptions, samDesired,
                           lpSecurityAttributes, phkResult, lpdwDisposition);
}

LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
    if (winsim::StubOn9x())
        return ERROR_CALL_NOT_IMPLEMENTED;
    REG_FAULT("RegQueryValueExW", KeyArg(hKey, lpValueName));
    if ((lpData && !lpcbData) || lpReserved)
        return ERROR_INVALID_PARAMETER;
    const winsim::Registry::OpenKey* o = Current().registry.Lookup(hKey);
    if (!o)
        return ERROR_INVALID_HANDLE;
    if (o->key->deleted)
        return ERROR_KEY_DELETED;
    if (lpType)
        *lpType = REG_NONE;
    winsim::RegValue* v = o->key->FindValue(Ansi(lpValueName));
    if (!v)
        return ERROR_FILE_NOT_FOUND;
    if (lpType)
        *lpType = v->type;
    std::string bytes = v->data;
    if (IsString(v->type)) {
        std::u16string text = FromAnsi(v->data);
        bytes.assign(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
    }
    DWORD len = DWORD(bytes.size());
    LONG result = ERROR_SUCCESS;
    if (lpData) {
        if (len > *lpcbData)
            result = ERROR_MORE_DATA;
        else
            memcpy(lpData, bytes.data(), len);
    }
    if (lpcbData)
        *lpcbData = len;
    return result;
}

LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) {
    REG_FAULT("RegSetValueExW", KeyArg(hKey, lpValueName));
    std::string name = Ansi(lpValueName);
    if (lpData && IsString(dwType)) {
        std::u16string text(reinterpret_cast<const char16_t*>(lpData), cbData / sizeof(WCHAR));
        std::string ansi = winsim::ToAnsi(text, Current().system.acp);
        return RegSetValueExA(hKey, name.c_str(), Reserved, dwType, reinterpret_cast<const BYTE*>(ansi.c_str()),
                              DWORD(ansi.size()));
    }
    return RegSetValueExA(hKey, name.c_str(), Reserved, dwType, lpData, cbData);
}

LONG WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    if (winsim::StubOn9x())
        return ERROR_CALL_NOT_IMPLEMENTED;
    REG_FAULT("RegDeleteValueW", KeyArg(hKey, lpValueName));
    return RegDeleteValueA(hKey, Ansi(lpValueName).c_str());
}

LONG WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                          LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    if (winsim::StubOn9x())
        return ERROR_CALL_NOT_IMPLEMENTED;
    REG_FAULT("RegEnumKeyExW", KeyArg(hKey, NULL));
    if (!lpName || !lpcchName || lpReserved || lpClass)
        return ERROR_INVALID_PARAMETER;
    char name[1024];
    DWORD bytes = sizeof(name);
    LONG result = RegEnumKeyExA(hKey, dwIndex, name, &bytes, NULL, NULL, NULL, lpftLastWriteTime);
    if (result != ERROR_SUCCESS)
        return result;
    std::u16string wide = FromAnsi(name);
    // Too small a buffer leaves the name and the count as they were.
    if (wide.size() >= *lpcchName)
        return ERROR_MORE_DATA;
    memcpy(lpName, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    *lpcchName = DWORD(wide.size());
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (winsim::StubOn9x())
        return ERROR_CALL_NOT_IMPLEMENTED;
    REG_FAULT("RegDeleteKeyW", KeyArg(hKey, lpSubKey));
    return RegDeleteKeyA(hKey, lpSubKey ? Ansi(lpSubKey).c_str() : NULL);
}

// ---- message boxes ----

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    SIM_FAULT("MessageBoxW", Ansi(lpText), 0);
    winsim::MessageBoxRecord box;
    box.owner = hWnd;
    box.text = Ansi(lpText);
    box.caption = lpCaption ? Ansi(lpCaption) : "Error";
    box.textUtf8 = winsim::ToAnsi(Wide(lpText), 65001);
    box.captionUtf8 = lpCaption ? winsim::ToAnsi(Wide(lpCaption), 65001) : "Error";
    box.type = uType;
    winsim::UiState& s = winsim::wm::S();
    s.boxes.push_back(box);
    size_t at = s.boxes.size() - 1;
    int answer = Current().user.AnswerMessageBox(box);
    winsim::wm::S().boxes[at].answer = answer;
    return answer;
}

}  // extern "C"
