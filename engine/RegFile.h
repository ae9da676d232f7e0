// The registry files of a backup: keys and values as the system's regedit (or reg import) reads them back,
// every byte of a value kept.
#pragma once

#include <windows.h>

#include <vector>

#include "afx/afxstr.h"

// The registry files' form for this system: REGEDIT4 in the ANSI code page on Windows 9x and NT 4, the
// UTF-16 "Windows Registry Editor Version 5.00" form from Windows 2000 on.
BOOL UnicodeRegistryFiles();
// Whether a key or value name can stand in a registry file's line: a control character would end or
// break the line, and the format has no escape for one.
BOOL RegWritableName(const CString& name);
// `text` in a registry file's quotes: '\' and '"' escaped character by character, a double-byte
// character's trail byte never taken for either.
CString RegQuoted(const CString& text);
// The text of one value: `"name"=...` with the value's type and bytes kept exactly. `unicode`: for the
// UTF-16 form, where the bytes of string types (hex(1), hex(2), hex(7)) are UTF-16.
CString RegValueLine(const CString& name, DWORD type, const BYTE* data, DWORD size, BOOL unicode);
// "[ROOT\path]" on its own line after a blank one; the spooler's trailing separator is dropped.
CString RegSectionLine(HKEY root, const CString& path);
// Appends the text of the key root\path and every key below it (nothing when the key is missing); the
// API's code, ERROR_INVALID_DATA for a name no line can hold, ERROR_BUFFER_OVERFLOW for a tree too deep.
DWORD RegExportTree(HKEY root, const CString& path, BOOL unicode, CString& out);
// The bytes of the whole file holding `record` (sections and values) in the chosen form; FALSE when its
// text cannot be converted to UTF-16.
BOOL RegFileBytes(const CString& record, BOOL unicode, std::vector<BYTE>& bytes);
