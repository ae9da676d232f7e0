// A simulated workstation with Trellin installed, and the Brontal and ordinary drivers tests put on it.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <winsim/machine.h>

#include <string>
#include <vector>

#include "engine/PrinterEntry.h"

// Family of the OS presets, as the program computes it.
int FamilyOf(winsim::Os os);

class Workstation {
public:
    explicit Workstation(winsim::Os os = winsim::Os::WinXP);

    winsim::Machine* operator->() { return &*m_machine; }
    winsim::Machine& machine() { return *m_machine; }

    // The local driver directory as the spooler reports it.
    std::string DriverDir();
    // Installs a driver whose data file has a .UIM file beside it.
    void AddUimDriver(const std::string& driver, const std::string& dataFile);
    // Installs a driver whose .PPD data file carries the vendor marker near its start.
    void AddMarkerDriver(const std::string& driver, const std::string& dataFile);
    // Installs a driver that is not a Brontal one.
    void AddPlainDriver(const std::string& driver, const std::string& dataFile);
    void AddPrinter(const std::string& name, const std::string& driver);

    // Runs Trellin.exe with `arguments` after the program's name; returns its exit code.
    int Run(const std::string& arguments);

    // A prepared entry for `printer`, as the enumeration makes it on this machine's family.
    CPrinterEntry* MakeEntry(const std::string& printer, int family);

private:
    winsim::ScopedMachine m_machine;
};

// Paths of an entry's file list, in list order.
std::vector<std::string> FilePaths(CPrinterEntry& entry);
