// Byte strings of the ANSI code page, walked character by character: a double-byte character's
// trail byte may equal '\' or an ASCII letter and is never taken for one.
#pragma once

#include <windows.h>

#include <vector>

#include "afx/afxstr.h"

// Bytes of the character that starts at text[i] (1 or 2; a lead byte at the end counts 1).
int MbCharLength(LPCSTR text, int i);
// `text` with every single-byte `from` replaced by `to`.
CString MbReplace(const CString& text, char from, char to);
// `text` with every single-byte `c` removed.
CString MbRemove(const CString& text, char c);
// Index of the last single-byte '\' or '/' (either, when `slashToo`), or -1.
int MbFindLastSeparator(const CString& text, BOOL slashToo);
// Whether `text` holds a single-byte `c`.
BOOL MbContains(const CString& text, char c);
// The parts between single-byte separators ('\', and '/' when `slashToo`), empty parts kept.
std::vector<CString> MbSplit(const CString& text, BOOL slashToo);
// Equal when they differ at most in the case of ASCII letters outside double-byte characters.
BOOL MbEqualNoCase(LPCSTR a, LPCSTR b);
// `path` without trailing backslashes; a double-byte character's trail byte 0x5C is not one.
CString MbWithoutTrailingSeparators(CString path);
// `text` with `escape` put before every single-byte character that is one of `chars`.
CString MbEscape(const CString& text, LPCSTR chars, char escape);
// Whether `text` holds a single-byte character that is one of `chars`.
BOOL MbContainsAny(const CString& text, LPCSTR chars);
// Whether any of the `size` bytes is a control character: one ends or breaks a line whatever character
// it seems to be part of, so every byte is looked at.
BOOL MbHasControl(LPCSTR text, int size);
// `size` bytes of the ANSI code page as UTF-16; FALSE when they cannot be converted.
BOOL MbToUtf16(LPCSTR text, int size, std::vector<WCHAR>& out);
