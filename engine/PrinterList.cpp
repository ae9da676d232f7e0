// The printer list: OS family, driver directory, enumeration and lookup.
#include "engine/PrinterList.h"

#include <mbstring.h>
#include <string.h>
#include <winspool.h>

#include <vector>

#include "afx/afxhandles.h"
#include "engine/Changes.h"
#include "engine/MbText.h"

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

BOOL FetchPrinterRecords(DWORD level, CGlobalBlock& block, DWORD& count) {
    DWORD needed = 0;
    DWORD rc = FetchSized(
        block,
        [&](BYTE* buffer, DWORD size, DWORD* got) {
            count = 0;
            return ResultOf(EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, level, buffer, size,
                                          got, &count));
        },
        needed);
    if (rc == ERROR_NO_DATA) {
        count = 0;
        return TRUE;
    }
    const SIZE_T record = level == 2 ? sizeof(PRINTER_INFO_2A) : sizeof(PRINTER_INFO_4A);
    if (rc != ERROR_SUCCESS || block.Size() / record < count) {
        count = 0;
        return FALSE;
    }
    return TRUE;
}

namespace {

// The names of the printers the workstation lists itself, its local printers and its connections, in
// the spooler's order; FALSE, with none, when the spooler cannot enumerate them.
BOOL ListPrinterNames(int family, std::vector<CString>& names) {
    names.clear();
    const DWORD level = family == OS_FAMILY_9X ? 2 : 4;
    CGlobalBlock block;
    DWORD count = 0;
    if (!FetchPrinterRecords(level, block, count))
        return FALSE;
    for (DWORD i = 0; i < count; ++i) {
        LPSTR name = level == 2 ? reinterpret_cast<PRINTER_INFO_2A*>(block.Data())[i].pPrinterName
                                : reinterpret_cast<PRINTER_INFO_4A*>(block.Data())[i].pPrinterName;
        names.push_back(CString(name));
    }
    return TRUE;
}

}  // namespace

int EnumeratePrinters(CObList& list, int family, const CString& driverDir) {
    std::vector<CString> names;
    if (!ListPrinterNames(family, names))
        return 0;
    // The printers on one driver share its key: read once for all of them.
    CDriverKeyCache driverKeys;
    for (const CString& name : names) {
        CPrinterEntry* entry = new CPrinterEntry;
        entry->m_nOsFamily = family;
        entry->m_strDriverDir = driverDir;
        entry->SetPrinterName(name);
        entry->CollectDriverFiles(&driverKeys);
        list.AddTail(entry);
    }
    return !names.empty();
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

std::vector<BOOL> ArePrintersInstalled(const std::vector<CString>& names, int family) {
    // Not by opening them: \\server\printer opens as long as the server shares it, also once this
    // workstation's connection to it is gone. One enumeration answers for every name.
    std::vector<CString> listed;
    ListPrinterNames(family, listed);
    std::vector<BOOL> installed;
    for (const CString& name : names) {
        BOOL found = FALSE;
        if (!name.IsEmpty() && !Changes().RunDeletedPrinter(name)) {
            for (size_t i = 0; i < listed.size() && !found; ++i)
                found = MbEqualNoCase(listed[i], name);
        }
        installed.push_back(found);
    }
    return installed;
}

BOOL IsPrinterInstalled(const CString& name, int family) {
    return ArePrintersInstalled(std::vector<CString>(1, name), family)[0];
}

void FreePrinterList(CObList& list) {
    while (!list.IsEmpty())
        delete static_cast<CPrinterEntry*>(list.RemoveHead());
}
