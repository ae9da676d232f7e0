// The OS family from the version the system reports.
#include "engine/OsFamily.h"

#include <string.h>

BOOL RunsOnWindows9x() {
    return (GetVersion() & 0x80000000) != 0;
}

BOOL RunsOnNtAtLeast(int major) {
    return !RunsOnWindows9x() && LOBYTE(LOWORD(GetVersion())) >= major;
}

int DetectOsFamily(int* xpMark) {
    int family;
    if (RunsOnWindows9x())
        family = OS_FAMILY_9X;
    else
        family = LOBYTE(LOWORD(GetVersion())) == 5 ? OS_FAMILY_NT5 : OS_FAMILY_NT;

    OSVERSIONINFOA info;
    memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExA(&info);
    if (xpMark)
        *xpMark = (info.dwMajorVersion == 5 && info.dwMinorVersion == 1) ? 3 : -1;
    return family;
}
