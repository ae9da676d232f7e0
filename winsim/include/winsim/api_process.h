// Processes, named mutexes, waits and the process snapshot (kernel32) as the simulated machine provides them.
#pragma once
#include <winsim/wintypes.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MUTANT_QUERY_STATE 0x0001
#define MUTEX_ALL_ACCESS 0x1F0001
#define PROCESS_TERMINATE 0x0001
#define PROCESS_QUERY_INFORMATION 0x0400
#define PROCESS_ALL_ACCESS 0x1F0FFF
#define STILL_ACTIVE 259
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000
#define WAIT_ABANDONED 0x00000080
#define WAIT_TIMEOUT 0x00000102
#define WAIT_FAILED 0xFFFFFFFF

// Creates or opens a named mutex (ERROR_ALREADY_EXISTS when it existed; names are case-sensitive).
HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName);
// A missing mutex: NULL with ERROR_FILE_NOT_FOUND; one the caller may not open: ERROR_ACCESS_DENIED.
HANDLE WINAPI OpenMutexW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName);
// FALSE with ERROR_NOT_OWNER when the caller does not own the mutex.
BOOL WINAPI ReleaseMutex(HANDLE hMutex);

// An unknown process id: NULL with ERROR_INVALID_PARAMETER; a protected one: ERROR_ACCESS_DENIED.
HANDLE WINAPI OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);
// Starts the end of the process; it has ended once its exit has taken its time (WaitForSingleObject).
BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode);
BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
// A process handle is signalled when the process has ended; the wait advances the virtual clock. A mutex
// is acquired when nobody else holds it. INFINITE on something that never comes aborts the test.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

// ---- tool help: the process snapshot ----
#define TH32CS_SNAPPROCESS 0x00000002
typedef struct tagPROCESSENTRY32W {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    WCHAR szExeFile[MAX_PATH];
} PROCESSENTRY32W, *PPROCESSENTRY32W, *LPPROCESSENTRY32W;

// The running processes, the caller first; szExeFile is the program's file name. dwSize must be set
// (smaller than the structure: ERROR_INSUFFICIENT_BUFFER, as Wine); past the last one: FALSE with ERROR_NO_MORE_FILES.
HANDLE WINAPI CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID);
BOOL WINAPI Process32FirstW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);
BOOL WINAPI Process32NextW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);

#ifdef __cplusplus
}
#endif
