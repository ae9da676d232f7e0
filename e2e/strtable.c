/* strtable: prints a library's string table as the program's texts are checked against it.
 *
 *   strtable.exe <library path> <id>...
 *
 *   string <id> <text>        (UTF-8; newlines as \n; "string <id> missing" when absent)
 *
 * The library is mapped as a data file, so its texts come out whole whatever the Windows code page.
 * Exit code 0 when the library was mapped, 2 when it could not be, 1 on bad usage. */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>

int main(void)
{
    WCHAR **argv;
    int argc, i;
    HMODULE lib;

    argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3) {
        fprintf(stderr, "usage: strtable <library> <id>...\n");
        return 1;
    }
    lib = LoadLibraryExW(argv[1], NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!lib) return 2;
    for (i = 2; i < argc; i++) {
        UINT id = (UINT)wcstoul(argv[i], NULL, 10);
        const WCHAR *text = NULL;
        /* A zero buffer length gives a pointer to the text in the table itself. */
        int len = LoadStringW(lib, id, (LPWSTR)&text, 0);
        char utf8[2048];
        int n, j;
        if (len <= 0 || !text) {
            printf("string %u missing\n", id);
            continue;
        }
        n = WideCharToMultiByte(CP_UTF8, 0, text, len, utf8, sizeof(utf8) - 1, NULL, NULL);
        utf8[n > 0 ? n : 0] = 0;
        printf("string %u ", id);
        for (j = 0; utf8[j]; j++) {
            if (utf8[j] == '\n') fputs("\\n", stdout);
            else if (utf8[j] == '\r') fputs("\\r", stdout);
            else putchar(utf8[j]);
        }
        putchar('\n');
    }
    FreeLibrary(lib);
    return 0;
}
