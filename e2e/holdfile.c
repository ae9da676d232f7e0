/* holdfile: keeps a file open the way a program in use does (no FILE_SHARE_DELETE), for the tests only.
 *
 *   holdfile.exe <path> [seconds]
 *
 * Prints "held" once the file is open, then waits (60 s unless told) and closes it. Exit code 1 when the
 * file cannot be opened. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        printf("error %lu\n", GetLastError());
        return 1;
    }
    printf("held\n");
    fflush(stdout);
    int seconds = argc > 2 ? atoi(argv[2]) : 60;
    for (int i = 0; i < seconds * 10; i++)
        Sleep(100);
    CloseHandle(file);
    return 0;
}
