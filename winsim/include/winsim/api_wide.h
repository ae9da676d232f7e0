// The UTF-16 (W) calls of kernel32, advapi32 and user32 that the companion library makes, and GlobalHandle.
// Windows 9x exports most of them only as stubs (ERROR_CALL_NOT_IMPLEMENTED); the simulation does too.
#pragma once
#include <winsim/wintypes.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- strings ----
int WINAPI lstrlenW(LPCWSTR lpString);
LPWSTR WINAPI lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2);
LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength);
LPWSTR WINAPI lstrcatW(LPWSTR lpString1, LPCWSTR lpString2);
int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2);
// %s (a WCHAR string), %d, %u, %x and %%; at most 1024 characters including the NUL, as user32's.
int WINAPIV wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...);

// ---- process facts ----
// *pcbBuffer is in characters: out the length including NUL, or (ERROR_INSUFFICIENT_BUFFER) the size needed.
BOOL WINAPI GetUserNameW(LPWSTR lpBuffer, LPDWORD pcbBuffer);
// Returns the characters needed including the NUL; unknown variables stay as %NAME%. Too small a
// buffer: the size needed, and the buffer is not to be used.
DWORD WINAPI ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize);
DWORD WINAPI GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer);

// ---- global memory ----
// The handle of the block whose locked pointer is `pMem`, or NULL (ERROR_INVALID_HANDLE).
HGLOBAL WINAPI GlobalHandle(LPCVOID pMem);

// ---- files ----
BOOL WINAPI DeleteFileW(LPCWSTR lpFileName);
BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName);
BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName);
HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// ---- registry ----
LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition);
// Strings are stored and returned as UTF-16 with their NUL; other types byte for byte. lpData NULL:
// *lpcbData gets the size; too small: ERROR_MORE_DATA and the size.
LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData);
LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                           DWORD cbData);
LONG WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
LONG WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
LONG WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                          LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);

// ---- message boxes ----
// As MessageBoxA: the scripted user answers; the record keeps the texts in the ANSI code page and in UTF-8.
int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);

#ifdef __cplusplus
}
#endif
