// The simulated workstation: one object holding every part of the machine the Win32 calls act on.
#pragma once

#include <winsim/wintypes.h>
#include <winsim/faults.h>
#include <winsim/system.h>
#include <winsim/registry.h>
#include <winsim/filesystem.h>
#include <winsim/spooler.h>
#include <winsim/modules.h>
#include <winsim/gdi.h>
#include <winsim/ui.h>
#include <winsim/user.h>
#include <winsim/debug.h>
#include <winsim/services.h>
#include <winsim/security.h>
#include <winsim/processes.h>
#include <winsim/shell.h>

#include <stdexcept>
#include <string>

namespace winsim {

// Thrown when the program waits for input the test did not script, or runs into a state the
// simulation refuses to guess about; it unwinds the program's stack back to the test.
class SimAbort : public std::runtime_error {
public:
    explicit SimAbort(const std::string& why) : std::runtime_error(why) {}
};

struct Machine {
    Machine();
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    DWORD lastError = 0;
    // Virtual clock in milliseconds since boot: Sleep, GetTickCount, timers and services use it.
    uint64_t now = 0;

    Faults faults;
    SystemInfo system;
    Registry registry;
    FileSystem files;
    Spooler spooler;
    Modules modules;
    Gdi gdi;
    Ui ui;
    ScriptedUser user;
    DebugCapture debug;
    ServiceManager services;
    Security security;
    Processes processes;
    Shell shell;

    // Advances the virtual clock; timers and services that fall due are handled by their owners.
    void Advance(uint64_t ms) {
        now += ms;
        services.Settle(now, spooler);
    }
    // The machine starts again: the pending file renames and deletions run in order (the value is then
    // cleared), files other processes held open or mapped are free, the services are back in their boot
    // state (the spooler running, its printers read again) and the token has its default privileges.
    // The program's own handles and windows are left as they are. Needs no ExitWindowsEx before it.
    void Restart();
};

// The machine the Win32 calls act on; aborts if none is installed.
Machine& Current();
bool HasCurrent();

// Installs a machine as current for its lifetime (tests construct one per case).
class ScopedMachine {
public:
    ScopedMachine();
    ~ScopedMachine();
    Machine& operator*() { return *m_machine; }
    Machine* operator->() { return m_machine; }

private:
    Machine* m_machine;
    Machine* m_previous;
};

}  // namespace winsim
