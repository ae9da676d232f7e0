// tavq: removes the monitoring application Tallyvue (process, shortcut, autostart value, settings, files) for the current user.
#pragma once
#include <windows.h>

// The library's instance handle, recorded by DllMain; used to load the string table.
extern HINSTANCE g_hModule;

// Base name of the application's instance mutex; the user's domain and name follow it.
extern const WCHAR kInstanceBaseName[];

// Part of the removal, exposed for the tests of each step.
// The user-scoped name in a locked, zero-filled movable global block of 256 characters; the caller releases
// it (GlobalHandle, GlobalUnlock, GlobalFree). Without the user name: the base alone. NULL when out of memory.
LPWSTR BuildInstanceName(LPCWSTR base);
// 1 when the application's mutex exists for this user, else 0.
int IsMonitorRunning();
// The process-wide desktop path buffer; left as it was when the shell cannot tell the folder.
LPWSTR GetDesktopDirectory();
// Empties the desktop path buffer, as a freshly mapped library has it.
void ClearDesktopDirectory();
void DeleteDesktopShortcut();
// What is known of a process's program: its file name, that no such process runs, or nothing (no process
// list this Windows offers could be read).
enum ImageLookup { kImageFound, kNoSuchProcess, kImageUnknown };
// The file name part of the program process `pid` runs, in `name` of `capacity` characters when found.
ImageLookup ProcessImageName(DWORD pid, LPWSTR name, int capacity);
void RemoveProgramFolder();

// The library entry: records the instance handle on every call.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

// The exported entry points: 1 removal carried out, 0 the application runs and could not be ended.
extern "C" {
int WINAPIV Delete(void);
int WINAPI run(HWND window, HINSTANCE instance, LPSTR commandLine, int show);
int WINAPI runW(HWND window, HINSTANCE instance, LPWSTR commandLine, int show);
}
