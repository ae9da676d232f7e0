// The one narrow layer every change to the machine goes through: fences that refuse what is plainly not a
// printer's or its driver's own data, a report of each change to an observer, and a dry run that only reports.
#pragma once

#include <windows.h>

#include <set>

#include "afx/afxhandles.h"
#include "afx/afxstr.h"
#include "engine/Fences.h"
#include "engine/KeySet.h"

enum ChangeKind {
    CHANGE_DELETE_KEY,             // root, target: key path (one key, no sub-keys)
    CHANGE_DELETE_VALUE,           // root, target: key path, name: value name
    CHANGE_DELETE_FILE,            // target: file path
    CHANGE_DELETE_AT_RESTART,      // target: file path, handed to the session manager
    CHANGE_SET_PRINTER,            // target: printer name (level 2 written back)
    CHANGE_DELETE_PRINTER,         // target: printer name, through the spooler
    CHANGE_DRIVER_DELETE_PRINTER,  // target: printer name, name: the driver library's path
    CHANGE_COPY_FILE,              // target: destination, name: source
    CHANGE_SET_FILE_TIMES,         // target: file path
    CHANGE_STOP_SERVICE,           // target: service name
    CHANGE_START_SERVICE,          // target: service name
    CHANGE_CALL_COMPANION,         // target: library path, name: export
};

enum ChangeOutcome {
    CHANGE_DONE,     // made; result 0 (or the companion's value for CHANGE_CALL_COMPANION)
    CHANGE_FAILED,   // attempted; result is the Win32 error
    CHANGE_REFUSED,  // a fence refused it: nothing was attempted; result ERROR_ACCESS_DENIED
    CHANGE_WOULD,    // dry run: nothing was attempted
};

struct ChangeEvent {
    ChangeKind kind;
    ChangeOutcome outcome;
    HKEY root;  // registry changes only
    CString target;
    CString name;
    DWORD result;
};

class IChangeObserver {
public:
    virtual ~IChangeObserver() {}
    virtual void OnChange(const ChangeEvent& event) = 0;
};

// Sees each change before it is made (never a refused one, never in a dry run); a nonzero code stops the
// change, which is then reported as refused with that code.
class IChangeGuard {
public:
    virtual ~IChangeGuard() {}
    virtual DWORD BeforeChange(const ChangeEvent& event) = 0;
};

class CMachineChanges {
public:
    // The process's one layer.
    static CMachineChanges& Get();

    // The observer sees every change, refusal and dry-run step; NULL for none. Not owned.
    void SetObserver(IChangeObserver* observer) { m_pObserver = observer; }
    IChangeObserver* Observer() const { return m_pObserver; }
    // The guard asked before every change; NULL for none. Not owned.
    void SetGuard(IChangeGuard* guard) { m_pGuard = guard; }
    // Starting or ending a dry run forgets what an earlier one would have deleted.
    void SetDryRun(BOOL dryRun) {
        m_bDryRun = dryRun;
        ForgetDryRun();
    }
    BOOL IsDryRun() const { return m_bDryRun; }

    // ---- registry. `root` and `path` name the key for the fences and the report; the change
    // itself is made through `parent` and `subKey`, which must name the same key.
    // FALSE, reported as refused, when a tree at root\path must not be deleted.
    BOOL MayDeleteKeyTree(HKEY root, const CString& path);
    // RegDeleteKeyA(parent, subKey) for the key root\path of the tree root\tree (the tree's own key or
    // one below it); the API's code, ERROR_ACCESS_DENIED when fenced off, 0 in a dry run, the guard's
    // code when it stopped the change. The fences judge the tree the program named, not the names
    // found inside it: a sub-key called "HKLM" or "..." goes with its tree.
    LONG DeleteKey(HKEY root, const CString& tree, const CString& path, HKEY parent, LPCSTR subKey);
    // RegDeleteValueA(key, valueName) on the open key root\keyPath; an empty value name (the key's
    // default value) is refused. A dry run reports a missing value as the real deletion would fail.
    LONG DeleteValue(HKEY root, const CString& keyPath, HKEY key, LPCSTR valueName);

    // Opens root\path for a step that reads or walks what it deletes. In a dry run a key the run has
    // already deleted (or one below it, or a printer's key whose printer it deleted) is missing, as the
    // real run would find it: ERROR_FILE_NOT_FOUND.
    LONG OpenKey(CRegKey& key, HKEY root, const CString& path, REGSAM access);

    // Whether a dry run has deleted the printer (through the spooler or its driver, or its key): later
    // steps of the dry run find it gone, as the real run would. FALSE outside a dry run.
    BOOL DryRunDeletedPrinter(const CString& printerName) const;

    // ---- files. `dir` is the folder the file must lie in (after "." and ".." are folded).
    BOOL RemoveFile(const CString& path, const CString& dir);
    // MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT).
    BOOL RemoveFileAtRestart(const CString& path, const CString& dir);
    // Deletes the file, and when that fails hands it to the session manager for the next restart.
    // TRUE when it is gone now.
    BOOL RemoveFileNowOrAtRestart(const CString& path, const CString& dir);

    // ---- printers.
    BOOL UpdatePrinter(HANDLE printer, const CString& printerName, DWORD level, BYTE* info);
    BOOL DeletePrinter(HANDLE printer, const CString& printerName);
    // Loads the driver's library, calls its stdcall export "DeletePrinter" with the handle, closes the
    // handle and unloads the library; the export's result, or 0 when it could not be called (nothing
    // is loaded in a dry run).
    int DriverDeletePrinter(const CString& libraryPath, CPrinterHandle& printer, const CString& printerName);

    // ---- the companion library and the driver's copy of it.
    // Loads the library, calls its export `exportName` (no arguments, int result) and unloads it.
    // `called` tells whether the export ran; its result, or 1 when it did not run (a dry run loads
    // nothing, reports what it would call and answers as a call that succeeded: `called` TRUE, 1).
    int CallCompanion(const CString& libraryPath, LPCSTR exportName, BOOL* called);
    // CopyFileA(source, target, FALSE) over a file inside `dir`; TRUE in a dry run when it would be made.
    BOOL CopyFileOver(const CString& source, const CString& target, const CString& dir);
    // Sets creation, access and write time of a file inside `dir` to `time` (UTC).
    BOOL SetFileTimes(const CString& path, const CString& dir, const FILETIME& time);

    // ---- services. The service must be open with the rights the call needs.
    BOOL RequestServiceStop(SC_HANDLE service, LPCSTR name);
    BOOL RequestServiceStart(SC_HANDLE service, LPCSTR name);

    // Files that existed and were left for deletion at the next restart since the last reset.
    int DeferredFiles() const { return m_nDeferred; }
    void ResetDeferredFiles() { m_nDeferred = 0; }

private:
    CMachineChanges() {}
    void Report(ChangeKind kind, ChangeOutcome outcome, DWORD result, const CString& target,
                const CString& name = CString(), HKEY root = NULL);
    // Reports a refusal, a dry-run step or the guard's veto; TRUE when the change must not be made, with
    // the code to return in m_dwSkipCode (0 for a dry-run step).
    BOOL Skip(BOOL allowed, ChangeKind kind, const CString& target, const CString& name = CString(),
              HKEY root = NULL);
    void ReportResult(ChangeKind kind, DWORD result, const CString& target, const CString& name = CString(),
                      HKEY root = NULL);

    // In a dry run: the code a deletion of the file would fail with (it is missing, read-only or in
    // use), reported as the real run would report it; 0 when it would go.
    DWORD DryRunFileBlocker(ChangeKind kind, const CString& path);

    // What a dry run has deleted so far: keys and values, upper-cased file paths and printer names;
    // later steps of the dry run find them gone. Services it would have started are running for its
    // later steps.
    void ForgetDryRun();
    CKeySet m_dryRegistry;
    std::set<CString> m_dryFiles, m_dryPrinters, m_dryStarted;

    IChangeObserver* m_pObserver = NULL;
    IChangeGuard* m_pGuard = NULL;
    DWORD m_dwSkipCode = ERROR_SUCCESS;
    BOOL m_bDryRun = FALSE;
    int m_nDeferred = 0;
};

// The process's change layer.
inline CMachineChanges& Changes() {
    return CMachineChanges::Get();
}
