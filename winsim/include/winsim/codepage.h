// Conversions between UTF-16 and the simulated machine's ANSI code pages (1252, 932, ...).
#pragma once

#include <string>

namespace winsim {

// Converts UTF-16 text to code page `cp`; characters it cannot hold become '?'.
std::string ToAnsi(const std::u16string& text, unsigned cp);
// Converts text in code page `cp` to UTF-16.
std::u16string FromAnsi(const std::string& text, unsigned cp);
// Converts UTF-8 (test sources) to UTF-16.
std::u16string FromUtf8(const std::string& text);
// True when `c` starts a double-byte character in code page `cp` (932: 0x81-0x9F, 0xE0-0xFC).
bool IsLeadByte(unsigned char c, unsigned cp);

}  // namespace winsim

namespace winsim {

// The one case-insensitive form of names on the simulated machine (registry keys and values, files,
// printers and drivers, modules, environment): ASCII letters upper-cased, both bytes of a double-byte
// character of code page `cp` kept as they are, as Windows' registry, file system and spooler compare
// these names. A trail byte that looks like a letter (932: 0x83 0x61) is therefore never folded.
std::string NameKey(const std::string& name, unsigned cp);
// NameKey in the current machine's ANSI code page (1252 when no machine is installed).
std::string NameKey(const std::string& name);
bool NamesEqual(const std::string& a, const std::string& b);

}  // namespace winsim
