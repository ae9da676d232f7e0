// A change to the machine as the change layer reports it, and those who see it.
#pragma once

#include <windows.h>

#include "afx/afxstr.h"

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
