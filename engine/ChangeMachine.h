// The machine the change layer makes its changes on, chosen once per run: Windows itself, or the dry run's
// model of it, which changes nothing and records what the real run would have done.
#pragma once

#include <windows.h>

#include "afx/afxhandles.h"
#include "afx/afxstr.h"
#include "engine/ChangeEvent.h"

// Makes one change on Windows and sets the event's outcome and result.
class ChangeCall {
public:
    virtual void Make(ChangeEvent& change) const = 0;

protected:
    ~ChangeCall() {}
};

class IChangeMachine {
public:
    virtual ~IChangeMachine() {}
    // The code the change would fail with before anything is made, 0 when it goes ahead. `key`: the open
    // key of a value's deletion; `service`: the open service of a service change.
    virtual DWORD Blocker(const ChangeEvent& change, HKEY key, SC_HANDLE service) = 0;
    // Makes the change through `call`, or records it: sets the event's outcome and result.
    virtual void Make(ChangeEvent& change, const ChangeCall& call) = 0;
    // Opens root\path for a step that reads or walks what it deletes.
    virtual LONG OpenKey(CRegKey& key, HKEY root, const CString& path, REGSAM access) = 0;
    // The index-th sub-key of `key`, open on root\path, that the run has not deleted: RegEnumKeyExA's
    // arguments and codes. root\path must be a key the run has not deleted.
    virtual LONG EnumSubKey(HKEY key, HKEY root, const CString& path, DWORD index, LPSTR name, DWORD* cch) = 0;
    // QueryServiceStatus of the open service `name`, with the state the run's own stops and starts left.
    virtual BOOL QueryServiceState(SC_HANDLE service, const CString& name, SERVICE_STATUS* status) = 0;
    // Whether the run deleted the printer though the spooler may still list it.
    virtual BOOL DeletedPrinter(const CString& printerName) const = 0;
    // Whether what the companion's exports removed shows on the machine (a dry run calls none).
    virtual BOOL CompanionEffectsShow() const = 0;
};
