// The operating-system family, the one fact most steps of a removal branch on, read from the version
// the system reports.
#pragma once

#include <windows.h>

// Operating-system family as every family-dependent step tests it.
enum {
    OS_FAMILY_9X = 0,    // Windows 95, 98, Me
    OS_FAMILY_NT = 1,    // NT with a major version other than 5
    OS_FAMILY_NT5 = 2,   // 2000, XP, Server 2003
};

// The OS family (OS_FAMILY_*) from the packed version; `xpMark` becomes 3 on version 5.1, else -1.
int DetectOsFamily(int* xpMark);
// Whether `family` is one of the NT line (NT 4, 2000, XP and later), not Windows 9x.
inline BOOL IsNtFamily(int family) {
    return family == OS_FAMILY_NT || family == OS_FAMILY_NT5;
}
// Whether the running system is Windows 95, 98 or Me.
BOOL RunsOnWindows9x();
// Whether the running system is of the NT line with a major version of at least `major`.
BOOL RunsOnNtAtLeast(int major);
