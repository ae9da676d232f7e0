// The printer list of one removal run: the system facts it is built from, its entries, and the
// decisions a removal makes on it.
#pragma once

#include <windows.h>

#include <vector>

#include "afx/afxcoll.h"
#include "afx/afxhandles.h"
#include "afx/afxstr.h"
#include "engine/PrinterEntry.h"

// The local printer-driver directory as the spooler reports it; `current` when it reports no size.
CString QueryDriverDirectory(const CString& current);
// The spooler's records of the workstation's local printers and connections (PRINTER_INFO_<level>A,
// level 2 or 4) in `block`, `count` of them; FALSE, with none, when the spooler cannot list them. A
// workstation without printers is TRUE with a count of 0.
BOOL FetchPrinterRecords(DWORD level, CGlobalBlock& block, DWORD& count);
// Appends one prepared entry (name, driver description, key, candidate files) per printer the spooler
// enumerates; nonzero when there was at least one. On failure the list is unchanged.
int EnumeratePrinters(CObList& list, int family, const CString& driverDir);
// The first entry whose printer name equals `name` byte for byte, removed entries included; or NULL.
CPrinterEntry* FindPrinterEntry(const CObList& list, LPCSTR name);
// Whether the workstation still lists a printer of that name (letter case aside) among its local
// printers and connections, and a dry run has not deleted it; FALSE when the spooler cannot list them.
BOOL IsPrinterInstalled(const CString& name, int family);
// IsPrinterInstalled for each of `names`, in order, from one enumeration.
std::vector<BOOL> ArePrintersInstalled(const std::vector<CString>& names, int family);
// Deletes every entry (and its driver files) and empties the list.
void FreePrinterList(CObList& list);
