// A workstation for whole removals: Brontal printers with their drivers' own libraries (a "DeletePrinter"
// export) and the companion library (a "Delete" export that records its call), and Trellin's own copy
// of the companion beside the program.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "snapshot.h"
#include "workstation.h"

extern const char kShippedCompanion[];  // beside the program

// What the simulated companion library does when called.
struct CompanionScript {
    int result = 1;
    int calls = 0;
    // Runs inside the call: the removal is under way, its spooler cycle not yet begun.
    std::function<void()> during;
};
extern CompanionScript g_companion;

class RemovalStation {
public:
    explicit RemovalStation(winsim::Os os = winsim::Os::WinXP);
    Workstation ws;
    std::string driverDir;   // the spooler's driver directory
    std::string versionDir;  // where an installed driver's files lie (driverDir\3 on NT)

    // A Brontal driver `driver` whose data file is `dataFile` (with a .UIM beside it), its own library
    // (data file name with extension DLL) and, when `companion`, its copy of the companion library.
    void AddBrontalDriver(const std::string& driver, const std::string& dataFile, bool companion = true);
    void AddPrinter(const std::string& printer, const std::string& driver, bool shared = false);
    // "Office", shared, on its own Brontal driver "Brontal Office"; "Plain" on a driver of another maker
    // ("Plain Driver") with a per-user settings key.
    void AddOfficeAndPlain();
    // "Lobby" on its own Brontal driver "Brontal Lobby" (LOBBY.PPD), without a companion library.
    void AddLobby();

    // Runs Trellin with `arguments`; returns the exit code.
    int Run(const std::string& arguments) { return ws.Run(arguments); }
    // The debugger output of the run, one string per call.
    std::vector<std::string> Transcript() const;
};
