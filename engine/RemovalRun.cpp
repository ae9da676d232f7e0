// One removal run: its printer list, the printers it offers, a named removal and its verdict.
#include "engine/RemovalRun.h"

#include <stdio.h>
#include <string.h>

#include "afx/afxhandles.h"
#include "engine/Changes.h"
#include "engine/DriverList.h"
#include "engine/MonitorTraces.h"
#include "engine/PrinterList.h"
#include "engine/RunObserver.h"

CRemovalRun::CRemovalRun()
    : m_printerList(10), m_nOsFamily(0), m_nXpMark(-1), m_bListArrived(FALSE), m_nExitCode(ERROR_SUCCESS) {}

CRemovalRun::~CRemovalRun() {
    FreePrinterList();
    ::FreePrinterList(m_unusedDrivers);
}

DWORD CombineExitCodes(DWORD sofar, DWORD next) {
    if (sofar != ERROR_SUCCESS && sofar != ERROR_SUCCESS_REBOOT_REQUIRED)
        return sofar;
    if (next != ERROR_SUCCESS && next != ERROR_SUCCESS_REBOOT_REQUIRED)
        return next;
    return sofar == ERROR_SUCCESS_REBOOT_REQUIRED ? sofar : next;
}

void CRemovalRun::DetectOsFamily() {
    m_nOsFamily = ::DetectOsFamily(&m_nXpMark);
}

void CRemovalRun::EnumerateNow() {
    m_strDriverDir = QueryDriverDirectory(m_strDriverDir);
    ::EnumeratePrinters(m_printerList, m_nOsFamily, m_strDriverDir);
    m_bListArrived = TRUE;
}

UINT CRemovalRun::Begin() {
    DetectOsFamily();
    if (IsNt() && m_cycle.Begin(SPOOLER_EVENT_STARTUP))
        return SPOOLER_EVENT_STARTUP;
    EnumerateNow();
    return 0;
}

SpoolerCycleTick CRemovalRun::TickCycle(UINT eventId) {
    const SpoolerCycleTick tick = m_cycle.Tick(eventId);
    if (tick == CYCLE_COMPLETED && eventId == SPOOLER_EVENT_STARTUP)
        EnumerateNow();
    return tick;
}

UINT CRemovalRun::BeginClosingCycle() {
    return IsNt() && m_cycle.Begin(SPOOLER_EVENT_REMOVAL) ? SPOOLER_EVENT_REMOVAL : 0;
}

std::vector<OfferedEntry> CRemovalRun::OfferedEntries() const {
    std::vector<OfferedEntry> offered;
    POSITION pos = m_printerList.GetHeadPosition();
    while (pos) {
        CPrinterEntry* entry = static_cast<CPrinterEntry*>(const_cast<CObList&>(m_printerList).GetNext(pos));
        if (entry->m_bRemoved == 1)
            continue;
        // Only whether a sign shows decides, and a sign shows the same with or without the full reading.
        const DriverEvidence evidence = entry->WeighDriverEvidence(TRUE);
        if (IsOffered(evidence, OFFERED_BY_LIST))
            offered.push_back(OfferedEntry{entry, evidence});
    }
    return offered;
}

std::vector<CString> CRemovalRun::OfferedPrinters() const {
    std::vector<CString> names;
    for (const OfferedEntry& offered : OfferedEntries())
        names.push_back(offered.entry->m_strPrinterName);
    return names;
}

CPrinterEntry* CRemovalRun::FindPrinterEntry(LPCSTR name) const {
    return ::FindPrinterEntry(m_printerList, name);
}

CPrinterEntry* CRemovalRun::FindNamedPrinter(const CString& name) const {
    CPrinterEntry* entry = FindPrinterEntry(name);
    const int length = name.GetLength();
    if (!entry && length > 2 && name[0] == '"' && name[length - 1] == '"')
        entry = FindPrinterEntry(name.Mid(1, length - 2));
    return entry;
}

RemovalOutcome CRemovalRun::RemoveSelected(CPrinterEntry& target, const CString& name) {
    Changes().ResetDeferredFiles();
    return RunRemovalSteps(m_printerList, target, name, m_nOsFamily, TRUE);
}

int CRemovalRun::RemoveNamed(const CString& name) {
    Changes().ResetDeferredFiles();
    PrinterLookup lookup;
    lookup.name = name;
    lookup.listEmpty = m_printerList.IsEmpty();
    lookup.listArrived = m_bListArrived;
    if (lookup.listEmpty) {
        m_nExitCode = m_bListArrived ? ERROR_INVALID_PRINTER_NAME : ERROR_SERVICE_REQUEST_TIMEOUT;
        RunObserver().OnPrinterLookup(lookup);
        return 0;
    }
    CPrinterEntry* target = FindNamedPrinter(name);
    // The driver's signs are read from the disk once, for the observer and the decision.
    const DriverEvidence evidence = target ? target->WeighDriverEvidence() : DRIVER_NOT_DESCRIBED;
    lookup.found = target != NULL;
    if (target) {
        lookup.driver = target->m_strDriverName;
        lookup.evidence = evidence;
    }
    RunObserver().OnPrinterLookup(lookup);
    if (!target) {
        OutputDebugStringA("remove is 0 returning \n");
        m_nExitCode = ERROR_INVALID_PRINTER_NAME;
        return 0;
    }
    // A mistyped name must not take another maker's printer and driver.
    if (!IsOffered(evidence, OFFERED_BY_NAME)) {
        OutputDebugStringA("remove is 0 returning \n");
        m_nExitCode = ERROR_UNKNOWN_PRINTER_DRIVER;
        return 0;
    }
    m_strMatchedName = target->m_strPrinterName;
    if (RunRemovalSteps(m_printerList, *target, m_strMatchedName, m_nOsFamily, FALSE) == REMOVAL_COMPANION_REFUSED) {
        m_nExitCode = ERROR_BUSY;
        return 0;
    }
    m_nExitCode = Changes().DeferredFiles() > 0 ? ERROR_SUCCESS_REBOOT_REQUIRED : ERROR_SUCCESS;
    return 1;
}

void CRemovalRun::GiveVerdict(int removed, const CString& name) {
    if (!removed)
        return;
    // The run ends only once the spooler runs again: a silent run must not leave the workstation unable
    // to print.
    if (m_cycle.Pending() != 0 || m_cycle.Abandoned())
        m_nExitCode = ERROR_SERVICE_NOT_ACTIVE;
    // A printer the spooler still has after the removal was not removed, whatever the steps reported: its
    // key may have been out of reach, and the caller must not hear success.
    else if (IsPrinterInstalled(m_strMatchedName.IsEmpty() ? name : m_strMatchedName, m_nOsFamily))
        m_nExitCode = ERROR_PRINTER_ALREADY_EXISTS;
}

void CRemovalRun::FreePrinterList() {
    ::FreePrinterList(m_printerList);
}

void CRemovalRun::RunEverything() {
    m_outcomes.clear();
    // NT cycles the spooler before the enumeration, as a named removal does; the list arrives only once
    // it runs again.
    if (const UINT opening = Begin()) {
        if (m_cycle.RunToEnd(opening) != CYCLE_COMPLETED) {
            m_nExitCode = ERROR_SERVICE_REQUEST_TIMEOUT;
            return;
        }
        EnumerateNow();
    }
    // One cycle for the whole run, however much it removed.
    if (RemoveEverything()) {
        if (const UINT closing = BeginClosingCycle())
            m_cycle.RunToEnd(closing);
    }
    GiveVerdictOnEverything();
}

namespace {

// A printer's or an unused driver's entry as a detection run reports it, with its driver's evidence.
FoundItem FoundOf(const CPrinterEntry& entry, DriverEvidence evidence) {
    FoundItem item;
    item.name = entry.m_strPrinterName;
    item.driver = entry.m_strDriverName;
    item.version = entry.m_nDriverVersion;
    item.key = entry.m_strDriverKey;
    item.dataFile = entry.m_strDataFile;
    item.evidence = evidence;
    return item;
}

}  // namespace

BOOL CRemovalRun::FindUnusedBrontalDrivers(std::vector<FoundItem>& found, std::vector<CPrinterEntry*>& entries) {
    ::FreePrinterList(m_unusedDrivers);
    const BOOL complete = FindUnusedDrivers(m_printerList, m_nOsFamily, m_strDriverDir, m_unusedDrivers);
    POSITION pos = m_unusedDrivers.GetHeadPosition();
    while (pos) {
        CPrinterEntry* driver = static_cast<CPrinterEntry*>(m_unusedDrivers.GetNext(pos));
        // Only the drivers that show a sign are kept, and a sign shows the same without the full reading.
        const FoundItem item = FoundOf(*driver, driver->WeighDriverEvidence(TRUE));
        if (ShowsBrontalSign(item.evidence)) {
            found.push_back(item);
            entries.push_back(driver);
        }
    }
    return complete;
}

BOOL CRemovalRun::RemoveEverything() {
    Changes().ResetDeferredFiles();
    // Chosen before the first removal: a printer's removal may take files that the signs of another
    // printer's or a driver's data file are read from.
    const std::vector<OfferedEntry> offered = OfferedEntries();
    std::vector<FoundItem> drivers;
    std::vector<CPrinterEntry*> brontalDrivers;
    FindUnusedBrontalDrivers(drivers, brontalDrivers);

    BOOL removed = FALSE;
    BOOL refused = FALSE;  // a hand-off could not end the application, and its notice was shown
    const int companionCalls = Changes().CompanionCalls();
    for (const OfferedEntry& printer : offered) {
        CPrinterEntry* target = printer.entry;
        const CString name = target->m_strPrinterName;
        PrinterLookup lookup;
        lookup.name = name;
        lookup.found = TRUE;
        lookup.driver = target->m_strDriverName;
        // The evidence the printer was offered on, before any removal could take the files it is read from.
        lookup.evidence = printer.evidence;
        RunObserver().OnPrinterLookup(lookup);
        const int deferred = Changes().DeferredFiles();
        DWORD code = ERROR_BUSY;
        if (RunRemovalSteps(m_printerList, *target, name, m_nOsFamily, FALSE, &m_unusedDrivers) == REMOVAL_DONE) {
            removed = TRUE;
            code = Changes().DeferredFiles() > deferred ? ERROR_SUCCESS_REBOOT_REQUIRED : ERROR_SUCCESS;
        } else {
            refused = TRUE;
        }
        m_outcomes.push_back(RunItemOutcome{ITEM_PRINTER, name, code});
    }

    for (size_t i = 0; i < brontalDrivers.size(); ++i) {
        CPrinterEntry* driver = brontalDrivers[i];
        RunObserver().OnUnusedDriver(drivers[i]);
        const int deferred = Changes().DeferredFiles();
        LONG keyResult = ERROR_SUCCESS;
        DWORD code = ERROR_BUSY;
        if (RunDriverRemovalSteps(m_printerList, m_unusedDrivers, *driver, keyResult) != REMOVAL_DONE) {
            refused = TRUE;
        } else {
            removed = TRUE;
            // A driver whose key stays is still installed once the spooler reads its drivers again.
            if (keyResult != ERROR_SUCCESS && keyResult != ERROR_FILE_NOT_FOUND)
                code = (DWORD)keyResult;
            else
                code = Changes().DeferredFiles() > deferred ? ERROR_SUCCESS_REBOOT_REQUIRED : ERROR_SUCCESS;
        }
        m_outcomes.push_back(RunItemOutcome{ITEM_DRIVER, driver->m_strDriverName, code});
    }

    // A dry run cannot see what the hand-offs it only reported would have removed; an application that
    // could not be ended is not asked to end a second time. The spooler has no part in this step.
    if (!refused && Changes().CompanionEffectsSeenSince(companionCalls) &&
        !FindMonitorTraces().empty())
        m_outcomes.push_back(RunItemOutcome{ITEM_MONITOR, "Tallyvue", RemoveMonitorTraces()});
    return removed;
}


Remains CRemovalRun::FindRemains() {
    Remains remains;
    DetectOsFamily();
    EnumerateNow();
    for (const OfferedEntry& printer : OfferedEntries())
        remains.printers.push_back(FoundOf(*printer.entry, printer.evidence));
    std::vector<CPrinterEntry*> entries;
    remains.complete = FindUnusedBrontalDrivers(remains.drivers, entries);
    remains.traces = FindMonitorTraces();
    return remains;
}

DWORD CRemovalRun::RemoveMonitorTraces() {
    const CString library = ShippedCompanionPath();
    BOOL called = FALSE;
    const int result = library.IsEmpty() ? 0 : Changes().CallCompanion(library, "Delete", &called);
    if (!called)
        return ERROR_MOD_NOT_FOUND;
    return result == 0 ? ERROR_BUSY : ERROR_SUCCESS;
}

void CRemovalRun::GiveVerdictOnEverything() {
    const BOOL spoolerBack = m_cycle.Pending() == 0 && !m_cycle.Abandoned();
    // One reading of the printer list for all the printers removed, however many.
    std::vector<CString> printers;
    for (const RunItemOutcome& outcome : m_outcomes) {
        if (outcome.kind == ITEM_PRINTER)
            printers.push_back(outcome.name);
    }
    const std::vector<BOOL> stillListed =
        spoolerBack && !printers.empty() ? ArePrintersInstalled(printers, m_nOsFamily) : std::vector<BOOL>();
    size_t printer = 0;
    m_nExitCode = ERROR_SUCCESS;
    for (RunItemOutcome& outcome : m_outcomes) {
        const BOOL listed = outcome.kind == ITEM_PRINTER && !stillListed.empty() && stillListed[printer++];
        // The monitoring application's removal does not wait for the spooler.
        if (outcome.kind != ITEM_MONITOR &&
            (outcome.exitCode == ERROR_SUCCESS || outcome.exitCode == ERROR_SUCCESS_REBOOT_REQUIRED)) {
            if (!spoolerBack)
                outcome.exitCode = ERROR_SERVICE_NOT_ACTIVE;
            else if (listed)
                outcome.exitCode = ERROR_PRINTER_ALREADY_EXISTS;
        }
        m_nExitCode = CombineExitCodes(m_nExitCode, outcome.exitCode);
    }
}

void RestartMachine() {
    CKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Receive())) {
        printf("Error: OpenProcessToken\n");
    } else {
        TOKEN_PRIVILEGES privileges;
        memset(&privileges, 0, sizeof(privileges));
        if (!LookupPrivilegeValueA(NULL, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
            printf("Error: LookupPrivilegeValue\n");
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
        // ERROR_NOT_ALL_ASSIGNED: the user may not shut the machine down.
        if (GetLastError() != ERROR_SUCCESS)
            printf("Error: AdjustTokenPrivileges\n");
    }
    if (!ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0))
        printf("Error: ExitWindowsEx\n");
    fflush(stdout);
}
