// The stand-in driver library: built as conformance_drv.dll for Windows/Wine, linked into the simulated run.
#ifdef CONFORMANCE_DRV_DLL
// The export below has the spooler's name: keep winspool.h and its declaration of it out.
#define WIN32_LEAN_AND_MEAN
#endif
#include "conformance_drv.h"

extern "C" BOOL WINAPI ConformanceDrvDeletePrinter(HANDLE printer) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, CONFORMANCE_DRV_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return FALSE;
    DWORD calls = 0, cb = sizeof(calls);
    if (RegQueryValueExA(key, "Calls", NULL, NULL, (BYTE*)&calls, &cb) != ERROR_SUCCESS)
        calls = 0;
    calls++;
    RegSetValueExA(key, "Calls", 0, REG_DWORD, (const BYTE*)&calls, sizeof(calls));
    RegSetValueExA(key, "Handle", 0, REG_BINARY, (const BYTE*)&printer, sizeof(printer));
    RegCloseKey(key);
    return TRUE;
}

#ifdef CONFORMANCE_DRV_DLL
extern "C" __declspec(dllexport) BOOL WINAPI DeletePrinter(HANDLE printer) {
    return ConformanceDrvDeletePrinter(printer);
}
#endif
