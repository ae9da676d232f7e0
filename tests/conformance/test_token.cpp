// Token conformance: the process token, the shutdown privilege's identifier, and enabling it.
//
// ExitWindowsEx is never called here: under Wine it ends every process of the prefix. It is tested on the
// simulated machine only (tests/winsim/a_session.cpp).
#include "conformance.h"

#include <string.h>

START_TEST(token_lookup_privilege_value) {
    LUID luid;
    memset(&luid, 0xA5, sizeof(luid));
    ok(LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &luid), "LookupPrivilegeValueA: %lu\n",
       (unsigned long)GetLastError());
    ok(luid.LowPart == 19 && luid.HighPart == 0, "SeShutdownPrivilege is %lu:%ld\n", (unsigned long)luid.LowPart,
       (long)luid.HighPart);
    LUID lower;
    memset(&lower, 0xA5, sizeof(lower));
    ok(LookupPrivilegeValueA(NULL, "seshutdownprivilege", &lower), "lower case: %lu\n",
       (unsigned long)GetLastError());
    ok(lower.LowPart == luid.LowPart, "lower case gives %lu\n", (unsigned long)lower.LowPart);
    ok(LookupPrivilegeValueA("", "SeChangeNotifyPrivilege", &lower) && lower.LowPart == 23,
       "SeChangeNotifyPrivilege on system \"\": %lu\n", (unsigned long)lower.LowPart);
    SetLastError(0xdeadbeef);
    BOOL r = LookupPrivilegeValueA(NULL, "SeWinsimNoSuchPrivilege", &lower);
    ok(!r && GetLastError() == ERROR_NO_SUCH_PRIVILEGE, "unknown privilege: %d %lu\n", r,
       (unsigned long)GetLastError());
}

START_TEST(token_adjust_shutdown_privilege) {
    HANDLE token = NULL;
    ok(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token), "OpenProcessToken: %lu\n",
       (unsigned long)GetLastError());
    if (!token)
        return;
    TOKEN_PRIVILEGES tp;
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ok(LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid), "lookup: %lu\n",
       (unsigned long)GetLastError());

    // Enabling a privilege the user holds: TRUE, and the last error says all were assigned.
    TOKEN_PRIVILEGES previous;
    DWORD length = 0xdeadbeef;
    SetLastError(0xdeadbeef);
    BOOL r = AdjustTokenPrivileges(token, FALSE, &tp, sizeof(previous), &previous, &length);
    ok(r && GetLastError() == ERROR_SUCCESS, "enabling the shutdown privilege: %d %lu\n", r,
       (unsigned long)GetLastError());
    ok(length <= sizeof(previous), "previous state length %lu\n", (unsigned long)length);
    bool wasEnabled = r && previous.PrivilegeCount == 0;
    trace("shutdown privilege was %s\n", wasEnabled ? "enabled" : "disabled");

    // Once more, as the program does it: no buffer for the previous state.
    SetLastError(0xdeadbeef);
    r = AdjustTokenPrivileges(token, FALSE, &tp, 0, NULL, NULL);
    ok(r && GetLastError() == ERROR_SUCCESS, "enabling again: %d %lu\n", r, (unsigned long)GetLastError());

    // A privilege only the system holds: TRUE, but not all assigned.
    TOKEN_PRIVILEGES create;
    create.PrivilegeCount = 1;
    create.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ok(LookupPrivilegeValueA(NULL, "SeCreateTokenPrivilege", &create.Privileges[0].Luid), "lookup: %lu\n",
       (unsigned long)GetLastError());
    SetLastError(0xdeadbeef);
    r = AdjustTokenPrivileges(token, FALSE, &create, 0, NULL, NULL);
    ok(r && GetLastError() == ERROR_NOT_ALL_ASSIGNED, "enabling SeCreateTokenPrivilege: %d %lu\n", r,
       (unsigned long)GetLastError());

    // Back to the state found.
    if (!wasEnabled) {
        tp.Privileges[0].Attributes = 0;
        SetLastError(0xdeadbeef);
        r = AdjustTokenPrivileges(token, FALSE, &tp, 0, NULL, NULL);
        ok(r && GetLastError() == ERROR_SUCCESS, "disabling: %d %lu\n", r, (unsigned long)GetLastError());
    }
    ok(CloseHandle(token), "CloseHandle of the token: %lu\n", (unsigned long)GetLastError());
}

START_TEST(token_access_is_checked) {
    HANDLE token = NULL;
    ok(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token), "OpenProcessToken: %lu\n",
       (unsigned long)GetLastError());
    if (!token)
        return;
    TOKEN_PRIVILEGES tp;
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid);
    SetLastError(0xdeadbeef);
    BOOL r = AdjustTokenPrivileges(token, FALSE, &tp, 0, NULL, NULL);
    ok(!r && GetLastError() == ERROR_ACCESS_DENIED, "adjusting through a query-only token: %d %lu\n", r,
       (unsigned long)GetLastError());
    CloseHandle(token);
    SetLastError(0xdeadbeef);
    r = AdjustTokenPrivileges(token, FALSE, &tp, 0, NULL, NULL);
    ok(!r && GetLastError() == ERROR_INVALID_HANDLE, "adjusting through a closed handle: %d %lu\n", r,
       (unsigned long)GetLastError());
}
