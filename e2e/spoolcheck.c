/* spoolcheck: prints what the spooler of the current Wine prefix reports, so the
 * seeded workstation can be checked through the same calls the product makes.
 *
 *   printer <name> attributes=0x<hex>
 *   driver <printer> name=<driver> version=<n>
 *   driver <printer> datafile=<full path>
 *   driver <printer> configfile=... / driverpath=... / helpfile=...
 *   driver <printer> dependent=<full path>        (one line per dependent file)
 *   total <count>
 *
 * Exit code 0 on success, 1 when a spooler call fails. */
#include <windows.h>
#include <winspool.h>
#include <stdio.h>
#include <stdlib.h>

static int report_driver(const char *printer)
{
    HANDLE h = NULL;
    DWORD need = 0;
    DRIVER_INFO_3A *di;

    if (!OpenPrinterA((LPSTR)printer, &h, NULL)) {
        printf("error %s OpenPrinterA %lu\n", printer, GetLastError());
        return 1;
    }
    /* Level 3 is level 2 plus help and dependent files; both come from the same key. */
    GetPrinterDriverA(h, NULL, 3, NULL, 0, &need);
    di = need ? malloc(need) : NULL;
    if (!di || !GetPrinterDriverA(h, NULL, 3, (BYTE *)di, need, &need)) {
        printf("error %s GetPrinterDriverA %lu\n", printer, GetLastError());
        free(di);
        ClosePrinter(h);
        return 1;
    }
    printf("driver %s name=%s version=%lu\n", printer, di->pName ? di->pName : "", di->cVersion);
    printf("driver %s datafile=%s\n", printer, di->pDataFile ? di->pDataFile : "");
    printf("driver %s configfile=%s\n", printer, di->pConfigFile ? di->pConfigFile : "");
    printf("driver %s driverpath=%s\n", printer, di->pDriverPath ? di->pDriverPath : "");
    printf("driver %s helpfile=%s\n", printer, di->pHelpFile ? di->pHelpFile : "");
    if (di->pDependentFiles) {
        const char *p;
        for (p = di->pDependentFiles; *p; p += strlen(p) + 1)
            printf("driver %s dependent=%s\n", printer, p);
    }
    free(di);
    ClosePrinter(h);
    return 0;
}

int main(void)
{
    DWORD need = 0, count = 0, i;
    PRINTER_INFO_4A *pi;
    int failed = 0;

    /* Same flags and level the product uses to build its printer list. */
    EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 4, NULL, 0, &need, &count);
    if (need == 0) {
        printf("total 0\n");
        return 0;
    }
    pi = malloc(need);
    if (!pi || !EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 4,
                              (BYTE *)pi, need, &need, &count)) {
        printf("error EnumPrintersA %lu\n", GetLastError());
        return 1;
    }
    for (i = 0; i < count; i++)
        printf("printer %s attributes=0x%lx\n", pi[i].pPrinterName, pi[i].Attributes);
    for (i = 0; i < count; i++)
        failed |= report_driver(pi[i].pPrinterName);
    printf("total %lu\n", count);
    free(pi);
    fflush(stdout);
    return failed;
}
