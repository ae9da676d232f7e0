/* lister: the naive way to look at every printer's driver, for the benchmark's baseline. Enumerates the
 * local printers and connections (level 4, as the program does), then opens each one, reads its driver
 * (level 2: its size, then the description) and closes it again.
 *
 *   lister.exe            prints "printers <n>" and "drivers <m>" (the printers whose driver was read)
 *
 * Exit code 0 when the enumeration worked, 1 when it failed. */
#include <windows.h>
#include <winspool.h>
#include <stdio.h>
#include <stdlib.h>

int main(void)
{
    DWORD need = 0, count = 0, i, drivers = 0;
    PRINTER_INFO_4A *pi;

    EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 4, NULL, 0, &need, &count);
    pi = malloc(need ? need : 1);
    if (!pi || !EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 4, (BYTE *)pi, need,
                              &need, &count)) {
        printf("error EnumPrintersA %lu\n", GetLastError());
        return 1;
    }
    for (i = 0; i < count; i++) {
        PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE};
        HANDLE h = NULL;
        DWORD got = 0;
        BYTE *buffer;
        if (!OpenPrinterA(pi[i].pPrinterName, &h, &defaults))
            continue;
        /* The usual pair of calls: the size first, then the description. */
        GetPrinterDriverA(h, NULL, 2, NULL, 0, &got);
        buffer = got ? malloc(got) : NULL;
        if (buffer && GetPrinterDriverA(h, NULL, 2, buffer, got, &got))
            drivers++;
        free(buffer);
        ClosePrinter(h);
    }
    printf("printers %lu\n", count);
    printf("drivers %lu\n", drivers);
    free(pi);
    return 0;
}
