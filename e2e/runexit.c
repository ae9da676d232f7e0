/* runexit: starts a program with exactly the command line in the environment variable RUNEXIT_CMD (no
 * quoting added), waits for it and prints "exit <code>" with its whole 32-bit exit code, which a Unix
 * exit status would cut to 8 bits. For the tests only.
 *
 *   RUNEXIT_CMD='"C:\Program Files\Trellin\Trellin.exe" Printer A,Printer B' runexit.exe [seconds]
 *
 * Prints "timeout" and kills the program when it runs longer (default 120 s). */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    static WCHAR cmd[32768];
    if (!GetEnvironmentVariableW(L"RUNEXIT_CMD", cmd, 32768)) {
        printf("error no RUNEXIT_CMD\n");
        return 2;
    }
    DWORD seconds = argc > 1 ? (DWORD)atoi(argv[1]) : 120;
    STARTUPINFOW si;
    PROCESS_INFORMATION pi;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    if (!CreateProcessW(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        printf("error CreateProcess %lu\n", GetLastError());
        return 2;
    }
    printf("started %lu\n", pi.dwProcessId);
    fflush(stdout);
    if (WaitForSingleObject(pi.hProcess, seconds * 1000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 1);
        printf("timeout\n");
        return 3;
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    printf("exit %lu\n", code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}
