// The change layer: every key, value, file, printer and service change of a removal passes here.
#include "engine/Changes.h"

#include <winspool.h>

#include "engine/ChangeEffects.h"
#include "engine/Fences.h"
#include "engine/MbText.h"
#include "engine/OsFamily.h"

void CMachineChanges::ForgetDryRun() {
    m_dryRegistry.Clear();
    m_dryFiles.clear();
    m_dryPrinters.clear();
    m_dryStarted.clear();
}

BOOL CMachineChanges::DryRunDeletedPrinter(const CString& printerName) const {
    if (!m_bDryRun)
        return FALSE;
    // Its key deleted, the spooler forgets the printer when it starts again.
    return m_dryPrinters.count(UpperName(printerName)) != 0 ||
           m_dryRegistry.CoversKey(HKEY_LOCAL_MACHINE, PrinterKeyPath(printerName));
}

LONG CMachineChanges::OpenKey(CRegKey& key, HKEY root, const CString& path, REGSAM access) {
    if (m_bDryRun && m_dryRegistry.CoversKey(root, path))
        return ERROR_FILE_NOT_FOUND;
    return key.Open(root, path, access);
}

CMachineChanges& CMachineChanges::Get() {
    static CMachineChanges layer;
    return layer;
}

void CMachineChanges::Report(ChangeKind kind, ChangeOutcome outcome, DWORD result, const CString& target,
                             const CString& name, HKEY root) {
    if (!m_pObserver)
        return;
    ChangeEvent event = {kind, outcome, root, target, name, result};
    m_pObserver->OnChange(event);
}

BOOL CMachineChanges::Skip(BOOL allowed, ChangeKind kind, const CString& target, const CString& name, HKEY root) {
    m_dwSkipCode = ERROR_SUCCESS;
    if (!allowed) {
        m_dwSkipCode = ERROR_ACCESS_DENIED;
        Report(kind, CHANGE_REFUSED, ERROR_ACCESS_DENIED, target, name, root);
        return TRUE;
    }
    if (m_bDryRun) {
        // Later steps find gone what the change removes.
        ChangeEvent event = {kind, CHANGE_WOULD, root, target, name, ERROR_SUCCESS};
        for (const ChangeEffect& effect : EffectsOf(event)) {
            if (!effect.gone)
                continue;
            if (effect.kind == EFFECT_KEY_TREE)
                m_dryRegistry.AddKey(effect.root, effect.path);
            else if (effect.kind == EFFECT_VALUE)
                m_dryRegistry.AddValue(effect.root, effect.path, effect.name);
            else
                m_dryFiles.insert(UpperName(effect.path));
        }
        if (kind == CHANGE_DELETE_PRINTER || kind == CHANGE_DRIVER_DELETE_PRINTER)
            m_dryPrinters.insert(UpperName(target));
        Report(kind, CHANGE_WOULD, ERROR_SUCCESS, target, name, root);
        return TRUE;
    }
    if (m_pGuard) {
        ChangeEvent event = {kind, CHANGE_DONE, root, target, name, ERROR_SUCCESS};
        DWORD veto = m_pGuard->BeforeChange(event);
        if (veto != ERROR_SUCCESS) {
            m_dwSkipCode = veto;
            Report(kind, CHANGE_REFUSED, veto, target, name, root);
            return TRUE;
        }
    }
    return FALSE;
}

DWORD CMachineChanges::DryRunFileBlocker(ChangeKind kind, const CString& path) {
    DWORD attributes = GetFileAttributesA(path);
    DWORD blocker = ERROR_SUCCESS;
    if (m_dryFiles.count(UpperName(path))) {
        blocker = ERROR_FILE_NOT_FOUND;
    } else if (attributes == INVALID_FILE_ATTRIBUTES) {
        blocker = ResultOf(FALSE);
    } else if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
        blocker = ERROR_ACCESS_DENIED;
    } else {
        // Opening for deletion changes nothing and meets the same holders the deletion would.
        CKernelHandle probe(CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
        if (!probe.IsValid())
            blocker = ResultOf(FALSE);
    }
    if (blocker != ERROR_SUCCESS)
        ReportResult(kind, blocker, path);
    return blocker;
}

void CMachineChanges::ReportResult(ChangeKind kind, DWORD result, const CString& target, const CString& name,
                                   HKEY root) {
    Report(kind, result == ERROR_SUCCESS ? CHANGE_DONE : CHANGE_FAILED, result, target, name, root);
}

BOOL CMachineChanges::MayDeleteKeyTree(HKEY root, const CString& path) {
    if (IsOwnKeyPath(root, path))
        return TRUE;
    Report(CHANGE_DELETE_KEY, CHANGE_REFUSED, ERROR_ACCESS_DENIED, path, CString(), root);
    return FALSE;
}

LONG CMachineChanges::DeleteKey(HKEY root, const CString& tree, const CString& path, HKEY parent, LPCSTR subKey) {
    // A key inside the tree: its path is the tree's, a separator (unless the tree ends in one) and more.
    const int length = tree.GetLength();
    const BOOL trailing = length > 0 && MbFindLastSeparator(tree, FALSE) == length - 1;
    const BOOL inside = path == tree || (path.GetLength() > length && path.Left(length) == tree &&
                                         (trailing || path.GetAt(length) == '\\'));
    BOOL allowed = inside && IsOwnKeyPath(root, tree);
    if (Skip(allowed, CHANGE_DELETE_KEY, path, CString(), root))
        return m_dwSkipCode;
    LONG rc = RegDeleteKeyA(parent, subKey);
    ReportResult(CHANGE_DELETE_KEY, (DWORD)rc, path, CString(), root);
    return rc;
}

LONG CMachineChanges::DeleteValue(HKEY root, const CString& keyPath, HKEY key, LPCSTR valueName) {
    BOOL allowed = valueName && *valueName;
    CString name = valueName ? valueName : "";
    if (allowed && m_bDryRun) {
        LONG missing = m_dryRegistry.CoversValue(root, keyPath, name)
                           ? ERROR_FILE_NOT_FOUND
                           : RegQueryValueExA(key, valueName, NULL, NULL, NULL, NULL);
        if (missing != ERROR_SUCCESS) {
            ReportResult(CHANGE_DELETE_VALUE, (DWORD)missing, keyPath, name, root);
            return missing;
        }
    }
    if (Skip(allowed, CHANGE_DELETE_VALUE, keyPath, name, root))
        return m_dwSkipCode;
    LONG rc = RegDeleteValueA(key, valueName);
    ReportResult(CHANGE_DELETE_VALUE, (DWORD)rc, keyPath, name, root);
    return rc;
}

BOOL CMachineChanges::RemoveFile(const CString& path, const CString& dir) {
    BOOL allowed = IsInsideDirectory(path, dir);
    if (allowed && m_bDryRun && DryRunFileBlocker(CHANGE_DELETE_FILE, path) != ERROR_SUCCESS)
        return FALSE;
    if (Skip(allowed, CHANGE_DELETE_FILE, path))
        return FALSE;
    DWORD rc = ResultOf(DeleteFileA(path));
    ReportResult(CHANGE_DELETE_FILE, rc, path);
    if (rc != ERROR_SUCCESS)
        SetLastError(rc);
    return rc == ERROR_SUCCESS;
}

BOOL CMachineChanges::RemoveFileAtRestart(const CString& path, const CString& dir) {
    BOOL allowed = IsInsideDirectory(path, dir);
    if (allowed && m_bDryRun && RunsOnWindows9x()) {
        ReportResult(CHANGE_DELETE_AT_RESTART, ERROR_CALL_NOT_IMPLEMENTED, path);
        return FALSE;
    }
    if (Skip(allowed, CHANGE_DELETE_AT_RESTART, path))
        return FALSE;
    DWORD rc = ResultOf(MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
    ReportResult(CHANGE_DELETE_AT_RESTART, rc, path);
    return rc == ERROR_SUCCESS;
}

BOOL CMachineChanges::RemoveFileNowOrAtRestart(const CString& path, const CString& dir) {
    BOOL allowed = IsInsideDirectory(path, dir);
    if (allowed && m_bDryRun) {
        // The real run would fail to delete it now and hand it to the restart.
        DWORD blocker = DryRunFileBlocker(CHANGE_DELETE_FILE, path);
        if (blocker != ERROR_SUCCESS) {
            // Windows 9x has no deletion at the restart through MoveFileEx.
            if (RunsOnWindows9x()) {
                ReportResult(CHANGE_DELETE_AT_RESTART, ERROR_CALL_NOT_IMPLEMENTED, path);
                return FALSE;
            }
            Skip(TRUE, CHANGE_DELETE_AT_RESTART, path);
            if (blocker != ERROR_FILE_NOT_FOUND && blocker != ERROR_PATH_NOT_FOUND)
                m_nDeferred++;
            return FALSE;
        }
    }
    if (Skip(allowed, CHANGE_DELETE_FILE, path))
        return FALSE;
    DWORD rc = ResultOf(DeleteFileA(path));
    ReportResult(CHANGE_DELETE_FILE, rc, path);
    if (rc == ERROR_SUCCESS)
        return TRUE;
    if (Skip(TRUE, CHANGE_DELETE_AT_RESTART, path))
        return FALSE;
    DWORD deferred = ResultOf(MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT));
    ReportResult(CHANGE_DELETE_AT_RESTART, deferred, path);
    // A candidate where no file lies is scheduled all the same, but needs no restart.
    if (deferred == ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND && rc != ERROR_PATH_NOT_FOUND)
        m_nDeferred++;
    return FALSE;
}

BOOL CMachineChanges::UpdatePrinter(HANDLE printer, const CString& printerName, DWORD level, BYTE* info) {
    // A printer the dry run deleted cannot be opened by the real run: its handle is none.
    if (m_bDryRun && m_dryPrinters.count(UpperName(printerName))) {
        ReportResult(CHANGE_SET_PRINTER, ERROR_INVALID_HANDLE, printerName);
        return FALSE;
    }
    if (Skip(TRUE, CHANGE_SET_PRINTER, printerName))
        return FALSE;
    DWORD rc = ResultOf(SetPrinterA(printer, level, info, 0));
    ReportResult(CHANGE_SET_PRINTER, rc, printerName);
    return rc == ERROR_SUCCESS;
}

BOOL CMachineChanges::DeletePrinter(HANDLE printer, const CString& printerName) {
    // A printer the dry run deleted cannot be opened by the real run: its handle is none.
    if (m_bDryRun && m_dryPrinters.count(UpperName(printerName))) {
        ReportResult(CHANGE_DELETE_PRINTER, ERROR_INVALID_HANDLE, printerName);
        return FALSE;
    }
    if (Skip(TRUE, CHANGE_DELETE_PRINTER, printerName))
        return FALSE;
    DWORD rc = ResultOf(::DeletePrinter(printer));
    ReportResult(CHANGE_DELETE_PRINTER, rc, printerName);
    return rc == ERROR_SUCCESS;
}

int CMachineChanges::DriverDeletePrinter(const CString& libraryPath, CPrinterHandle& printer,
                                         const CString& printerName) {
    // Loading the driver's library already runs its code: a dry run does not load it.
    if (Skip(TRUE, CHANGE_DRIVER_DELETE_PRINTER, printerName, libraryPath))
        return 0;
    CLibrary library;
    if (!library.Load(libraryPath)) {
        ReportResult(CHANGE_DRIVER_DELETE_PRINTER, ResultOf(FALSE), printerName, libraryPath);
        return 0;
    }
    typedef BOOL(WINAPI * DeletePrinterFn)(HANDLE);
    DeletePrinterFn deletePrinter =
        reinterpret_cast<DeletePrinterFn>(reinterpret_cast<void (*)(void)>(library.GetProc("DeletePrinter")));
    if (!deletePrinter) {
        ReportResult(CHANGE_DRIVER_DELETE_PRINTER, ResultOf(FALSE), printerName, libraryPath);
        return 0;
    }
    int result = deletePrinter(printer);
    // The driver's code may still be needed to close its printer handle: close before unloading.
    printer.Close();
    ReportResult(CHANGE_DRIVER_DELETE_PRINTER, result ? ERROR_SUCCESS : ResultOf(FALSE), printerName,
                 libraryPath);
    return result;
}

int CMachineChanges::CallCompanion(const CString& libraryPath, LPCSTR exportName, BOOL* called) {
    *called = FALSE;
    if (Skip(TRUE, CHANGE_CALL_COMPANION, libraryPath, exportName)) {
        // A dry run goes on as after a call that succeeded, so the steps after it are reported too.
        *called = m_bDryRun && m_dwSkipCode == ERROR_SUCCESS;
        return 1;
    }
    CLibrary library;
    if (!library.Load(libraryPath)) {
        ReportResult(CHANGE_CALL_COMPANION, ResultOf(FALSE), libraryPath, exportName);
        return 1;
    }
    typedef int (*CompanionFn)(void);
    CompanionFn entry = reinterpret_cast<CompanionFn>(reinterpret_cast<void (*)(void)>(library.GetProc(exportName)));
    if (!entry) {
        ReportResult(CHANGE_CALL_COMPANION, ResultOf(FALSE), libraryPath, exportName);
        return 1;
    }
    int result = entry();
    *called = TRUE;
    library.Free();
    Report(CHANGE_CALL_COMPANION, CHANGE_DONE, (DWORD)result, libraryPath, exportName);
    return result;
}

BOOL CMachineChanges::CopyFileOver(const CString& source, const CString& target, const CString& dir) {
    BOOL allowed = IsInsideDirectory(target, dir);
    if (Skip(allowed, CHANGE_COPY_FILE, target, source))
        return m_bDryRun && allowed && m_dwSkipCode == ERROR_SUCCESS;
    DWORD rc = ResultOf(CopyFileA(source, target, FALSE));
    ReportResult(CHANGE_COPY_FILE, rc, target, source);
    return rc == ERROR_SUCCESS;
}

BOOL CMachineChanges::SetFileTimes(const CString& path, const CString& dir, const FILETIME& time) {
    BOOL allowed = IsInsideDirectory(path, dir);
    if (Skip(allowed, CHANGE_SET_FILE_TIMES, path))
        return m_bDryRun && allowed && m_dwSkipCode == ERROR_SUCCESS;
    CKernelHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, NULL));
    DWORD rc = file.IsValid() ? ResultOf(SetFileTime(file, &time, &time, &time)) : ResultOf(FALSE);
    ReportResult(CHANGE_SET_FILE_TIMES, rc, path);
    return rc == ERROR_SUCCESS;
}

BOOL CMachineChanges::RequestServiceStop(SC_HANDLE service, LPCSTR name) {
    // A service that is stopped refuses the stop (ERROR_SERVICE_NOT_ACTIVE), unless the real run would
    // have started it by then.
    SERVICE_STATUS current;
    if (m_bDryRun && !m_dryStarted.count(UpperName(name)) && QueryServiceStatus(service, &current) &&
        current.dwCurrentState == SERVICE_STOPPED) {
        ReportResult(CHANGE_STOP_SERVICE, ERROR_SERVICE_NOT_ACTIVE, name);
        return FALSE;
    }
    if (Skip(TRUE, CHANGE_STOP_SERVICE, name))
        return FALSE;
    SERVICE_STATUS status;
    DWORD rc = ResultOf(ControlService(service, SERVICE_CONTROL_STOP, &status));
    ReportResult(CHANGE_STOP_SERVICE, rc, name);
    return rc == ERROR_SUCCESS;
}

BOOL CMachineChanges::RequestServiceStart(SC_HANDLE service, LPCSTR name) {
    if (Skip(TRUE, CHANGE_START_SERVICE, name)) {
        if (m_bDryRun)
            m_dryStarted.insert(UpperName(name));
        return FALSE;
    }
    DWORD rc = ResultOf(StartServiceA(service, 0, NULL));
    ReportResult(CHANGE_START_SERVICE, rc, name);
    return rc == ERROR_SUCCESS;
}
