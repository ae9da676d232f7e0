// Putting a removal's backup back on the simulated machine as restore.cmd would: a .reg importer that reads
// as regedit does, and an interpreter of the batch commands restore.cmd uses.
#pragma once

#include <string>

// Applies a registry file to the current machine as regedit does: "REGEDIT4" text in the ANSI code page, or
// UTF-16LE with a byte order mark and "Windows Registry Editor Version 5.00", both read character by
// character (a double-byte character's trail byte 0x5C is no escape). "" on success, else the line it could
// not read.
std::string ImportRegFile(const std::string& bytes);

// Runs `folder`\restore.cmd as cmd would: pushd/popd, "for /f" over a file read in the console's (OEM) code
// page, "if [not] "a"=="b"", "if [not] exist", md, copy /y, attrib (all flags of one call at
// once; a hidden or system file only when the call names those), the registry import, and net stop/start
// spooler (the start reloads the spooler's printers and drivers from the registry). The import must suit
// the machine: "regedit /s" on a system with one registry view, "reg import <file> /reg:32" (Windows XP and
// later) for this 32-bit program on 64-bit Windows. "" on success, else the line it could not run.
std::string RunRestoreScript(const std::string& folder);
