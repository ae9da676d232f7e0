// The decisions a removal makes on the printer list, and the fixed order of the removal steps.
#pragma once

#include <windows.h>

#include "afx/afxcoll.h"
#include "afx/afxstr.h"
#include "engine/PrinterEntry.h"
#include "engine/RunObserver.h"

// 1 when the named printer's driver is used by at least one other printer not yet removed, else 0.
int DriverNameMatch(const CObList& list, CString printerName);
// The first printer other than the named one, not yet removed, whose driver lists the file `path`;
// empty when none does.
CString OtherPrinterListing(const CObList& list, const CString& printerName, const CString& path);
// Flags for deletion every file of the named printer that no other printer not yet removed lists, nor
// (when given) a driver of `drivers` not yet removed.
void Markfilestodelete(CObList& list, CString printerName, const CObList* drivers = NULL);
// 1 when exactly one entry of the list (removed ones included) has a Brontal driver, else 0.
int IsOnlyBrontalPrinter(const CObList& list);

// The decisions of `target`'s removal as they stand once `shared` and `onlyBrontal` are known: the
// driver's other users, and each file deleted, replaced, or kept and by which printer still listed.
// A kept file with no printer listing it names the first driver of `drivers` (when given) that does.
RemovalDecision DecideRemoval(const CObList& list, CPrinterEntry& target, int shared, int onlyBrontal,
                              const CObList* drivers = NULL);

enum RemovalOutcome {
    REMOVAL_DONE,               // every step ran; the entry is marked removed
    REMOVAL_COMPANION_REFUSED,  // the monitoring application could not be ended: nothing was removed
};

// Runs the removal steps of `target` (named `printerName` in the list) in their fixed order: unshare
// (NT), the shared-driver or own-driver path, the spooler's deletion (Windows 9x), the driver files,
// the OEM setup files, and marks it removed. The decisions go to the run's observer once final.
// `detailedLog` writes the interactive run's progress lines. `drivers`, the drivers no printer uses, keep
// the files they list, as other printers do.
RemovalOutcome RunRemovalSteps(CObList& list, CPrinterEntry& target, const CString& printerName, int family,
                               BOOL detailedLog, const CObList* drivers = NULL);

// Removes `target`, a driver-only entry of `drivers` that no printer uses: the companion hand-off through
// its copy of the companion library, its per-driver registry data, its key, the files that no printer
// of `printers` and no other driver of `drivers` (neither yet removed) lists, and the OEM setup files.
// The decisions go to the run's observer once final; `keyResult` receives the deletion of the driver's key.
RemovalOutcome RunDriverRemovalSteps(const CObList& printers, const CObList& drivers, CPrinterEntry& target,
                                     LONG& keyResult);
