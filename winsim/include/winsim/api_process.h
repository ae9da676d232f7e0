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
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000
// The value the headers give for Windows NT 4 to XP (_WIN32_WINNT below 0x0600), which the 32-bit build
// uses; Vista's headers make it 0x1FFFFF, which NT 4, 2000 and XP refuse.
#define PROCESS_ALL_ACCESS 0x1F0FFF
#define THREAD_ALL_ACCESS 0x1F03FF
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
// The name in the ANSI code page (Windows 9x, where OpenMutexW is a stub).
HANDLE WINAPI OpenMutexA(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCSTR lpName);
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

typedef struct tagPROCESSENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    CHAR szExeFile[MAX_PATH];
} PROCESSENTRY32, *PPROCESSENTRY32, *LPPROCESSENTRY32;

// The running processes, the caller first; szExeFile is the program's file name. dwSize must be set
// (smaller than the structure: ERROR_INSUFFICIENT_BUFFER, as Wine); past the last one: FALSE with ERROR_NO_MORE_FILES.
HANDLE WINAPI CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID);
BOOL WINAPI Process32FirstW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);
BOOL WINAPI Process32NextW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);
// The 8-bit entries: the program's name in the ANSI code page; Windows 9x gives its full path.
BOOL WINAPI Process32First(HANDLE hSnapshot, LPPROCESSENTRY32 lppe);
BOOL WINAPI Process32Next(HANDLE hSnapshot, LPPROCESSENTRY32 lppe);

// ---- ntdll: the system's process list (NT only) ----
typedef LONG NTSTATUS;
#define STATUS_SUCCESS ((NTSTATUS)0x00000000)
#define STATUS_INFO_LENGTH_MISMATCH ((NTSTATUS)0xC0000004)
#define STATUS_INVALID_INFO_CLASS ((NTSTATUS)0xC0000003)
#define SystemProcessInformation 5
typedef struct _UNICODE_STRING {
    USHORT Length;
    USHORT MaximumLength;
    WCHAR* Buffer;
} UNICODE_STRING;
// The documented first fields of each entry; the real entries go on with thread records after them.
typedef struct _SYSTEM_PROCESS_INFORMATION {
    ULONG NextEntryOffset;
    ULONG NumberOfThreads;
    BYTE Reserved1[48];
    UNICODE_STRING ImageName;
    LONG BasePriority;
    HANDLE UniqueProcessId;
    PVOID Reserved2;
    ULONG HandleCount;
    ULONG SessionId;
} SYSTEM_PROCESS_INFORMATION;
// SystemProcessInformation only: the running processes as chained entries, each image name inside the
// buffer. Too small a buffer: STATUS_INFO_LENGTH_MISMATCH, and *ReturnLength the size needed (NT 4
// leaves it 0, see Processes::reportsNeededLength).
NTSTATUS WINAPI NtQuerySystemInformation(ULONG SystemInformationClass, PVOID SystemInformation,
                                         ULONG SystemInformationLength, PULONG ReturnLength);

#ifdef __cplusplus
}
#endif
