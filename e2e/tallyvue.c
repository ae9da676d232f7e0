/* tallyvue: a stand-in for the monitoring application Tallyvue, for the tests only (never shipped).
 *
 *   Tallyvue.exe [--no-pid | --idle]
 *
 * Run from its program folder (<temp>\Tallyvue\Tallyvue.exe), it takes the user-scoped instance mutex,
 * writes its process id to HKCU\SOFTWARE\Norix\Tallyvue "PID" (not with --no-pid), the autostart value
 * "Norix Tallyvue" and the desktop shortcut Tallyvue.lnk, prints "ready <pid>" and waits (120 s at most).
 * With --idle, copied under another name, it is some other program: it only prints "ready <pid>" and waits. */
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

static const WCHAR kBase[] = L"Norix Tallyvue - {591F5BE9-7028-468a-9CFF-7CA023199B8A}";

static int SetValue(const WCHAR* path, const WCHAR* name, DWORD type, const void* data, DWORD size) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return 0;
    LONG e = RegSetValueExW(key, name, 0, type, (const BYTE*)data, size);
    RegCloseKey(key);
    return e == ERROR_SUCCESS;
}

static void Wait(void) {
    for (int i = 0; i < 1200; i++)
        Sleep(100);
}

int main(int argc, char** argv) {
    if (argc > 1 && strcmp(argv[1], "--idle") == 0) {
        printf("ready %lu\n", (unsigned long)GetCurrentProcessId());
        fflush(stdout);
        Wait();
        return 0;
    }
    int writePid = !(argc > 1 && strcmp(argv[1], "--no-pid") == 0);
    WCHAR user[64], domain[64], name[256], exe[MAX_PATH], desktop[MAX_PATH], link[MAX_PATH];
    DWORD userChars = 64;
    if (!GetUserNameW(user, &userChars))
        return 2;
    ExpandEnvironmentStringsW(L"%USERDOMAIN%", domain, 64);
    wsprintfW(name, L"%s-%s-%s", kBase, domain, user);
    HANDLE mutex = CreateMutexW(NULL, TRUE, name);
    if (!mutex)
        return 3;

    DWORD pid = GetCurrentProcessId();
    const WCHAR server[] = L"PRINTSRV";
    if (!SetValue(L"SOFTWARE\\Norix\\Tallyvue", L"Server", REG_SZ, server, sizeof(server)))
        return 4;
    if (writePid && !SetValue(L"SOFTWARE\\Norix\\Tallyvue", L"PID", REG_DWORD, &pid, sizeof(pid)))
        return 4;
    GetModuleFileNameW(NULL, exe, MAX_PATH);
    if (!SetValue(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"Norix Tallyvue", REG_SZ, exe,
                  (DWORD)((lstrlenW(exe) + 1) * sizeof(WCHAR))))
        return 5;

    if (FAILED(SHGetFolderPathW(NULL, CSIDL_DESKTOPDIRECTORY, NULL, 0, desktop)))
        return 6;
    wsprintfW(link, L"%s\\Tallyvue.lnk", desktop);
    HANDLE file = CreateFileW(link, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 7;
    DWORD written;
    WriteFile(file, "L\0\0\0", 4, &written, NULL);
    CloseHandle(file);

    printf("ready %lu\n", (unsigned long)pid);
    fflush(stdout);
    Wait();
    CloseHandle(mutex);
    return 0;
}
