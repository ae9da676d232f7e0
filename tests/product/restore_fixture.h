// Putting a removal's backup back on the simulated machine as restore.cmd would: a small .reg importer and
// an interpreter of the few batch commands the script uses.
#pragma once

#include <string>

// Applies a registry file ("REGEDIT4" or "Windows Registry Editor Version 5.00", ANSI text) to the current
// machine; "" on success, else the line it could not read.
std::string ImportRegFile(const std::string& text);

// Runs `folder`\restore.cmd: regedit /s, "if not exist ... md", attrib (also after "if exist"),
// copy /y, net stop/start spooler (the start reloads the spooler's printers and drivers from the registry).
// "" on success, else the line it could not run.
std::string RunRestoreScript(const std::string& folder);
