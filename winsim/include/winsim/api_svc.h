// advapi32's service control, token and privilege calls and user32's ExitWindowsEx as the simulated machine provides them.
//
// Where Windows and Wine differ, the simulation follows Windows XP: the spooler service is running when
// the machine starts (Wine starts each prefix session with it stopped), its status reports
// SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, and a stop sent while it starts is refused
// with ERROR_SERVICE_CANNOT_ACCEPT_CTRL (Wine forwards it). Every service call is recorded in
// Machine::services.Calls(); winsim/services.h and winsim/security.h hold the fixtures.
#pragma once
#include <winsim/wintypes.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- service control manager ----
#define SERVICES_ACTIVE_DATABASEA "ServicesActive"
#define SERVICES_FAILED_DATABASEA "ServicesFailed"

#define SC_MANAGER_CONNECT 0x0001
#define SC_MANAGER_CREATE_SERVICE 0x0002
#define SC_MANAGER_ENUMERATE_SERVICE 0x0004
#define SC_MANAGER_LOCK 0x0008
#define SC_MANAGER_QUERY_LOCK_STATUS 0x0010
#define SC_MANAGER_MODIFY_BOOT_CONFIG 0x0020
#define SC_MANAGER_ALL_ACCESS 0xF003F

#define SERVICE_QUERY_CONFIG 0x0001
#define SERVICE_CHANGE_CONFIG 0x0002
#define SERVICE_QUERY_STATUS 0x0004
#define SERVICE_ENUMERATE_DEPENDENTS 0x0008
#define SERVICE_START 0x0010
#define SERVICE_STOP 0x0020
#define SERVICE_PAUSE_CONTINUE 0x0040
#define SERVICE_INTERROGATE 0x0080
#define SERVICE_USER_DEFINED_CONTROL 0x0100
#define SERVICE_ALL_ACCESS 0xF01FF

#define SERVICE_KERNEL_DRIVER 0x00000001
#define SERVICE_FILE_SYSTEM_DRIVER 0x00000002
#define SERVICE_WIN32_OWN_PROCESS 0x00000010
#define SERVICE_WIN32_SHARE_PROCESS 0x00000020
#define SERVICE_WIN32 (SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS)
#define SERVICE_INTERACTIVE_PROCESS 0x00000100

#define SERVICE_STOPPED 0x00000001
#define SERVICE_START_PENDING 0x00000002
#define SERVICE_STOP_PENDING 0x00000003
#define SERVICE_RUNNING 0x00000004
#define SERVICE_CONTINUE_PENDING 0x00000005
#define SERVICE_PAUSE_PENDING 0x00000006
#define SERVICE_PAUSED 0x00000007

#define SERVICE_CONTROL_STOP 0x00000001
#define SERVICE_CONTROL_PAUSE 0x00000002
#define SERVICE_CONTROL_CONTINUE 0x00000003
#define SERVICE_CONTROL_INTERROGATE 0x00000004
#define SERVICE_CONTROL_SHUTDOWN 0x00000005
#define SERVICE_CONTROL_PARAMCHANGE 0x00000006

#define SERVICE_ACCEPT_STOP 0x00000001
#define SERVICE_ACCEPT_PAUSE_CONTINUE 0x00000002
#define SERVICE_ACCEPT_SHUTDOWN 0x00000004

#ifndef ERROR_INVALID_ADDRESS
#define ERROR_INVALID_ADDRESS 487L
#endif
#ifndef ERROR_DATABASE_DOES_NOT_EXIST
#define ERROR_DATABASE_DOES_NOT_EXIST 1065L
#endif
#ifndef ERROR_SERVICE_SPECIFIC_ERROR
#define ERROR_SERVICE_SPECIFIC_ERROR 1066L
#endif
#ifndef ERROR_SERVICE_NEVER_STARTED
#define ERROR_SERVICE_NEVER_STARTED 1077L
#endif
#ifndef ERROR_NO_SUCH_PRIVILEGE
#define ERROR_NO_SUCH_PRIVILEGE 1313L
#endif
#ifndef ERROR_NOACCESS
#define ERROR_NOACCESS 998L
#endif
#ifndef RPC_S_SERVER_UNAVAILABLE
#define RPC_S_SERVER_UNAVAILABLE 1722L
#endif

typedef struct _SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
} SERVICE_STATUS, *LPSERVICE_STATUS;

// Local machine only (NULL, "", or the computer name with or without "\\"; else RPC_S_SERVER_UNAVAILABLE);
// database NULL, "" or exactly "ServicesActive" ("ServicesFailed": ERROR_DATABASE_DOES_NOT_EXIST, others
// ERROR_INVALID_NAME). Without administrator rights only connect/enumerate/query-lock access is granted (else
// ERROR_ACCESS_DENIED). Windows 9x: NULL with ERROR_CALL_NOT_IMPLEMENTED, as for every service call there.
SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess);
// Service name case-insensitive; missing: ERROR_SERVICE_DOES_NOT_EXIST; NULL name ERROR_INVALID_ADDRESS,
// "" or over 256 bytes ERROR_INVALID_NAME; start/stop/config access without administrator rights: ERROR_ACCESS_DENIED.
SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess);
// STOP: stopped ERROR_SERVICE_NOT_ACTIVE, stop or start pending ERROR_SERVICE_CANNOT_ACCEPT_CTRL (these
// still fill the status); running: STOP_PENDING, STOPPED after the service's stop latency. INTERROGATE
// reports the status; PAUSE/CONTINUE ERROR_INVALID_SERVICE_CONTROL; codes outside the known ones and 128-255
// ERROR_INVALID_PARAMETER. Access is checked first (ERROR_ACCESS_DENIED).
BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus);
// The state at the machine's virtual clock: pending states end when their latency has passed.
BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus);
// Stopped: START_PENDING, RUNNING after the start latency (the spooler then reloads its printers from the
// registry); any other state: ERROR_SERVICE_ALREADY_RUNNING (as both Windows and Wine answer).
BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors);
// Closes a manager or service handle; anything else ERROR_INVALID_HANDLE.
BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject);

// ---- access tokens and privileges ----
#define TOKEN_ASSIGN_PRIMARY 0x0001
#define TOKEN_DUPLICATE 0x0002
#define TOKEN_IMPERSONATE 0x0004
#define TOKEN_QUERY 0x0008
#define TOKEN_QUERY_SOURCE 0x0010
#define TOKEN_ADJUST_PRIVILEGES 0x0020
#define TOKEN_ADJUST_GROUPS 0x0040
#define TOKEN_ADJUST_DEFAULT 0x0080
#define TOKEN_ADJUST_SESSIONID 0x0100
#define TOKEN_ALL_ACCESS 0xF01FF

#define SE_PRIVILEGE_ENABLED_BY_DEFAULT 0x00000001
#define SE_PRIVILEGE_ENABLED 0x00000002
#define SE_PRIVILEGE_REMOVED 0x00000004
#define SE_PRIVILEGE_USED_FOR_ACCESS 0x80000000

#define SE_SHUTDOWN_NAME "SeShutdownPrivilege"

typedef struct _LUID {
    DWORD LowPart;
    LONG HighPart;
} LUID, *PLUID;

typedef struct _LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
} LUID_AND_ATTRIBUTES, *PLUID_AND_ATTRIBUTES;

typedef struct _TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
} TOKEN_PRIVILEGES, *PTOKEN_PRIVILEGES;

// Only the current process (GetCurrentProcess()) has a token here; any other handle ERROR_INVALID_HANDLE.
// The token handle is closed with CloseHandle. Windows 9x: ERROR_CALL_NOT_IMPLEMENTED.
BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, HANDLE* TokenHandle);
// Names as Windows spells them, compared case-insensitively, LUIDs as Windows numbers them
// (SeShutdownPrivilege 19); unknown name ERROR_NO_SUCH_PRIVILEGE; remote system RPC_S_SERVER_UNAVAILABLE.
BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid);
// Needs TOKEN_ADJUST_PRIVILEGES (and TOKEN_QUERY for PreviousState). TRUE whenever it ran: GetLastError is
// 0 when every privilege was set, ERROR_NOT_ALL_ASSIGNED when the user lacks one (the others are set).
BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges, PTOKEN_PRIVILEGES NewState,
                                  DWORD BufferLength, PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength);

// ---- shutdown ----
#define EWX_LOGOFF 0x00000000
#define EWX_SHUTDOWN 0x00000001
#define EWX_REBOOT 0x00000002
#define EWX_FORCE 0x00000004
#define EWX_POWEROFF 0x00000008
#define EWX_FORCEIFHUNG 0x00000010

// Records the request in Machine::security; shutdown, reboot and power-off need SeShutdownPrivilege enabled
// in the process token on NT (else ERROR_PRIVILEGE_NOT_HELD). A granted reboot leaves a pending restart that
// the test carries out with Machine::Restart(): the calling program is not ended, unlike on Windows or Wine.
BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason);

#ifdef __cplusplus
}
#endif
