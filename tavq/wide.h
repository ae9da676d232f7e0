// UTF-16 string literals for both machines: wchar_t on Windows, char16_t on the simulated machine.
#pragma once

#ifdef _WIN32
#define WSTR(s) L##s
#else
#define WSTR(s) u##s
#endif
