// tavq's entry points and the removal sequence: end the running application, then remove its traces.
#include "tavq.h"
#include "handles.h"
#include "resource.h"
#include "wide.h"

HINSTANCE g_hModule = NULL;

namespace {

const int kTextChars = 256;
// How long an ended application gets to exit and let go of its files before they are deleted.
const DWORD kExitWaitMs = 5000;
const DWORD kEndAccess = 0x0001 /* PROCESS_TERMINATE */ | 0x00100000 /* SYNCHRONIZE */;

const WCHAR kSettingsKeyRead[] = WSTR("SOFTWARE\\Norix\\TALLYVUE");
const WCHAR kSettingsKeyDelete[] = WSTR("SOFTWARE\\Norix\\Tallyvue");
const WCHAR kRunKey[] = WSTR("SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN");
const WCHAR kRunValue[] = WSTR("Norix Tallyvue");
const WCHAR kImageName[] = WSTR("Tallyvue.exe");

// Case-insensitive for a-z only: the name looked for is plain ASCII, and Windows 9x's lstrcmpiW is a stub.
bool SameAsciiNameNoCase(LPCWSTR a, LPCWSTR b) {
    for (;; a++, b++) {
        WCHAR x = *a >= 'a' && *a <= 'z' ? WCHAR(*a - 'a' + 'A') : *a;
        WCHAR y = *b >= 'a' && *b <= 'z' ? WCHAR(*b - 'a' + 'A') : *b;
        if (x != y)
            return false;
        if (x == 0)
            return true;
    }
}

void LoadText(UINT id, LPWSTR buffer, LPCWSTR fallback) {
    if (tavq::LoadText(g_hModule, id, buffer, kTextChars) == 0)
        tavq::CopyText(buffer, fallback, kTextChars);
}

// True when process `pid` runs the monitoring application's program. A stale id from the registry may
// by now name any other program, which must not be ended; neither is a process whose program cannot be told.
bool IsMonitorProcess(DWORD pid) {
    WCHAR name[MAX_PATH];
    return ProcessImageName(pid, name, MAX_PATH) == kImageFound && SameAsciiNameNoCase(name, kImageName);
}

// Ends the running application named by the settings' "PID"; false when it cannot be ended.
bool EndMonitorProcess() {
    tavq::CKeyW settings;
    if (settings.Open(HKEY_CURRENT_USER, kSettingsKeyRead, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE;
    DWORD pid = 0;
    DWORD size = sizeof(pid);
    if (tavq::QueryBinaryValue(settings, WSTR("PID"), &type, reinterpret_cast<LPBYTE>(&pid), &size) != ERROR_SUCCESS)
        return false;
    // Anything but a 4-byte number is no process id.
    if (type != REG_DWORD || size != sizeof(pid))
        return false;
    if (!IsMonitorProcess(pid))
        return false;
    // Only the rights used below: every Windows knows them, whereas the header's PROCESS_ALL_ACCESS
    // grew with Vista to a mask that NT 4, 2000 and XP refuse.
    tavq::CKernelHandle process(OpenProcess(kEndAccess, FALSE, pid));
    if (!process.IsValid())
        return false;
    if (!TerminateProcess(process, 0))
        return false;
    // Termination only starts the exit; the program file stays locked until the process is gone.
    WaitForSingleObject(process, kExitWaitMs);
    return true;
}

void DeleteAutostartValue() {
    tavq::CKeyW run;
    if (run.Open(HKEY_CURRENT_USER, kRunKey, KEY_ALL_ACCESS) == ERROR_SUCCESS)
        tavq::DeleteValue(run, kRunValue);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    g_hModule = instance;
    // A library mapped anew starts without a desktop path; reloading keeps nothing from earlier calls.
    if (reason == DLL_PROCESS_ATTACH)
        ClearDesktopDirectory();
    return TRUE;
}

extern "C" int WINAPIV Delete(void) {
    WCHAR caption[kTextChars];
    WCHAR text[kTextChars];
    LoadText(IDS_RUNNING_CAPTION, caption, WSTR("Norix Tallyvue"));
    LoadText(IDS_RUNNING_TEXT, text,
             WSTR("The Tallyvue is currently running. Please shut down the application before attempting to delete it."));

    if (IsMonitorRunning() && !EndMonitorProcess()) {
        MessageBoxW(NULL, text, caption, MB_OK);
        return 0;
    }
    DeleteDesktopShortcut();
    DeleteAutostartValue();
    tavq::DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKeyDelete);
    RemoveProgramFolder();
    return 1;
}

extern "C" int WINAPI run(HWND window, HINSTANCE instance, LPSTR commandLine, int show) {
    return Delete();
}

extern "C" int WINAPI runW(HWND window, HINSTANCE instance, LPWSTR commandLine, int show) {
    return Delete();
}
