// IRunObserver: what a run tells as it happens: the printer a named removal looked up, the decisions of
// a removal, the spooler cycle. The run only reports; an observer calls nothing back.
#pragma once

#include <windows.h>

#include <vector>

#include "afx/afxstr.h"
#include "engine/PrinterEntry.h"
#include "engine/RemovalDecision.h"

// What a named removal found for its name.
struct PrinterLookup {
    CString name;
    BOOL listEmpty = FALSE;    // the run had no printers at all to look in
    BOOL listArrived = FALSE;  // with listEmpty: the enumeration had run (else its spooler cycle never ended)
    BOOL found = FALSE;
    CString driver;           // found: the printer's driver
    DriverEvidence evidence = DRIVER_NOT_DESCRIBED;  // found: the driver's signs, read once from the disk
};

// A printer or a driver no printer uses, as a run over everything or a detection run found it, with the
// evidence that makes it Brontal's.
struct FoundItem {
    CString name;  // the printer's; empty for a driver no printer uses
    CString driver;
    DWORD version = 0;
    CString key;  // the driver's key under HKEY_LOCAL_MACHINE
    CString dataFile;
    DriverEvidence evidence = DRIVER_NOT_DESCRIBED;
};

class IRunObserver {
public:
    virtual ~IRunObserver() {}
    virtual void OnPrinterLookup(const PrinterLookup& lookup) = 0;
    virtual void OnUnusedDriver(const FoundItem& driver) = 0;
    virtual void OnDecisions(const RemovalDecision& decision) = 0;
    // The spooler cycle: begun when its stop is asked for, each state seen, its end.
    virtual void OnSpoolerCycleBegins(LPCSTR phase) = 0;
    virtual void OnSpoolerStateSeen(DWORD state) = 0;
    virtual void OnSpoolerCycleEnds(LPCSTR outcome) = 0;
};

// The run's observer; one that does nothing until the application sets one.
IRunObserver& RunObserver();
// `observer` NULL goes back to the one that does nothing.
void SetRunObserver(IRunObserver* observer);
