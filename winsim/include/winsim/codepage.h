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
