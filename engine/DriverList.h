// The drivers no printer uses: the leftover of a printer deleted in the control panel, whose driver,
// files and registry data stay behind.
#pragma once

#include <windows.h>

#include "afx/afxcoll.h"
#include "afx/afxstr.h"
#include "engine/PrinterEntry.h"

// Appends to `drivers` one driver-only entry (no printer name; driver name, version, data file, key and
// candidate files as a printer's entry has them) for every driver of the program's environment that
// no printer of the workstation uses, whoever made it. `printers` is the run's printer list. FALSE, with
// nothing appended, when the spooler cannot list its drivers or its printers: a printer whose driver
// cannot be learned would make its driver look unused.
BOOL FindUnusedDrivers(const CObList& printers, int family, const CString& driverDir, CObList& drivers);
