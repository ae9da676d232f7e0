/* peakmem: starts a program with exactly the command line in the environment variable PEAKMEM_CMD (no
 * quoting added), waits for it, and reports its exit code, its wall-clock time and its peak memory.
 *
 *   PEAKMEM_CMD='"C:\Program Files\Trellin\Trellin.exe" /all' peakmem.exe [seconds]
 *
 *   exit <code>               the whole 32-bit exit code
 *   wall_ms <n>               from CreateProcess to the end of the process
 *   peak_working_set_kb <n>   the largest PeakWorkingSetSize read (GetProcessMemoryInfo of the child)
 *   peak_pagefile_kb <n>      the largest PeakPagefileUsage read
 *   samples <n>               how many readings succeeded
 *
 * The counters are read every 10 ms while the child runs: Wine answers them for a live process only
 * (from its Linux process's /proc status), so the last reading is at most 10 ms before the end. Both are
 * high-water marks, so what happened between two readings is counted by the next one.
 * Prints "timeout" and kills the program when it runs longer (default 300 s). */
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    static WCHAR cmd[32768];
    DWORD seconds = argc > 1 ? (DWORD)atoi(argv[1]) : 300;
    STARTUPINFOW si;
    PROCESS_INFORMATION pi;
    LARGE_INTEGER freq, t0, t1;
    SIZE_T peakWs = 0, peakPf = 0;
    DWORD samples = 0, code = 0, waited;

    if (!GetEnvironmentVariableW(L"PEAKMEM_CMD", cmd, 32768)) {
        printf("error no PEAKMEM_CMD\n");
        return 2;
    }
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    if (!CreateProcessW(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        printf("error CreateProcess %lu\n", GetLastError());
        return 2;
    }
    for (;;) {
        PROCESS_MEMORY_COUNTERS pmc;
        DWORD state = WaitForSingleObject(pi.hProcess, 10);
        ZeroMemory(&pmc, sizeof(pmc));
        pmc.cb = sizeof(pmc);
        if (state != WAIT_OBJECT_0 && GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof(pmc)) &&
            pmc.PeakWorkingSetSize > 0) {
            samples++;
            if (pmc.PeakWorkingSetSize > peakWs)
                peakWs = pmc.PeakWorkingSetSize;
            if (pmc.PeakPagefileUsage > peakPf)
                peakPf = pmc.PeakPagefileUsage;
        }
        if (state == WAIT_OBJECT_0)
            break;
        QueryPerformanceCounter(&t1);
        waited = (DWORD)((t1.QuadPart - t0.QuadPart) / freq.QuadPart);
        if (waited >= seconds) {
            TerminateProcess(pi.hProcess, 1);
            printf("timeout\n");
            return 3;
        }
    }
    QueryPerformanceCounter(&t1);
    GetExitCodeProcess(pi.hProcess, &code);
    printf("exit %lu\n", code);
    printf("wall_ms %lu\n", (unsigned long)((t1.QuadPart - t0.QuadPart) * 1000 / freq.QuadPart));
    printf("peak_working_set_kb %lu\n", (unsigned long)(peakWs / 1024));
    printf("peak_pagefile_kb %lu\n", (unsigned long)(peakPf / 1024));
    printf("samples %lu\n", samples);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}
