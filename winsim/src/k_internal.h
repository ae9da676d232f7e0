// Helpers shared by the kernel32, advapi32 and CRT parts of the simulation.
#pragma once
#include <winsim/codepage.h>
#include <winsim/machine.h>

#include <string>
#include <vector>

namespace winsim {

struct LocaleData {
    LCID lcid;
    const char* englishLanguage;  // LOCALE_SENGLANGUAGE
    const char* displayName;      // LOCALE_SLANGUAGE (an English user interface)
    const char* abbreviation;     // LOCALE_SABBREVLANGNAME
    const char* nativeLanguage;   // LOCALE_SNATIVELANGNAME, UTF-8
    const char* englishCountry;   // LOCALE_SENGCOUNTRY
    const char* countryCode;      // LOCALE_ICOUNTRY
    const char* iso639;
    const char* iso3166;
    unsigned acp;
    unsigned oemcp;
};

// The locale with that LCID (its language id is what counts), or null.
const LocaleData* FindLocale(LCID lcid);
// The user's locale: the entry matching SystemInfo::lcid and SystemInfo::language, or else the one whose
// English name is SystemInfo::language (tests may set only the language and code page).
const LocaleData& UserLocale(const SystemInfo& system);

// True when `c` starts a double-byte character in the current machine's ANSI code page.
bool IsLead(unsigned char c);
// Splits at backslashes (and slashes when `slashes`), never inside a double-byte character; drops empty parts.
std::vector<std::string> SplitParts(const std::string& path, bool slashes);

// Copies `value` into a caller's buffer the way GetWindowsDirectoryA and friends do: returns the length
// without the NUL when it fits, else the size needed including the NUL and leaves the buffer alone.
// The machine's virtual clock as a FILETIME (a fixed boot date plus Machine::now).
FILETIME ToFileTimeNow();

DWORD CopyOut(const std::string& value, char* buffer, DWORD size);

// Aborts the test when the machine's Windows version does not export `name` from `library`: a program
// that imported it would not have loaded (the calls a version may lack check this first).
void RequireSystemExport(const char* library, const char* name);

// Windows 95/98/Me export most UTF-16 functions only as stubs: true there, with the last error
// ERROR_CALL_NOT_IMPLEMENTED set, and the caller returns its failure value.
bool StubOn9x();

}  // namespace winsim
