// CRemovalRun: one run of the program: the printer list and the OS family it is built on, which printers
// it offers, the removal of one printer, the spooler cycle and the run's exit code.
#pragma once

#include <windows.h>

#include <vector>

#include "afx/afxcoll.h"
#include "afx/afxstr.h"
#include "engine/MonitorTraces.h"
#include "engine/PrinterEntry.h"
#include "engine/RunObserver.h"
#include "engine/Removal.h"
#include "engine/SpoolerCycle.h"

// Combines the outcome of one more removal into a run's exit code: the first failure wins over a needed
// restart, which wins over success.
DWORD CombineExitCodes(DWORD sofar, DWORD next);

// What a run over everything of Brontal's removed, one entry each.
enum RunItemKind {
    ITEM_PRINTER,  // a printer the list offers
    ITEM_DRIVER,   // a Brontal driver no printer used
    ITEM_MONITOR,  // what was left of the monitoring application for the current user
};
struct RunItemOutcome {
    RunItemKind kind;
    CString name;    // the printer's or the driver's name
    // As a named removal's: 0, 3010, 170, 1062, 1802; a driver's also the code its key's deletion failed
    // with; the monitoring application's 126 when the program's own companion library cannot be called.
    DWORD exitCode;
};

// A printer the list offers, with the driver's evidence it was offered on.
struct OfferedEntry {
    CPrinterEntry* entry;
    DriverEvidence evidence;
};

// What is left of Brontal's on the workstation. `complete` is FALSE when the spooler could not list its
// printers or its drivers: what could not be looked at is not known to be gone.
struct Remains {
    std::vector<FoundItem> printers;
    std::vector<FoundItem> drivers;
    std::vector<MonitorTrace> traces;
    BOOL complete = TRUE;
    BOOL Empty() const { return complete && printers.empty() && drivers.empty() && traces.empty(); }
};

class CRemovalRun {
public:
    CRemovalRun();
    // Frees every printer entry; a cycle still pending is the owner's to finish first.
    ~CRemovalRun();
    CRemovalRun(const CRemovalRun&) = delete;
    CRemovalRun& operator=(const CRemovalRun&) = delete;

    // Sets m_nOsFamily and m_nXpMark from the system version.
    void DetectOsFamily();
    // NT and 2000/XP stop and start the spooler around the enumeration and after a removal; 9x does not.
    BOOL IsNt() const { return IsNtFamily(m_nOsFamily); }
    // Reads the driver directory (unchanged when the spooler reports no size) and enumerates the printers
    // into m_printerList.
    void EnumerateNow();
    // Starts the run: the OS family, then on NT the spooler cycle before the enumeration. The cycle's
    // event while it is under way (the list arrives when it completes); 0 when the printers were
    // enumerated at once, on Windows 9x or where the spooler cannot be opened.
    UINT Begin();
    // One tick of cycle `eventId`, with its pending step: a completed opening cycle enumerates.
    SpoolerCycleTick TickCycle(UINT eventId);
    // The list is still empty while the opening spooler cycle is under way: a named removal waits for it.
    BOOL AwaitsPrinterList() const {
        return m_printerList.IsEmpty() && m_cycle.Pending() == SPOOLER_EVENT_STARTUP;
    }

    // The one rule of which printers the run offers, read from the driver's evidence. The list offers a
    // printer whose driver shows a Brontal sign. A name typed on the command line is taken unless its data
    // file was read and is another maker's: a Brontal printer whose driver is gone or damaged shows no
    // sign, and only the command line can clean it.
    enum OfferedBy { OFFERED_BY_LIST, OFFERED_BY_NAME };
    static BOOL IsOffered(DriverEvidence evidence, OfferedBy by) {
        return by == OFFERED_BY_LIST ? ShowsBrontalSign(evidence) : evidence != DRIVER_NO_BRONTAL_SIGN;
    }
    // The entries the list offers, not yet removed, in enumeration order, each with the evidence that
    // offers it: the disk is read once per entry.
    std::vector<OfferedEntry> OfferedEntries() const;
    // Their printer names.
    std::vector<CString> OfferedPrinters() const;

    // First entry whose printer name equals `name` byte for byte; removed entries included.
    CPrinterEntry* FindPrinterEntry(LPCSTR name) const;
    // The entry a command-line name stands for: the printer of exactly that name; failing that, for a
    // name wrapped in one pair of double quotes (as cmd and PowerShell pass a name with blanks), the
    // printer named by what is inside them.
    CPrinterEntry* FindNamedPrinter(const CString& name) const;
    // The removal of `target`, chosen in the dialog as `name`, with the interactive progress lines.
    RemovalOutcome RemoveSelected(CPrinterEntry& target, const CString& name);
    // The removal of the printer named on the command line; 1 when it ran to its end, else 0. Sets
    // m_nExitCode to what it found.
    int RemoveNamed(const CString& name);
    // After a removal on NT: begins the cycle after it and returns its event; 0 when none is under way.
    UINT BeginClosingCycle();
    // The verdict on a named removal once its spooler cycle is over: a cycle that did not see the spooler
    // again, or a printer the spooler still lists (by the name RemoveNamed matched), is not success.
    void GiveVerdict(int removed, const CString& name);
    // Takes every entry off m_printerList and deletes it with its driver files.
    void FreePrinterList();

    // The whole unattended run over everything of Brontal's, without a window: the spooler cycle before
    // the enumeration, RemoveEverything, one cycle after it (NT), the verdict. Sets m_nExitCode.
    void RunEverything();
    // Removes every printer the list offers, then every Brontal driver no printer uses (the drivers no
    // printer uses keep the files they list), then what the companion hand-offs left of the monitoring
    // application for the current user; one outcome each in m_outcomes. TRUE when anything was removed.
    BOOL RemoveEverything();
    // Once the cycle after RemoveEverything is over: a removal whose cycle did not see the spooler again
    // gets 1062, a printer the workstation still lists 1802; m_nExitCode combines the outcomes.
    void GiveVerdictOnEverything();
    // Detection: enumerates at once, with no spooler cycle and no change, the printers the list offers,
    // the Brontal drivers no printer uses and the monitoring application's traces for the current user.
    Remains FindRemains();
    // The drivers no printer uses that show a Brontal sign, their evidence read once, into `found` and
    // (the entries themselves, owned by m_unusedDrivers) `entries`; FALSE when the spooler could not
    // list its printers or drivers, and then none.
    BOOL FindUnusedBrontalDrivers(std::vector<FoundItem>& found, std::vector<CPrinterEntry*>& entries);
    // Hands the monitoring application's removal for the current user to the companion library shipped
    // beside the program; its exit code (0, 170, or 126 when the library cannot be called).
    DWORD RemoveMonitorTraces();
    // The drivers no printer uses, as RemoveEverything found them before its first removal.
    CObList m_unusedDrivers;
    std::vector<RunItemOutcome> m_outcomes;

    CObList m_printerList;
    int m_nOsFamily;
    int m_nXpMark;
    CString m_strDriverDir;
    BOOL m_bListArrived;  // the printers have been enumerated
    CSpoolerCycle m_cycle;
    // The printer RemoveNamed took for its name, as the spooler names it.
    CString m_strMatchedName;
    // The outcome of a command-line run as a process exit code: 0 removed; 3010 removed, and a file
    // in use waits for the restart; else the Win32 code of what went wrong.
    DWORD m_nExitCode;
};

// Enables the shutdown privilege and restarts the machine, forced.
void RestartMachine();
