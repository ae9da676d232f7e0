// Modules, resources, string tables, icons and cursors (kernel32 and user32) as the simulated machine provides them.
#pragma once
#include <winsim/wintypes.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- resource types ----
#define RT_CURSOR MAKEINTRESOURCEA(1)
#define RT_BITMAP MAKEINTRESOURCEA(2)
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_MENU MAKEINTRESOURCEA(4)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_FONTDIR MAKEINTRESOURCEA(7)
#define RT_FONT MAKEINTRESOURCEA(8)
#define RT_ACCELERATOR MAKEINTRESOURCEA(9)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_MESSAGETABLE MAKEINTRESOURCEA(11)
#define RT_GROUP_CURSOR MAKEINTRESOURCEA(12)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)
#define RT_VERSION MAKEINTRESOURCEA(16)
#define RT_DLGINCLUDE MAKEINTRESOURCEA(17)
#define RT_ANICURSOR MAKEINTRESOURCEA(21)
#define RT_ANIICON MAKEINTRESOURCEA(22)
#define RT_MANIFEST MAKEINTRESOURCEA(24)

// ---- modules ----
#define DONT_RESOLVE_DLL_REFERENCES 0x00000001
#define LOAD_LIBRARY_AS_DATAFILE 0x00000002
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008

// A bare name gets ".dll" unless it has an extension or ends with '.'; it is searched in the program's
// folder, the current folder, the system, 16-bit system and Windows folders, then PATH. Not found:
// NULL with ERROR_MOD_NOT_FOUND; a file that is no module: ERROR_BAD_EXE_FORMAT. Every success adds a
// reference that FreeLibrary takes away.
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
// Flags 0 or LOAD_LIBRARY_AS_DATAFILE (resources only; a module already loaded is shared instead).
HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
// The module stays loaded until its reference count reaches 0; an unknown handle: FALSE, ERROR_MOD_NOT_FOUND.
BOOL WINAPI FreeLibrary(HMODULE hLibModule);
// NULL: the program's module. A loaded module by base name (".dll" implied) or path; adds no reference.
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
// Returns the length copied without NUL. Too small a buffer returns nSize: Windows XP copies nSize
// characters without NUL and leaves the last error alone; Vista and later copy nSize-1 characters and a
// NUL and set ERROR_INSUFFICIENT_BUFFER (Wine: nSize characters without NUL, ERROR_INSUFFICIENT_BUFFER).
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
// By name or by ordinal (MAKEINTRESOURCE); missing: NULL with ERROR_PROC_NOT_FOUND.
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);

// ---- resources ----
// lpName/lpType: MAKEINTRESOURCE ids, "#123" or names (case-insensitive). NULL hModule: the program.
// Errors: ERROR_RESOURCE_TYPE_NOT_FOUND, ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_RESOURCE_LANG_NOT_FOUND, and
// ERROR_RESOURCE_DATA_NOT_FOUND for a module without resources or a handle that is no module.
HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType);
HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
LPVOID WINAPI LockResource(HGLOBAL hResData);
DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);

// Copies at most cchBufferMax-1 bytes of the string in the ANSI code page, never half of a double-byte
// character, plus a NUL, and returns the bytes copied. A missing string gives 0 and an empty buffer;
// cchBufferMax 0 returns -1. NULL hInstance: the program's module.
int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);
// cchBufferMax 0: *(LPCWSTR*)lpBuffer receives a read-only pointer to the string (not NUL-terminated)
// and its length is returned. cchBufferMax 1 leaves the buffer untouched and returns 0.
int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);

// ---- icons and cursors ----
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDI_HAND MAKEINTRESOURCEA(32513)
#define IDI_QUESTION MAKEINTRESOURCEA(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCEA(32515)
#define IDI_ASTERISK MAKEINTRESOURCEA(32516)
#define IDI_WINLOGO MAKEINTRESOURCEA(32517)
#define IDI_WARNING IDI_EXCLAMATION
#define IDI_ERROR IDI_HAND
#define IDI_INFORMATION IDI_ASTERISK

#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_UPARROW MAKEINTRESOURCEA(32516)
#define IDC_SIZE MAKEINTRESOURCEA(32640)
#define IDC_ICON MAKEINTRESOURCEA(32641)
#define IDC_SIZENWSE MAKEINTRESOURCEA(32642)
#define IDC_SIZENESW MAKEINTRESOURCEA(32643)
#define IDC_SIZEWE MAKEINTRESOURCEA(32644)
#define IDC_SIZENS MAKEINTRESOURCEA(32645)
#define IDC_SIZEALL MAKEINTRESOURCEA(32646)
#define IDC_NO MAKEINTRESOURCEA(32648)
#define IDC_HAND MAKEINTRESOURCEA(32649)
#define IDC_APPSTARTING MAKEINTRESOURCEA(32650)
#define IDC_HELP MAKEINTRESOURCEA(32651)

// Icons and cursors from LoadIconA/LoadCursorA are shared: the same handle for the same resource.
// NULL hInstance: the system's IDI_*/IDC_* ones. Missing: NULL (Wine: ERROR_RESOURCE_TYPE_NOT_FOUND).
HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName);
HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName);
// Shared icons stay valid: TRUE and nothing happens; an unknown handle: FALSE.
BOOL WINAPI DestroyIcon(HICON hIcon);
// Returns the previous cursor (NULL when none was set yet).
HCURSOR WINAPI SetCursor(HCURSOR hCursor);
HCURSOR WINAPI GetCursor(void);
BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon);

#define LoadLibrary LoadLibraryA
#define LoadLibraryEx LoadLibraryExA
#define GetModuleHandle GetModuleHandleA
#define GetModuleFileName GetModuleFileNameA
#define FindResource FindResourceA
#define LoadString LoadStringA
#define LoadIcon LoadIconA
#define LoadCursor LoadCursorA

#ifdef __cplusplus
}
#endif

// Reasons a library's DllMain is called with.
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
