// The dry run's machine: what the real run would meet and leave, without a change.
#include "engine/DryRun.h"

#include "engine/ChangeEffects.h"
#include "engine/OsFamily.h"

void CDryRunMachine::Forget() {
    m_registry.Clear();
    m_files.clear();
    m_printers.clear();
    m_services.clear();
    m_deletedBelow.clear();
}

BOOL CDryRunMachine::DeletedPrinter(const CString& printerName) const {
    // Its key deleted, the spooler forgets the printer when it starts again.
    return m_printers.count(UpperName(printerName)) != 0 ||
           m_registry.CoversKey(HKEY_LOCAL_MACHINE, PrinterKeyPath(printerName));
}

LONG CDryRunMachine::OpenKey(CRegKey& key, HKEY root, const CString& path, REGSAM access) {
    // A key the run has already deleted (or one below it) is missing, as the real run would find it.
    if (m_registry.CoversKey(root, path))
        return ERROR_FILE_NOT_FOUND;
    return key.Open(root, path, access);
}

LONG CDryRunMachine::EnumSubKey(HKEY key, HKEY root, const CString& path, DWORD index, LPSTR name, DWORD* cch) {
    // root\path itself is not deleted, so a sub-key is gone exactly when the run deleted that very key. The
    // dry run changes no key: each look lists the real sub-keys in the same order.
    DWORD& deletedBelow = m_deletedBelow[CKeySet::KeyTag(root, path)];
    const DWORD room = *cch;
    BOOL allDeleted = TRUE;
    DWORD remaining = 0;
    for (DWORD at = deletedBelow;; ++at) {
        *cch = room;
        const LONG rc = RegEnumKeyExA(key, at, name, cch, NULL, NULL, NULL, NULL);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (m_registry.HoldsKey(root, SubKeyPath(path, name))) {
            if (allDeleted)
                deletedBelow = at + 1;
            continue;
        }
        allDeleted = FALSE;
        if (remaining++ == index)
            return ERROR_SUCCESS;
    }
}

BOOL CDryRunMachine::QueryServiceState(SC_HANDLE service, const CString& name, SERVICE_STATUS* status) {
    // The real query, which fails where the real run's would; the run's own stop or start decides the state.
    if (!QueryServiceStatus(service, status))
        return FALSE;
    const auto held = m_services.find(UpperName(name));
    if (held != m_services.end()) {
        status->dwCurrentState = held->second;
        status->dwCheckPoint = 0;
        status->dwWaitHint = 0;
    }
    return TRUE;
}

DWORD CDryRunMachine::FileBlocker(const CString& path) const {
    if (m_files.count(UpperName(path)))
        return ERROR_FILE_NOT_FOUND;
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ResultOf(FALSE);
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_ACCESS_DENIED;
    // Opening for deletion changes nothing and meets the same holders the deletion would.
    CKernelHandle probe(CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    return probe.IsValid() ? ERROR_SUCCESS : ResultOf(FALSE);
}

DWORD CDryRunMachine::Blocker(const ChangeEvent& change, HKEY key, SC_HANDLE service) {
    switch (change.kind) {
    case CHANGE_DELETE_VALUE:
        // A missing value fails to go as the real deletion would.
        if (m_registry.CoversValue(change.root, change.target, change.name))
            return ERROR_FILE_NOT_FOUND;
        return (DWORD)RegQueryValueExA(key, change.name, NULL, NULL, NULL, NULL);
    case CHANGE_DELETE_FILE: return FileBlocker(change.target);
    case CHANGE_DELETE_AT_RESTART:
        // Windows 9x has no deletion at the restart through MoveFileEx.
        return RunsOnWindows9x() ? ERROR_CALL_NOT_IMPLEMENTED : ERROR_SUCCESS;
    case CHANGE_SET_PRINTER:
    case CHANGE_DELETE_PRINTER:
        // A printer the run deleted cannot be opened by the real run: its handle is none.
        return m_printers.count(UpperName(change.target)) ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
    case CHANGE_STOP_SERVICE: {
        // A stopped service refuses the stop, whether it was stopped before the run or by the run's own stop.
        SERVICE_STATUS current;
        if (QueryServiceState(service, change.target, &current) && current.dwCurrentState == SERVICE_STOPPED)
            return ERROR_SERVICE_NOT_ACTIVE;
        return ERROR_SUCCESS;
    }
    default: return ERROR_SUCCESS;
    }
}

void CDryRunMachine::Make(ChangeEvent& change, const ChangeCall&) {
    // Loading a library already runs its code: nothing is called, nothing loaded. Later steps find gone what
    // the change removes.
    for (const ChangeEffect& effect : EffectsOf(change)) {
        if (!effect.gone)
            continue;
        if (effect.kind == EFFECT_KEY_TREE) {
            m_registry.AddKey(effect.root, effect.path);
            m_deletedBelow.erase(CKeySet::KeyTag(effect.root, effect.path));
        } else if (effect.kind == EFFECT_VALUE) {
            m_registry.AddValue(effect.root, effect.path, effect.name);
        } else {
            m_files.insert(UpperName(effect.path));
        }
    }
    if (change.kind == CHANGE_DELETE_PRINTER || change.kind == CHANGE_DRIVER_DELETE_PRINTER)
        m_printers.insert(UpperName(change.target));
    // The service stays as the run's own stop or start left it, for the cycle's polls and later stops.
    if (change.kind == CHANGE_STOP_SERVICE)
        m_services[UpperName(change.target)] = SERVICE_STOPPED;
    if (change.kind == CHANGE_START_SERVICE)
        m_services[UpperName(change.target)] = SERVICE_RUNNING;
    change.outcome = CHANGE_WOULD;
    change.result = ERROR_SUCCESS;
}
