// The system calls tavq makes with text, and its own string helpers. NT runs the UTF-16 functions; Windows
// 95/98/Me exports them only as stubs that fail, so there the 8-bit twins run with the text converted to the
// ANSI code page. Each call returns what the UTF-16 function returns, in its units (characters).
#pragma once
#include <windows.h>
#include <shlobj.h>

namespace tavq {

// True on Windows 95, 98 and Me.
bool AnsiSystem();

// String helpers that need no system call (Windows 9x's lstrcpyW, lstrcmpiW and wsprintfW are stubs).
int TextLength(LPCWSTR text);
// Copies at most `capacity` - 1 characters and a terminator, as lstrcpynW does.
void CopyText(LPWSTR to, LPCWSTR from, int capacity);
// Appends `tail` to `buffer` of `capacity` characters; false, with the buffer unchanged, when it does not fit.
bool AppendText(LPWSTR buffer, int capacity, LPCWSTR tail);

// LoadStringW: the characters copied, 0 when the string is missing.
int LoadText(HINSTANCE module, UINT id, LPWSTR buffer, int capacity);
// RegOpenKeyExW, RegQueryValueExW (for a value that is no string: the data is passed as it is),
// RegDeleteValueW; on failure the Win32 code.
LONG OpenKey(HKEY parent, LPCWSTR subKey, REGSAM access, HKEY* key);
LONG QueryBinaryValue(HKEY key, LPCWSTR name, DWORD* type, BYTE* data, DWORD* size);
LONG DeleteValue(HKEY key, LPCWSTR name);
// Deletes the key with all its sub-keys and values, as SHDeleteKeyW does.
LONG DeleteKeyTree(HKEY parent, LPCWSTR subKey);
// OpenMutexW.
HANDLE OpenNamedMutex(DWORD access, LPCWSTR name);
// GetUserNameW: *chars in, the characters written with the terminator out.
BOOL UserName(LPWSTR buffer, DWORD* chars);
// ExpandEnvironmentStringsW: the characters needed with the terminator, 0 on failure.
DWORD ExpandEnvironment(LPCWSTR text, LPWSTR buffer, DWORD capacity);
// SHGetPathFromIDListW into a buffer of MAX_PATH characters.
BOOL PathFromIdList(LPCITEMIDLIST list, LPWSTR path);
// DeleteFileW, RemoveDirectoryW.
BOOL RemoveFile(LPCWSTR path);
BOOL RemoveFolder(LPCWSTR path);
// GetTempPathW: the length without the terminator, or the size needed; 0 on failure.
DWORD TempPath(DWORD capacity, LPWSTR buffer);

}  // namespace tavq
