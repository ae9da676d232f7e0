// The change layer: every key, value, file, printer and service change of a removal passes here.
#include "engine/Changes.h"

#include <winspool.h>

#include "engine/ChangeMachine.h"
#include "engine/DryRun.h"
#include "engine/Fences.h"
#include "engine/MbText.h"

namespace {

// Windows itself: every change is made.
class CWindowsMachine : public IChangeMachine {
public:
    DWORD Blocker(const ChangeEvent&, HKEY, SC_HANDLE) override { return ERROR_SUCCESS; }
    void Make(ChangeEvent& change, const ChangeCall& call) override { call.Make(change); }
    LONG OpenKey(CRegKey& key, HKEY root, const CString& path, REGSAM access) override {
        return key.Open(root, path, access);
    }
    LONG EnumSubKey(HKEY key, HKEY, const CString&, DWORD index, LPSTR name, DWORD* cch) override {
        return RegEnumKeyExA(key, index, name, cch, NULL, NULL, NULL, NULL);
    }
    BOOL QueryServiceState(SC_HANDLE service, const CString&, SERVICE_STATUS* status) override {
        return QueryServiceStatus(service, status);
    }
    BOOL DeletedPrinter(const CString&) const override { return FALSE; }
    BOOL CompanionEffectsShow() const override { return TRUE; }
};

CWindowsMachine& Windows() {
    static CWindowsMachine machine;
    return machine;
}

CDryRunMachine& DryRun() {
    static CDryRunMachine machine;
    return machine;
}

// A change's call written in place at the change.
template <class Call>
class CCallInPlace : public ChangeCall {
public:
    explicit CCallInPlace(const Call& call) : m_call(call) {}
    void Make(ChangeEvent& change) const override { m_call(change); }

private:
    const Call& m_call;
};

// Sets the event as a call that ended with `result` reports it.
void Ended(ChangeEvent& event, DWORD result) {
    event.outcome = result == ERROR_SUCCESS ? CHANGE_DONE : CHANGE_FAILED;
    event.result = result;
}

}  // namespace

CMachineChanges::CMachineChanges() : m_pMachine(&Windows()) {}

CMachineChanges& CMachineChanges::Get() {
    static CMachineChanges layer;
    return layer;
}

void CMachineChanges::SetDryRun(BOOL dryRun) {
    m_bDryRun = dryRun;
    DryRun().Forget();
    m_pMachine = dryRun ? static_cast<IChangeMachine*>(&DryRun()) : &Windows();
}

BOOL CMachineChanges::RunDeletedPrinter(const CString& printerName) const {
    return m_pMachine->DeletedPrinter(printerName);
}

LONG CMachineChanges::EnumSubKey(HKEY key, HKEY root, const CString& path, DWORD index, LPSTR name, DWORD* cch) {
    return m_pMachine->EnumSubKey(key, root, path, index, name, cch);
}

BOOL CMachineChanges::CompanionEffectsSeenSince(int since) const {
    return m_nCompanionCalls == since || m_pMachine->CompanionEffectsShow();
}

LONG CMachineChanges::OpenKey(CRegKey& key, HKEY root, const CString& path, REGSAM access) {
    return m_pMachine->OpenKey(key, root, path, access);
}

void CMachineChanges::AddObserver(IChangeObserver* observer) {
    // Added twice, it is still told each change once.
    RemoveObserver(observer);
    m_observers.push_back(observer);
}

void CMachineChanges::RemoveObserver(IChangeObserver* observer) {
    for (size_t i = m_observers.size(); i-- > 0;) {
        if (m_observers[i] == observer) {
            m_observers.erase(m_observers.begin() + i);
            return;
        }
    }
}

void CMachineChanges::Report(const ChangeEvent& event) {
    // A copy: an observer may end its watch while it is told.
    const std::vector<IChangeObserver*> observers = m_observers;
    for (size_t i = observers.size(); i-- > 0;)
        observers[i]->OnChange(event);
}

BOOL CMachineChanges::Refused(ChangeEvent& event, BOOL allowed) {
    if (allowed)
        return FALSE;
    event.outcome = CHANGE_REFUSED;
    event.result = ERROR_ACCESS_DENIED;
    Report(event);
    return TRUE;
}

BOOL CMachineChanges::Blocked(ChangeEvent& event, HKEY key, SC_HANDLE service) {
    DWORD blocker = m_pMachine->Blocker(event, key, service);
    if (blocker == ERROR_SUCCESS)
        return FALSE;
    event.outcome = CHANGE_FAILED;
    event.result = blocker;
    Report(event);
    return TRUE;
}

BOOL CMachineChanges::Vetoed(ChangeEvent& event) {
    // The dry run has no guard: nothing it reports is changed.
    if (!m_pGuard || m_pMachine != &Windows())
        return FALSE;
    DWORD veto = m_pGuard->BeforeChange(event);
    if (veto == ERROR_SUCCESS)
        return FALSE;
    event.outcome = CHANGE_REFUSED;
    event.result = veto;
    Report(event);
    return TRUE;
}

template <class Call>
ChangeEvent CMachineChanges::Pass(ChangeKind kind, BOOL allowed, const CString& target, const CString& name, HKEY root,
                                  Call call, HKEY key, SC_HANDLE service) {
    ChangeEvent event = {kind, CHANGE_DONE, root, target, name, ERROR_SUCCESS};
    if (Refused(event, allowed) || Blocked(event, key, service) || Vetoed(event))
        return event;
    m_pMachine->Make(event, CCallInPlace<Call>(call));
    Report(event);
    return event;
}

BOOL CMachineChanges::MayDeleteKeyTree(HKEY root, const CString& path) {
    if (IsOwnKeyPath(root, path))
        return TRUE;
    ChangeEvent event = {CHANGE_DELETE_KEY, CHANGE_DONE, root, path, CString(), ERROR_SUCCESS};
    Refused(event, FALSE);
    return FALSE;
}

LONG CMachineChanges::DeleteKey(HKEY root, const CString& tree, const CString& path, HKEY parent, LPCSTR subKey) {
    // A key inside the tree: its path is the tree's, a separator (unless the tree ends in one) and more.
    const int length = tree.GetLength();
    const BOOL trailing = length > 0 && MbFindLastSeparator(tree, FALSE) == length - 1;
    const BOOL inside = path == tree || (path.GetLength() > length && path.Left(length) == tree &&
                                         (trailing || path.GetAt(length) == '\\'));
    return (LONG)Pass(CHANGE_DELETE_KEY, inside && IsOwnKeyPath(root, tree), path, CString(), root,
                      [&](ChangeEvent& e) { Ended(e, (DWORD)RegDeleteKeyA(parent, subKey)); })
        .result;
}

LONG CMachineChanges::DeleteValue(HKEY root, const CString& keyPath, HKEY key, LPCSTR valueName) {
    return (LONG)Pass(CHANGE_DELETE_VALUE, valueName && *valueName, keyPath, valueName ? valueName : "", root,
                      [&](ChangeEvent& e) { Ended(e, (DWORD)RegDeleteValueA(key, valueName)); }, key)
        .result;
}

BOOL CMachineChanges::RemoveFile(const CString& path, const CString& dir) {
    ChangeEvent done = Pass(CHANGE_DELETE_FILE, IsInsideDirectory(path, dir), path, CString(), NULL,
                            [&](ChangeEvent& e) { Ended(e, ResultOf(DeleteFileA(path))); });
    if (done.outcome == CHANGE_FAILED)
        SetLastError(done.result);
    return done.outcome == CHANGE_DONE;
}

BOOL CMachineChanges::RemoveFileAtRestart(const CString& path, const CString& dir) {
    return Pass(CHANGE_DELETE_AT_RESTART, IsInsideDirectory(path, dir), path, CString(), NULL,
                [&](ChangeEvent& e) { Ended(e, ResultOf(MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT))); })
               .outcome == CHANGE_DONE;
}

BOOL CMachineChanges::RemoveFileNowOrAtRestart(const CString& path, const CString& dir) {
    ChangeEvent now = Pass(CHANGE_DELETE_FILE, IsInsideDirectory(path, dir), path, CString(), NULL,
                           [&](ChangeEvent& e) { Ended(e, ResultOf(DeleteFileA(path))); });
    if (now.outcome != CHANGE_FAILED)
        return now.outcome == CHANGE_DONE;
    // It stays for now: the session manager deletes it at the next restart.
    ChangeEvent later = Pass(CHANGE_DELETE_AT_RESTART, TRUE, path, CString(), NULL, [&](ChangeEvent& e) {
        Ended(e, ResultOf(MoveFileExA(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT)));
    });
    // A candidate where no file lies is scheduled all the same, but needs no restart.
    if ((later.outcome == CHANGE_DONE || later.outcome == CHANGE_WOULD) && now.result != ERROR_FILE_NOT_FOUND &&
        now.result != ERROR_PATH_NOT_FOUND)
        m_nDeferred++;
    return FALSE;
}

BOOL CMachineChanges::UpdatePrinter(HANDLE printer, const CString& printerName, DWORD level, BYTE* info) {
    return Pass(CHANGE_SET_PRINTER, TRUE, printerName, CString(), NULL,
                [&](ChangeEvent& e) { Ended(e, ResultOf(SetPrinterA(printer, level, info, 0))); })
               .outcome == CHANGE_DONE;
}

BOOL CMachineChanges::DeletePrinter(HANDLE printer, const CString& printerName) {
    return Pass(CHANGE_DELETE_PRINTER, TRUE, printerName, CString(), NULL,
                [&](ChangeEvent& e) { Ended(e, ResultOf(::DeletePrinter(printer))); })
               .outcome == CHANGE_DONE;
}

int CMachineChanges::DriverDeletePrinter(const CString& libraryPath, CPrinterHandle& printer,
                                         const CString& printerName) {
    int result = 0;
    // Unloaded once the change is reported.
    CLibrary library;
    Pass(CHANGE_DRIVER_DELETE_PRINTER, TRUE, printerName, libraryPath, NULL, [&](ChangeEvent& e) {
        if (!library.Load(libraryPath)) {
            Ended(e, ResultOf(FALSE));
            return;
        }
        typedef BOOL(WINAPI * DeletePrinterFn)(HANDLE);
        DeletePrinterFn deletePrinter =
            reinterpret_cast<DeletePrinterFn>(reinterpret_cast<void (*)(void)>(library.GetProc("DeletePrinter")));
        if (!deletePrinter) {
            Ended(e, ResultOf(FALSE));
            return;
        }
        result = deletePrinter(printer);
        // The driver's code may still be needed to close its printer handle: close before unloading.
        printer.Close();
        Ended(e, result ? ERROR_SUCCESS : ResultOf(FALSE));
    });
    return result;
}

int CMachineChanges::CallCompanion(const CString& libraryPath, LPCSTR exportName, BOOL* called) {
    int result = 1;
    *called = FALSE;
    ChangeEvent done = Pass(CHANGE_CALL_COMPANION, TRUE, libraryPath, exportName, NULL, [&](ChangeEvent& e) {
        CLibrary library;
        if (!library.Load(libraryPath)) {
            Ended(e, ResultOf(FALSE));
            return;
        }
        typedef int (*CompanionFn)(void);
        CompanionFn entry =
            reinterpret_cast<CompanionFn>(reinterpret_cast<void (*)(void)>(library.GetProc(exportName)));
        if (!entry) {
            Ended(e, ResultOf(FALSE));
            return;
        }
        result = entry();
        *called = TRUE;
        library.Free();
        e.outcome = CHANGE_DONE;
        e.result = (DWORD)result;
    });
    // A dry run goes on as after a call that succeeded, so the steps after it are reported too.
    if (done.outcome == CHANGE_WOULD)
        *called = TRUE;
    if (*called)
        m_nCompanionCalls++;
    return result;
}

BOOL CMachineChanges::CopyFileOver(const CString& source, const CString& target, const CString& dir) {
    ChangeEvent done = Pass(CHANGE_COPY_FILE, IsInsideDirectory(target, dir), target, source, NULL,
                            [&](ChangeEvent& e) { Ended(e, ResultOf(CopyFileA(source, target, FALSE))); });
    return done.outcome == CHANGE_DONE || done.outcome == CHANGE_WOULD;
}

BOOL CMachineChanges::SetFileTimes(const CString& path, const CString& dir, const FILETIME& time) {
    ChangeEvent done = Pass(CHANGE_SET_FILE_TIMES, IsInsideDirectory(path, dir), path, CString(), NULL,
                            [&](ChangeEvent& e) {
                                CKernelHandle file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                               NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
                                Ended(e, file.IsValid() ? ResultOf(SetFileTime(file, &time, &time, &time))
                                                        : ResultOf(FALSE));
                            });
    return done.outcome == CHANGE_DONE || done.outcome == CHANGE_WOULD;
}

BOOL CMachineChanges::RequestServiceStop(SC_HANDLE service, LPCSTR name) {
    return Pass(
               CHANGE_STOP_SERVICE, TRUE, name, CString(), NULL,
               [&](ChangeEvent& e) {
                   SERVICE_STATUS status;
                   Ended(e, ResultOf(ControlService(service, SERVICE_CONTROL_STOP, &status)));
               },
               NULL, service)
               .outcome == CHANGE_DONE;
}

BOOL CMachineChanges::RequestServiceStart(SC_HANDLE service, LPCSTR name) {
    ChangeEvent done = Pass(CHANGE_START_SERVICE, TRUE, name, CString(), NULL,
                            [&](ChangeEvent& e) { Ended(e, ResultOf(StartServiceA(service, 0, NULL))); });
    return done.outcome == CHANGE_DONE || done.outcome == CHANGE_WOULD;
}

BOOL CMachineChanges::QueryServiceState(SC_HANDLE service, LPCSTR name, SERVICE_STATUS* status) {
    return m_pMachine->QueryServiceState(service, name, status);
}
