// RemovalDecision: what one removal decided, built once when it is final. The removal steps act on it and
// observers receive it as it is.
#pragma once

#include <windows.h>

#include <vector>

#include "afx/afxstr.h"

// One file of the removed printer's driver, as the removal decided it.
struct FileDecision {
    CString path;
    CString folder;  // the folder the file was looked for in: a deletion never leaves it
    BOOL deleted = FALSE;        // the removal deletes it
    CString replacedBy;  // the companion hand-off put this copy in its place, and that copy stays
    BOOL kept = FALSE;           // neither deleted nor replaced
    CString listedBy;    // kept: the first other printer not yet removed whose driver lists it; empty for none
};

// One removal's decisions, built once when they are final; the steps act on it and observers receive it
// as it is.
struct RemovalDecision {
    CString printer;  // empty for a driver no printer used
    CString driver;
    BOOL driverShared = FALSE;              // another printer not yet removed uses the driver
    std::vector<CString> driverSharedWith;  // those printers
    std::vector<FileDecision> files;
    BOOL onlyBrontalPrinter = FALSE;  // exactly one printer of the list, removed ones included, has a Brontal driver
};
