// The drivers the spooler lists that no printer uses.
#include "engine/DriverList.h"

#include <winspool.h>

#include <vector>

#include "afx/afxhandles.h"
#include "engine/MbText.h"
#include "engine/PrinterList.h"

namespace {

// The driver of every printer and connection the spooler lists, from its own record of the printer: also
// for one that cannot be opened or whose driver is no longer installed. FALSE when it cannot list them:
// then any driver may be in use.
BOOL ListDriversInUse(std::vector<CString>& used) {
    CGlobalBlock block;
    DWORD count = 0;
    if (!FetchPrinterRecords(2, block, count))
        return FALSE;
    const PRINTER_INFO_2A* printers = reinterpret_cast<const PRINTER_INFO_2A*>(block.Data());
    for (DWORD i = 0; i < count; ++i) {
        // A printer key the spooler reads without a driver (a leftover of an earlier removal) uses none.
        if (printers[i].pDriverName && printers[i].pDriverName[0])
            used.push_back(CString(printers[i].pDriverName));
    }
    return TRUE;
}

BOOL IsUsed(const std::vector<CString>& used, LPCSTR driver) {
    for (const CString& name : used) {
        if (MbEqualNoCase(name, driver))
            return TRUE;
    }
    return FALSE;
}

}  // namespace

BOOL FindUnusedDrivers(const CObList& printers, int family, const CString& driverDir, CObList& drivers) {
    CGlobalBlock block;
    DWORD needed = 0;
    DWORD count = 0;
    DWORD rc = FetchSized(
        block,
        [&](BYTE* buffer, DWORD size, DWORD* got) {
            count = 0;
            return ResultOf(EnumPrinterDriversA(NULL, NULL, 2, buffer, size, got, &count));
        },
        needed);
    if (rc == ERROR_NO_DATA)
        return TRUE;
    if (rc != ERROR_SUCCESS || (DWORD)block.Size() / sizeof(DRIVER_INFO_2A) < count)
        return FALSE;

    // The run's entries name the drivers they opened; the spooler's own records name the rest.
    std::vector<CString> used;
    if (!ListDriversInUse(used))
        return FALSE;
    POSITION pos = printers.GetHeadPosition();
    while (pos) {
        const CPrinterEntry* entry = static_cast<const CPrinterEntry*>(const_cast<CObList&>(printers).GetNext(pos));
        if (!entry->m_strDriverName.IsEmpty())
            used.push_back(entry->m_strDriverName);
    }

    const DRIVER_INFO_2A* info = reinterpret_cast<const DRIVER_INFO_2A*>(block.Data());
    for (DWORD i = 0; i < count; ++i) {
        if (!info[i].pName || !info[i].pName[0] || IsUsed(used, info[i].pName))
            continue;
        CPrinterEntry* entry = new CPrinterEntry;
        entry->m_nOsFamily = family;
        entry->m_strDriverDir = driverDir;
        entry->m_strDriverName = info[i].pName;
        entry->m_strDataFile = info[i].pDataFile ? info[i].pDataFile : "";
        // As a printer's entry has it: the version names the driver's key on NT only.
        entry->m_nDriverVersion = IsNtFamily(family) ? info[i].cVersion : 0;
        entry->BuildDriverKey();
        entry->CollectDriverFiles();
        drivers.AddTail(entry);
    }
    return TRUE;
}
