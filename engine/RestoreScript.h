// The restore-script writer: restore.cmd, which puts back what a removal took, and the lines of the list
// restore.lst it reads, in the form cmd reads them.
#pragma once

#include <windows.h>

#include "afx/afxstr.h"

// The whole text of restore.cmd.
CString RestoreScriptText();
// The command restore.cmd imports a registry file with, for the view this build writes to: "regedit /s"
// on a system with one view, "reg import ... /reg:32" for the 32-bit build on 64-bit Windows, and
// "reg import ... /reg:64" for the 64-bit build, whatever program starts restore.cmd.
CString ImportCommand(LPCSTR file);
// Where a file's copy lies inside the backup: "files\C\WINDOWS\..." for "C:\WINDOWS\...",
// "files\UNC\server\share\..." for "\\server\share\..."; empty for any other path.
CString SavedName(const CString& path);
// The list's fields for a file saved as `saved` (see SavedName) from `path` with `attributes`, its folder
// ending at `folderEnd`; empty when the path cannot stand in a field of the list.
CString FileListFields(const CString& saved, const CString& path, int folderEnd, DWORD attributes);
// The list's fields for a registry file `name`, relative to the backup folder.
CString RegListFields(const CString& name);
// One line of the list in the console's code page, as cmd reads it, its end mark "|." added; FALSE when a
// character has no form in that code page.
BOOL ListLine(const CString& fields, CString& line);
