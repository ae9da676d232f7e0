/* tavqcall: a test-only caller of tavq.dll, binding it as Trellin does.
 *
 *   tavqcall.exe <path of tavq.dll> [export]
 *
 * Loads the library by its path, looks up the export (default "Delete"), calls it without arguments (the
 * run entries with four arguments, as their callers do), unloads it and prints "result <n>". Exit code
 * 10 + n; 2 bad usage, 3 load failed, 4 export missing. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

typedef int (*DeleteFn)(void);
typedef int(WINAPI* RunFn)(HWND, HINSTANCE, LPSTR, int);

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const char* name = argc > 2 ? argv[2] : "Delete";
    HMODULE lib = LoadLibraryA(argv[1]);
    if (!lib) {
        printf("load failed %lu\n", GetLastError());
        return 3;
    }
    FARPROC entry = GetProcAddress(lib, name);
    if (!entry) {
        printf("no export %s\n", name);
        FreeLibrary(lib);
        return 4;
    }
    int result;
    if (strncmp(name, "run", 3) == 0 || strncmp(name, "autorun", 7) == 0)
        result = ((RunFn)(void*)entry)(NULL, NULL, (LPSTR) "ignored", SW_SHOWNORMAL);
    else
        result = ((DeleteFn)(void*)entry)();
    FreeLibrary(lib);
    printf("result %d\n", result);
    fflush(stdout);
    return 10 + result;
}
