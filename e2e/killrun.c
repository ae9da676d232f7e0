/* killrun: starts a program with exactly the command line held in a file (UTF-8, so that any language's
 * names reach it whatever the Unix locale), and ends it with TerminateProcess after a given time, as a
 * deployment tool's timeout does. For the tests only.
 *
 *   killrun.exe <command file> <kill after ms, 0: never> [seconds to wait at most, default 120]
 *
 * Prints "started <pid>", then "exit <code>" with the whole 32-bit exit code when the program ended by
 * itself, or "killed" when it was ended; then "elapsed <ms>" since the start. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    static char utf8[32768];
    static WCHAR cmd[32768];
    if (argc < 3) {
        printf("usage: killrun <command file> <kill after ms> [seconds]\n");
        return 2;
    }
    FILE* f = fopen(argv[1], "rb");
    if (!f) {
        printf("error cannot open %s\n", argv[1]);
        return 2;
    }
    size_t n = fread(utf8, 1, sizeof(utf8) - 1, f);
    fclose(f);
    while (n > 0 && (utf8[n - 1] == '\n' || utf8[n - 1] == '\r'))
        n--;
    utf8[n] = '\0';
    if (!MultiByteToWideChar(CP_UTF8, 0, utf8, -1, cmd, 32768)) {
        printf("error the command is not UTF-8\n");
        return 2;
    }
    DWORD killAfter = (DWORD)atoi(argv[2]);
    DWORD seconds = argc > 3 ? (DWORD)atoi(argv[3]) : 120;
    STARTUPINFOW si;
    PROCESS_INFORMATION pi;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    DWORD start = GetTickCount();
    if (!CreateProcessW(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        printf("error CreateProcess %lu\n", GetLastError());
        return 2;
    }
    printf("started %lu\n", pi.dwProcessId);
    fflush(stdout);
    DWORD wait = killAfter ? killAfter : seconds * 1000;
    if (WaitForSingleObject(pi.hProcess, wait) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        printf("exit %lu\n", code);
    } else {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 10000);
        printf("killed\n");
    }
    printf("elapsed %lu\n", GetTickCount() - start);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}
