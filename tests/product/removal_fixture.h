// A workstation with one Brontal printer to remove and the traces its printer and driver leave in the
// registry, beside another printer whose traces must survive.
#pragma once

#include <memory>
#include <string>

#include "snapshot.h"
#include "workstation.h"

extern const char kUserSid[];
extern const char kPrintersKey[];  // HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers

// Writes every registry trace of printer `printer` with driver `driver` that a removal cleans (per-user
// settings, device modes, the default user's and the fixed user's copies, control-set copies and the
// vendor's data location `location` under HKLM and HKCU).
void SeedRegistryTraces(Workstation& ws, const std::string& printer, const std::string& driver,
                        const std::string& location);

struct RemovalBench {
    explicit RemovalBench(winsim::Os os = winsim::Os::WinXP);
    Workstation ws;
    // "Office" on driver "PS Driver" (data file Office.PPD, with a .UIM beside it) and "Other" on
    // "Other Driver"; both local, Office shared as "OFFICE".
    std::unique_ptr<CPrinterEntry> office;
    std::string driverDir;
    // Makes (or remakes) the entry for "Office" as the enumeration prepares it.
    CPrinterEntry& Office();
    // A connection \\srv\q on "PS Driver" whose cached copy names the data location
    // Software\Brontal\Remote\q; returns the cached copy's key.
    std::string AddConnection();
    // The connection's per-user data (HKCU\Software\Brontal\Remote\q) names the file C:\Brontal\ext.txt,
    // which holds `content` ("<none>": the file is not there).
    void NameExtInfoFile(const std::string& content);
};

// Whether HKLM/HKCU/HKU path exists (root prefix in the path).
bool KeyThere(const std::string& path);
bool ValueThere(const std::string& path, const std::string& name);
