// The one narrow layer every change to the machine goes through: fences that refuse what is plainly not a
// printer's or its driver's own data, the guard, a report of each change to the observers, and the machine the
// change is made on, chosen once per run: Windows itself or the dry run, which only reports.
#pragma once

#include <windows.h>

#include <vector>

#include "afx/afxhandles.h"
#include "afx/afxstr.h"
#include "engine/ChangeEvent.h"
#include "engine/Fences.h"

class IChangeMachine;

class CMachineChanges {
public:
    // The process's one layer.
    static CMachineChanges& Get();

    // Observers see every change, refusal and dry-run step, the one added last first. Not owned.
    // Only the application wires them up.
    void AddObserver(IChangeObserver* observer);
    void RemoveObserver(IChangeObserver* observer);
    // The guard asked before every change; NULL for none. Not owned.
    void SetGuard(IChangeGuard* guard) { m_pGuard = guard; }
    // Chooses the machine the changes of the run that follows are made on: Windows itself, or the dry run
    // that changes nothing and reports what the real run would do. Starting or ending a dry run forgets what
    // an earlier one would have deleted.
    void SetDryRun(BOOL dryRun);
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

    // RegEnumKeyExA(key, index, name, cch) over the sub-keys of root\path (a key the run has not deleted)
    // that the run has not deleted: a dry run skips the ones it reported deleted, as the real run finds
    // them gone.
    LONG EnumSubKey(HKEY key, HKEY root, const CString& path, DWORD index, LPSTR name, DWORD* cch);

    // Whether the run deleted the printer (through the spooler or its driver, or its key) though the spooler
    // may still list it: a dry run's later steps find it gone, as the real run would. FALSE for the real
    // run, whose spooler answers for itself.
    BOOL RunDeletedPrinter(const CString& printerName) const;

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

    // ---- services. The service must be open with the rights the call needs. The start is TRUE in a dry
    // run when it would be made, so that the run goes on as after the real start.
    BOOL RequestServiceStop(SC_HANDLE service, LPCSTR name);
    BOOL RequestServiceStart(SC_HANDLE service, LPCSTR name);
    // QueryServiceStatus(service, status); a dry run reports the state its own stop or start left.
    BOOL QueryServiceState(SC_HANDLE service, LPCSTR name, SERVICE_STATUS* status);

    // Files that existed and were left for deletion at the next restart since the last reset.
    int DeferredFiles() const { return m_nDeferred; }
    void ResetDeferredFiles() { m_nDeferred = 0; }
    // Companion exports called (or, in a dry run, that would be) since the process began.
    int CompanionCalls() const { return m_nCompanionCalls; }
    // Whether what the companion calls made since CompanionCalls() was `since` removed can be seen on the
    // machine: TRUE when there were none; FALSE in a dry run, which called none of them.
    BOOL CompanionEffectsSeenSince(int since) const;

private:
    CMachineChanges();
    void Report(const ChangeEvent& event);
    // The three decisions before a change, in order; each TRUE when it stops the change, with the event's
    // outcome and result set and reported. A fence refused it:
    BOOL Refused(ChangeEvent& event, BOOL allowed);
    // The machine answers what the change would meet (the dry run: a missing value or file, a file in use,
    // a printer it deleted, a stopped service):
    BOOL Blocked(ChangeEvent& event, HKEY key = NULL, SC_HANDLE service = NULL);
    // The guard stopped it:
    BOOL Vetoed(ChangeEvent& event);
    // The decisions, then the change made on the run's machine through `call` (which sets the event's
    // outcome and result) and reported; the event as reported.
    template <class Call>
    ChangeEvent Pass(ChangeKind kind, BOOL allowed, const CString& target, const CString& name, HKEY root, Call call,
                     HKEY key = NULL, SC_HANDLE service = NULL);

    IChangeMachine* m_pMachine;
    std::vector<IChangeObserver*> m_observers;
    IChangeGuard* m_pGuard = NULL;
    BOOL m_bDryRun = FALSE;
    int m_nDeferred = 0;
    int m_nCompanionCalls = 0;
};

// The process's change layer.
inline CMachineChanges& Changes() {
    return CMachineChanges::Get();
}
