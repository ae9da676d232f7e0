/* drvlib: the library a Brontal driver installs beside its data file, for the tests only: its
 * "DeletePrinter" export deletes the printer through the spooler, as a driver's own does, and notes the
 * call in HKCU\Software\Brontal\DriverLibrary "Calls". */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

typedef BOOL(WINAPI* SpoolerDeletePrinter)(HANDLE);

__declspec(dllexport) BOOL WINAPI DeletePrinter(HANDLE printer) {
    HMODULE spooler = LoadLibraryA("winspool.drv");
    SpoolerDeletePrinter remove =
        spooler ? (SpoolerDeletePrinter)(void (*)(void))GetProcAddress(spooler, "DeletePrinter") : NULL;
    BOOL ok = remove ? remove(printer) : FALSE;
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Brontal\\DriverLibrary", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key,
                        NULL) == ERROR_SUCCESS) {
        DWORD calls = 0, size = sizeof(calls);
        RegQueryValueExA(key, "Calls", NULL, NULL, (BYTE*)&calls, &size);
        calls++;
        RegSetValueExA(key, "Calls", 0, REG_DWORD, (const BYTE*)&calls, sizeof(calls));
        RegCloseKey(key);
    }
    if (spooler)
        FreeLibrary(spooler);
    return ok;
}
