/* killrun: starts a program with exactly the command line held in a file (UTF-8, so that any language's
 * names reach it whatever the Unix locale), and ends it with TerminateProcess after a given time, or once
 * its log holds a given number of "change" events, as a deployment tool's timeout does. For the tests only.
 *
 *   killrun.exe <command file> <kill after ms, 0: never> [seconds to wait at most, default 120]
 *               [log file] [changes]
 *
 * Prints "started <pid>", then "exit <code>" with the whole 32-bit exit code when the program ended by
 * itself, or "killed" when it was ended; then "elapsed <ms>" since the start. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* How many change events the log holds so far (it is shared for reading while the program writes it). */
static int CountChanges(const char* log) {
    static char text[1 << 20];
    HANDLE h = CreateFileA(log, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    DWORD got = 0;
    ReadFile(h, text, sizeof(text) - 1, &got, NULL);
    CloseHandle(h);
    text[got] = '\0';
    int count = 0;
    for (const char* p = text; (p = strstr(p, "\"event\":\"change\"")) != NULL; p++)
        count++;
    return count;
}

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
    const char* log = argc > 5 ? argv[4] : NULL;
    int changes = argc > 5 ? atoi(argv[5]) : 0;
    DWORD wait = killAfter ? killAfter : seconds * 1000;
    BOOL ended = FALSE;
    if (log && changes > 0) {
        /* Polled every millisecond: the kill lands among the changes that follow the counted one. */
        while (!(ended = WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) && GetTickCount() - start < wait &&
               CountChanges(log) < changes)
            ;
    } else {
        ended = WaitForSingleObject(pi.hProcess, wait) == WAIT_OBJECT_0;
    }
    if (ended) {
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
