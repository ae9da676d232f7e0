/* tavqcall: a test-only caller of tavq.dll, binding it as Trellin does.
 *
 *   tavqcall.exe <path of tavq.dll> [export]
 *
 * Loads the library by its path, looks up the export (default "Delete"), calls it without arguments (the
 * run entries with four arguments, as their callers do), unloads it and prints "result <n>". Exit code
 * 10 + n; 2 bad usage, 3 load failed, 4 export missing.
 *
 * A run entry is a stdcall function: it removes its four arguments (16 bytes) from the caller's stack.
 * On 32-bit x86 the call is made without a frame that would hide a mistake, and the bytes the entry
 * left on the stack are printed as "stack <n>" (0 when it keeps the convention). */
#include <windows.h>
#include <stdio.h>
#include <string.h>

typedef int (*DeleteFn)(void);
typedef int(WINAPI* RunFn)(HWND, HINSTANCE, LPSTR, int);

#ifdef __i386__
/* Pushes the four arguments, calls the entry and measures the stack pointer against its value before the
 * pushes; then puts it back so that this program goes on whatever the entry did. */
static int CallRunEntry(FARPROC entry, HWND window, HINSTANCE instance, LPSTR line, int show, int* left) {
    DWORD frame[5] = {(DWORD)(UINT_PTR)entry, (DWORD)(UINT_PTR)window, (DWORD)(UINT_PTR)instance,
                      (DWORD)(UINT_PTR)line, (DWORD)show};
    int result, bytes;
    __asm__ volatile(
        "movl %%esp, %%esi\n\t"
        "pushl 16(%%ebx)\n\t"
        "pushl 12(%%ebx)\n\t"
        "pushl 8(%%ebx)\n\t"
        "pushl 4(%%ebx)\n\t"
        "call *(%%ebx)\n\t"
        "movl %%esi, %%edx\n\t"
        "subl %%esp, %%edx\n\t"
        "movl %%esi, %%esp\n\t"
        : "=a"(result), "=&d"(bytes)
        : "b"(frame)
        : "ecx", "esi", "memory", "cc");
    *left = bytes;
    return result;
}
#endif

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
    if (strncmp(name, "run", 3) == 0 || strncmp(name, "autorun", 7) == 0) {
#ifdef __i386__
        int left = 0;
        result = CallRunEntry(entry, NULL, NULL, (LPSTR) "ignored", SW_SHOWNORMAL, &left);
        printf("stack %d\n", left);
#else
        result = ((RunFn)(void*)entry)(NULL, NULL, (LPSTR) "ignored", SW_SHOWNORMAL);
#endif
    } else {
        result = ((DeleteFn)(void*)entry)();
    }
    FreeLibrary(lib);
    printf("result %d\n", result);
    fflush(stdout);
    return 10 + result;
}
