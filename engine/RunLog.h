// The run log: one JSON object per line (JSON Lines, UTF-8) for every event of a command-line run. It owns
// every field name of the log; it receives events and calls nothing back.
#pragma once

#include <windows.h>

#include <vector>

#include "afx/afxcoll.h"
#include "afx/afxhandles.h"
#include "afx/afxstr.h"
#include "engine/Changes.h"
#include "engine/MonitorTraces.h"
#include "engine/PrinterEntry.h"
#include "engine/RunObserver.h"

// One line of the log, built field by field; known only to the log, which owns every field name.
class CJsonLine;

class CRunLog : public IChangeObserver, public IRunObserver {
public:
    // The process's one log; it writes nothing until Open succeeds.
    static CRunLog& Get();

    // Opens `path` for appending (created if missing, shared for reading and writing); the API's code.
    DWORD Open(const CString& path);
    BOOL IsOpen() const { return m_file.IsValid(); }
    // Closes the file; a spooler cycle under way is forgotten.
    void Close();

    // The run's start: its time stamp, the program's version, the OS family (OS_FAMILY_*), the mode, the
    // names and the options as given.
    void RunBegins(const CString& time, const CString& version, int family, LPCSTR mode,
                   const std::vector<CString>& names, const std::vector<CString>& options);
    void UsageError(const CString& reason);
    // The backup folder and the code its preparation ended with.
    void BackupBegins(const CString& folder, DWORD result);
    // One named printer's exit code, and the run's.
    void PrinterOutcome(const CString& name, DWORD exitCode);
    // One unused driver's exit code in a run over everything.
    void DriverOutcome(const CString& driver, DWORD exitCode);
    // The monitoring application's removal for the current user in a run over everything.
    void MonitorOutcome(DWORD exitCode);
    void Outcome(DWORD exitCode);

    // What a detection run found still there: a Brontal printer with its driver and the evidence the verdict
    // rests on; an orphaned driver with its version, its key under HKEY_LOCAL_MACHINE and its data file; one
    // trace of the monitoring application.
    void FoundPrinter(const CString& name, const CString& driver, LPCSTR evidence);
    void FoundDriver(const CString& driver, DWORD version, const CString& keyPath, const CString& dataFile,
                     LPCSTR evidence);
    void FoundMonitorTrace(const MonitorTrace& trace);
    // From now on every "found" line also goes to `out` (a redirected standard output), log file or not;
    // NULL stops that. The handle stays the caller's.
    void EchoFoundTo(HANDLE out);

    void OnChange(const ChangeEvent& event) override;
    void OnPrinterLookup(const PrinterLookup& lookup) override;
    void OnUnusedDriver(const FoundItem& driver) override;
    void OnDecisions(const RemovalDecision& decision) override;
    void OnSpoolerCycleBegins(LPCSTR phase) override;
    void OnSpoolerStateSeen(DWORD state) override;
    void OnSpoolerCycleEnds(LPCSTR outcome) override;

private:
    CRunLog() {}
    // Appends one line; the time is not added.
    void Write(const CJsonLine& line);
    // Appends a "found" line to the log and writes it to the echo.
    void WriteFound(const CJsonLine& line);
    CKernelHandle m_file;
    HANDLE m_hEcho = NULL;
    BOOL m_bCycle = FALSE;
    CString m_strPhase;
    std::vector<CString> m_states;
    DWORD m_dwCycleStart = 0;
};

inline CRunLog& RunLog() {
    return CRunLog::Get();
}

// Names used in the log for a change's kind, a registry root and a service state.
LPCSTR ChangeKindName(ChangeKind kind);
LPCSTR ServiceStateName(DWORD state);
// The log's name of an OS family (OS_FAMILY_*).
LPCSTR OsFamilyName(int family);
