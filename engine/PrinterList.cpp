// The printer list: OS family, driver directory, enumeration and lookup.
#include "engine/PrinterList.h"

#include <mbstring.h>
#include <string.h>
#include <winspool.h>

#include "afx/afxhandles.h"
#include "engine/Changes.h"

int DetectOsFamily(int* xpMark) {
    int family;
    DWORD version = GetVersion();
    if (version & 0x80000000)
        family = OS_FAMILY_9X;
    else
        family = LOBYTE(LOWORD(version)) == 5 ? OS_FAMILY_NT5 : OS_FAMILY_NT;

    OSVERSIONINFOA info;
    memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExA(&info);
    if (xpMark)
        *xpMark = (info.dwMajorVersion == 5 && info.dwMinorVersion == 1) ? 3 : -1;
    return family;
}

CString QueryDriverDirectory(const CString& current) {
    CGlobalBlock block;
    DWORD needed = 0;
    DWORD rc = FetchSized(
        block,
        [](BYTE* buffer, DWORD size, DWORD* got) {
            return ResultOf(GetPrinterDriverDirectoryA(NULL, NULL, 1, buffer, size, got));
        },
        needed, 0, 1);
    if (rc != ERROR_SUCCESS)
        return current;
    return CString(reinterpret_cast<LPCSTR>(block.Data()));
}

int EnumeratePrinters(CObList& list, int family, const CString& driverDir) {
    const DWORD level = family == OS_FAMILY_9X ? 2 : 4;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    CGlobalBlock block;
    DWORD needed = 0;
    DWORD count = 0;
    DWORD rc = FetchSized(
        block,
        [&](BYTE* buffer, DWORD size, DWORD* got) {
            count = 0;
            return ResultOf(EnumPrintersA(flags, NULL, level, buffer, size, got, &count));
        },
        needed);
    if (rc != ERROR_SUCCESS)
        return 0;
    for (DWORD i = 0; i < count; ++i) {
        LPSTR name = level == 2 ? reinterpret_cast<PRINTER_INFO_2A*>(block.Data())[i].pPrinterName
                                : reinterpret_cast<PRINTER_INFO_4A*>(block.Data())[i].pPrinterName;
        CPrinterEntry* entry = new CPrinterEntry;
        entry->m_nOsFamily = family;
        entry->m_strDriverDir = driverDir;
        entry->SetPrinterName(CString(name));
        entry->CollectDriverFiles();
        list.AddTail(entry);
    }
    return count != 0;
}

CPrinterEntry* FindPrinterEntry(const CObList& list, LPCSTR name) {
    POSITION pos = list.GetHeadPosition();
    while (pos) {
        CPrinterEntry* entry = static_cast<CPrinterEntry*>(const_cast<CObList&>(list).GetNext(pos));
        if (_mbscmp(reinterpret_cast<const unsigned char*>((LPCSTR)entry->m_strPrinterName),
                    reinterpret_cast<const unsigned char*>(name)) == 0)
            return entry;
    }
    return NULL;
}

BOOL IsPrinterInstalled(const CString& name) {
    // An empty name would open the print server itself.
    if (name.IsEmpty())
        return FALSE;
    if (Changes().DryRunDeletedPrinter(name))
        return FALSE;
    HANDLE opened = NULL;
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ACCESS_USE};
    if (!OpenPrinterA(const_cast<LPSTR>((LPCSTR)name), &opened, &defaults))
        return FALSE;
    CPrinterHandle printer(opened);
    return TRUE;
}

void FreePrinterList(CObList& list) {
    while (!list.IsEmpty())
        delete static_cast<CPrinterEntry*>(list.RemoveHead());
}
