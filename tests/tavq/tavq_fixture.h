// The companion library tavq.dll and the monitoring application Tallyvue on a simulated workstation.
//
//   winsim::ScopedMachine m;
//   RegisterTavq(*m, "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\tavq.dll");
//   winsim::SimProcess& app = StartTallyvue(*m);   // running, with every trace in place
//   HMODULE lib = LoadLibraryA("C:\\...\\tavq.dll"); // then GetProcAddress(lib, "Delete")
#pragma once

#include <windows.h>
#include <objbase.h>

#include <winsim/machine.h>

#include <string>

// Puts tavq.dll at `path`: the native build of the library with its string table and six exports, and its
// DllMain run on load. `resFile` replaces the string table (empty: a library without resources).
HMODULE RegisterTavq(winsim::Machine& m, const std::string& path);
HMODULE RegisterTavq(winsim::Machine& m, const std::string& path, const std::string& resFile);

// Where the application keeps its things for the machine's current user.
std::string TallyvueFolder(winsim::Machine& m);       // "<temp>\\Tallyvue"
std::string TallyvueShortcut(winsim::Machine& m);     // "<desktop>\\Tallyvue.lnk"
extern const char* const kTallyvueFiles[6];
extern const char* const kTallyvueSettingsKey;        // HKCU\SOFTWARE\Norix\Tallyvue
extern const char* const kTallyvueRunKey;             // HKCU\...\Run, value "Norix Tallyvue"
extern const char* const kTallyvueRunValue;
// The application's instance mutex for a user of a domain, as the application names it.
std::string TallyvueMutexName(const std::string& domain, const std::string& user);

// The traces an installed, not running application leaves: shortcut, autostart value, settings key
// (without "PID") and the six program files.
void PlaceTallyvueTraces(winsim::Machine& m);
// The stand-in application: places the traces, starts Tallyvue.exe (holding its program file open until it
// ends, `exitDelayMs` after being terminated), creates its user-scoped mutex and writes its id to "PID".
winsim::SimProcess& StartTallyvue(winsim::Machine& m, uint64_t exitDelayMs = 200);

// True when none of the traces is left (shortcut, autostart value, settings key, files and folder).
bool TallyvueGone(winsim::Machine& m);
// True when every trace is still in place.
bool TallyvueIntact(winsim::Machine& m);
