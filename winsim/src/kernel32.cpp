// kernel32 on the simulated machine: errors, versions, locale and code pages, strings, process facts, memory, time.
#include "k_internal.h"

#include <windows.h>
#include <winsim/codepage.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

using winsim::Current;

namespace {

winsim::SystemInfo& Sys() {
    return Current().system;
}

void SetError(DWORD e) {
    Current().lastError = e;
}

std::string Hex(DWORD v) {
    char buf[16];
    snprintf(buf, sizeof(buf), "0x%x", (unsigned)v);
    return buf;
}

unsigned ResolveCodePage(UINT cp) {
    if (cp == CP_ACP || cp == CP_THREAD_ACP)
        return Sys().acp;
    if (cp == CP_OEMCP)
        return Sys().oemcp;
    return cp;
}

// Sort weight of a byte for the linguistic comparisons: symbols, then digits, then letters, then the rest.
int Weight(unsigned char c) {
    if (c >= 'a' && c <= 'z')
        return 300 + (c - 'a');
    if (c >= 'A' && c <= 'Z')
        return 300 + (c - 'A');
    if (c >= '0' && c <= '9')
        return 200 + (c - '0');
    if (c < 0x80)
        return 100 + c;
    return 400 + c;
}

int LinguisticCompare(const char* a, const char* b, bool ignoreCase) {
    if (!a)
        a = "";
    if (!b)
        b = "";
    const unsigned char* p = (const unsigned char*)a;
    const unsigned char* q = (const unsigned char*)b;
    int caseDiff = 0;
    for (; *p && *q; ++p, ++q) {
        int wp = Weight(*p), wq = Weight(*q);
        if (wp != wq)
            return wp < wq ? -1 : 1;
        // Same letter in another case: lower case sorts first, but only if nothing else differs.
        if (!caseDiff && *p != *q)
            caseDiff = (*p >= 'a' && *p <= 'z') ? -1 : 1;
    }
    if (*p || *q)
        return *p ? 1 : -1;
    return ignoreCase ? 0 : caseDiff;
}

// Days since 1601-01-01 <-> civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;  // days since 1970-01-01
}

const int64_t kDays1601To1970 = 134774;

}  // namespace

extern "C" {

DWORD WINAPI GetLastError(void) {
    return Current().lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    Current().lastError = dwErrCode;
}

DWORD WINAPI GetCurrentProcessId(void) {
    SIM_FAULT("GetCurrentProcessId", "", 0);
    return Sys().processId;
}

HANDLE WINAPI GetCurrentProcess(void) {
    return (HANDLE)(LONG_PTR)-1;
}

BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
    SIM_FAULT("IsWow64Process", "", FALSE);
    if (hProcess != GetCurrentProcess() || !Wow64Process) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *Wow64Process = Sys().wow64 ? TRUE : FALSE;
    return TRUE;
}

// ---- versions ----

DWORD WINAPI GetVersion(void) {
    SIM_FAULT("GetVersion", "", 0);
    const winsim::SystemInfo& s = Sys();
    DWORD v = (s.major & 0xFF) | ((s.minor & 0xFF) << 8);
    // The high word holds the build on NT; 9x sets its two top bits and leaves the build out.
    if (s.IsNT())
        v |= (s.build & 0xFFFF) << 16;
    else
        v |= 0xC0000000;
    return v;
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    SIM_FAULT("GetVersionExA", "", FALSE);
    if (!info) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) && info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA)) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const winsim::SystemInfo& s = Sys();
    info->dwMajorVersion = s.major;
    info->dwMinorVersion = s.minor;
    info->dwPlatformId = s.platformId;
    // 9x repeats major and minor in the build number's high word.
    info->dwBuildNumber = s.IsNT() ? s.build : ((s.major << 24) | (s.minor << 16) | (s.build & 0xFFFF));
    memset(info->szCSDVersion, 0, sizeof(info->szCSDVersion));
    strncpy(info->szCSDVersion, s.csdVersion.c_str(), sizeof(info->szCSDVersion) - 1);
    if (info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXA)) {
        // Windows 9x and NT 4 before SP6 refuse this size; not modelled.
        OSVERSIONINFOEXA* ex = (OSVERSIONINFOEXA*)info;
        ex->wServicePackMajor = s.servicePackMajor;
        ex->wServicePackMinor = s.servicePackMinor;
        ex->wSuiteMask = 0;
        ex->wProductType = s.os == winsim::Os::Win2003 ? VER_NT_SERVER : VER_NT_WORKSTATION;
        ex->wReserved = 0;
    }
    return TRUE;
}

// ---- time ----

void WINAPI Sleep(DWORD dwMilliseconds) {
    SIM_FAULT("Sleep", std::to_string(dwMilliseconds), );
    if (dwMilliseconds == 0xFFFFFFFF)
        throw winsim::SimAbort("Sleep(INFINITE): the program would never wake up");
    Current().Advance(dwMilliseconds);
}

DWORD WINAPI GetTickCount(void) {
    SIM_FAULT("GetTickCount", "", 0);
    return DWORD(Current().now);
}

BOOL WINAPI FileTimeToSystemTime(const FILETIME* ft, LPSYSTEMTIME st) {
    SIM_FAULT("FileTimeToSystemTime", "", FALSE);
    if (!ft || !st || (ft->dwHighDateTime & 0x80000000)) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    uint64_t t = winsim::ToU64(*ft);
    uint64_t ms = t / 10000;
    int64_t days = int64_t(ms / 86400000) - kDays1601To1970;
    uint64_t msOfDay = ms % 86400000;
    // Civil date from days since 1970-01-01.
    int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    st->wYear = WORD(y + (m <= 2));
    st->wMonth = WORD(m);
    st->wDay = WORD(d);
    st->wDayOfWeek = WORD(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
    st->wHour = WORD(msOfDay / 3600000);
    st->wMinute = WORD(msOfDay / 60000 % 60);
    st->wSecond = WORD(msOfDay / 1000 % 60);
    st->wMilliseconds = WORD(msOfDay % 1000);
    return TRUE;
}

BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* st, LPFILETIME ft) {
    SIM_FAULT("SystemTimeToFileTime", "", FALSE);
    if (!st || !ft || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 || st->wDay > 31 || st->wHour > 23 ||
        st->wMinute > 59 || st->wSecond > 59 || st->wMilliseconds > 999 || st->wYear < 1601) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int64_t days = DaysFromCivil(st->wYear, st->wMonth, st->wDay) + kDays1601To1970;
    uint64_t ms = uint64_t(days) * 86400000ULL + st->wHour * 3600000ULL + st->wMinute * 60000ULL +
                  st->wSecond * 1000ULL + st->wMilliseconds;
    *ft = winsim::ToFileTime(ms * 10000ULL);
    return TRUE;
}

void WINAPI GetSystemTime(LPSYSTEMTIME st) {
    FILETIME ft = winsim::ToFileTimeNow();
    FileTimeToSystemTime(&ft, st);
}

BOOL WINAPI LocalFileTimeToFileTime(const FILETIME* local, LPFILETIME ft) {
    SIM_FAULT("LocalFileTimeToFileTime", "", FALSE);
    // The simulated machine's local time is UTC.
    *ft = *local;
    return TRUE;
}

LONG WINAPI CompareFileTime(const FILETIME* a, const FILETIME* b) {
    uint64_t x = winsim::ToU64(*a), y = winsim::ToU64(*b);
    return x < y ? -1 : x > y ? 1 : 0;
}

// ---- debug output, arithmetic ----

void WINAPI OutputDebugStringA(LPCSTR text) {
    SIM_FAULT("OutputDebugStringA", text ? text : "", );
    Current().debug.strings.push_back(text ? text : "");
    if (getenv("WINSIM_DEBUGSTR"))
        fprintf(stderr, "debugstr: %s", text ? text : "");
}

int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator) {
    if (nDenominator == 0)
        return -1;
    int64_t product = int64_t(nNumber) * nNumerator;
    int64_t divisor = nDenominator;
    if (divisor < 0) {
        product = -product;
        divisor = -divisor;
    }
    // Rounds half away from zero.
    int64_t q = product >= 0 ? (product + divisor / 2) / divisor : (product - divisor / 2) / divisor;
    if (q > 2147483647LL || q < -2147483647LL)
        return -1;
    return int(q);
}

// ---- locale ----

int WINAPI GetLocaleInfoA(LCID Locale, LCTYPE LCType, LPSTR lpLCData, int cchData) {
    SIM_FAULT("GetLocaleInfoA", Hex(LCType), 0);
    if (cchData < 0 || (cchData > 0 && !lpLCData)) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const winsim::LocaleData* l = nullptr;
    WORD lang = LANGIDFROMLCID(Locale);
    if (Locale == LOCALE_USER_DEFAULT || Locale == LOCALE_SYSTEM_DEFAULT || lang == LANG_NEUTRAL ||
        lang == LANG_USER_DEFAULT || lang == LANG_SYSTEM_DEFAULT)
        l = &winsim::UserLocale(Sys());
    else
        l = winsim::FindLocale(Locale);
    if (!l) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    char number[16];
    std::string value;
    switch (LCType & ~LOCALE_NOUSEROVERRIDE) {
    case LOCALE_ILANGUAGE:
        snprintf(number, sizeof(number), "%04x", (unsigned)(l->lcid & 0xFFFF));
        value = number;
        break;
    case LOCALE_SLANGUAGE:
        value = l->displayName;
        break;
    case LOCALE_SENGLANGUAGE:
        value = l->englishLanguage;
        break;
    case LOCALE_SABBREVLANGNAME:
        value = l->abbreviation;
        break;
    case LOCALE_SNATIVELANGNAME:
        value = winsim::ToAnsi(winsim::FromUtf8(l->nativeLanguage), Sys().acp);
        break;
    case LOCALE_ICOUNTRY:
        value = l->countryCode;
        break;
    case LOCALE_SCOUNTRY:
    case LOCALE_SENGCOUNTRY:
        value = l->englishCountry;
        break;
    case LOCALE_IDEFAULTCODEPAGE:
        value = std::to_string(l->oemcp);
        break;
    case LOCALE_IDEFAULTANSICODEPAGE:
        value = std::to_string(l->acp);
        break;
    case LOCALE_SISO639LANGNAME:
        value = l->iso639;
        break;
    case LOCALE_SISO3166CTRYNAME:
        value = l->iso3166;
        break;
    default:
        SetError(ERROR_INVALID_FLAGS);
        return 0;
    }
    int needed = int(value.size() + 1);
    if (cchData == 0)
        return needed;
    if (cchData < needed) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(lpLCData, value.c_str(), needed);
    return needed;
}

LCID WINAPI GetUserDefaultLCID(void) {
    SIM_FAULT("GetUserDefaultLCID", "", 0x0409);
    return winsim::UserLocale(Sys()).lcid;
}

UINT WINAPI GetACP(void) {
    SIM_FAULT("GetACP", "", 1252);
    return Sys().acp;
}

UINT WINAPI GetOEMCP(void) {
    SIM_FAULT("GetOEMCP", "", 437);
    return Sys().oemcp;
}

BOOL WINAPI IsDBCSLeadByte(BYTE c) {
    return winsim::IsLeadByte(c, Sys().acp) ? TRUE : FALSE;
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
    SIM_FAULT("WideCharToMultiByte", std::to_string(CodePage), 0);
    unsigned cp = ResolveCodePage(CodePage);
    if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 || (cbMultiByte > 0 && !lpMultiByteStr) ||
        (cp == CP_UTF8 && (lpDefaultChar || lpUsedDefaultChar))) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t len = 0;
    if (cchWideChar < 0) {
        while (lpWideCharStr[len])
            ++len;
        ++len;  // the NUL is converted too
    } else {
        len = size_t(cchWideChar);
    }
    std::u16string in(lpWideCharStr, len);
    std::string out = winsim::ToAnsi(in, cp);
    if (out.empty() && !in.empty()) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    bool usedDefault = winsim::FromAnsi(out, cp) != in;
    if (usedDefault && lpDefaultChar && *lpDefaultChar != '?') {
        // Redo with the caller's default character where a '?' stands for a lost character.
        std::string redone;
        for (char16_t ch : in) {
            std::string one = winsim::ToAnsi(std::u16string(1, ch), cp);
            redone += (one == "?" && ch != u'?') ? std::string(1, *lpDefaultChar) : one;
        }
        out = redone;
    }
    if (lpUsedDefaultChar)
        *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
    if (cbMultiByte == 0)
        return int(out.size());
    if (out.size() > size_t(cbMultiByte)) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(lpMultiByteStr, out.data(), out.size());
    return int(out.size());
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
    SIM_FAULT("MultiByteToWideChar", std::to_string(CodePage), 0);
    unsigned cp = ResolveCodePage(CodePage);
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (cchWideChar > 0 && !lpWideCharStr)) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t len = cbMultiByte < 0 ? strlen(lpMultiByteStr) + 1 : size_t(cbMultiByte);
    std::string in(lpMultiByteStr, len);
    std::u16string out = winsim::FromAnsi(in, cp);
    if (out.empty() && !in.empty()) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (cchWideChar == 0)
        return int(out.size());
    if (out.size() > size_t(cchWideChar)) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(lpWideCharStr, out.data(), out.size() * sizeof(WCHAR));
    return int(out.size());
}

// ---- strings ----

int WINAPI lstrlenA(LPCSTR s) {
    return s ? int(strlen(s)) : 0;
}

LPSTR WINAPI lstrcpyA(LPSTR dst, LPCSTR src) {
    if (!dst || !src)
        return nullptr;
    return strcpy(dst, src);
}

LPSTR WINAPI lstrcpynA(LPSTR dst, LPCSTR src, int n) {
    if (!dst || !src)
        return nullptr;
    if (n <= 0)
        return dst;
    int i = 0;
    for (; i < n - 1 && src[i]; ++i)
        dst[i] = src[i];
    dst[i] = '\0';
    return dst;
}

LPSTR WINAPI lstrcatA(LPSTR dst, LPCSTR src) {
    if (!dst || !src)
        return nullptr;
    return strcat(dst, src);
}

// Hyphens and apostrophes, which the word sort skips, are compared as ordinary symbols here.
int WINAPI lstrcmpA(LPCSTR a, LPCSTR b) {
    return LinguisticCompare(a, b, false);
}

int WINAPI lstrcmpiA(LPCSTR a, LPCSTR b) {
    return LinguisticCompare(a, b, true);
}

// ---- process facts ----

LPSTR WINAPI GetCommandLineA(void) {
    return const_cast<LPSTR>(Sys().commandLine.c_str());
}

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
    SIM_FAULT("GetTempPathA", "", 0);
    return winsim::CopyOut(Sys().tempDir, lpBuffer, nBufferLength);
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
    SIM_FAULT("GetWindowsDirectoryA", "", 0);
    return winsim::CopyOut(Sys().windowsDir, lpBuffer, uSize);
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
    SIM_FAULT("GetSystemDirectoryA", "", 0);
    return winsim::CopyOut(Sys().systemDir, lpBuffer, uSize);
}

DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize) {
    SIM_FAULT("GetEnvironmentVariableA", lpName ? lpName : "", 0);
    if (lpName) {
        for (const auto& e : Sys().env) {
            if (winsim::NamesEqual(e.first, lpName))
                return winsim::CopyOut(e.second, lpBuffer, nSize);
        }
    }
    SetError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
}

BOOL WINAPI SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue) {
    SIM_FAULT("SetEnvironmentVariableA", lpName ? lpName : "", FALSE);
    if (!lpName || !*lpName || strchr(lpName, '=')) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto& env = Sys().env;
    std::string key = lpName;
    for (auto it = env.begin(); it != env.end(); ++it) {
        if (winsim::NamesEqual(it->first, lpName)) {
            key = it->first;
            if (!lpValue)
                env.erase(it);
            break;
        }
    }
    if (lpValue)
        env[key] = lpValue;
    return TRUE;
}

DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize) {
    SIM_FAULT("ExpandEnvironmentStringsA", lpSrc ? lpSrc : "", 0);
    if (!lpSrc) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string src = lpSrc, out;
    size_t pos = 0;
    while (pos < src.size()) {
        size_t open = src.find('%', pos);
        if (open == std::string::npos) {
            out += src.substr(pos);
            break;
        }
        size_t close = src.find('%', open + 1);
        if (close == std::string::npos) {
            out += src.substr(pos);
            break;
        }
        out += src.substr(pos, open - pos);
        std::string name = src.substr(open + 1, close - open - 1);
        bool found = false;
        for (const auto& e : Sys().env) {
            if (!name.empty() && winsim::NamesEqual(e.first, name)) {
                out += e.second;
                found = true;
                break;
            }
        }
        if (found) {
            pos = close + 1;
        } else {
            // An unknown name stays as it is; its closing '%' may open the next one.
            out += src.substr(open, close - open);
            pos = close;
        }
    }
    DWORD needed = DWORD(out.size() + 1);
    if (lpDst && nSize >= needed)
        memcpy(lpDst, out.c_str(), needed);
    return needed;
}

BOOL WINAPI GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize) {
    SIM_FAULT("GetComputerNameA", "", FALSE);
    if (!nSize) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string& name = Sys().computerName;
    if (!lpBuffer || *nSize < name.size() + 1) {
        *nSize = DWORD(name.size() + 1);
        SetError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    memcpy(lpBuffer, name.c_str(), name.size() + 1);
    *nSize = DWORD(name.size());
    return TRUE;
}

// ---- global memory ----

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    SIM_FAULT("GlobalAlloc", std::to_string(dwBytes), NULL);
    void* p = Sys().globals.Alloc(dwBytes, (uFlags & GMEM_ZEROINIT) != 0, (uFlags & GMEM_MOVEABLE) != 0);
    if (!p)
        SetError(ERROR_NOT_ENOUGH_MEMORY);
    return p;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    SIM_FAULT("GlobalFree", "", hMem);
    if (!hMem)
        return NULL;
    if (!Sys().globals.Free(hMem)) {
        SetError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    return NULL;
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem) {
    SIM_FAULT("GlobalLock", "", NULL);
    winsim::GlobalHeap& heap = Sys().globals;
    if (!hMem || !heap.Owns(hMem)) {
        SetError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    if (heap.Moveable(hMem))
        heap.LockCount(hMem)++;
    return hMem;
}

BOOL WINAPI GlobalUnlock(HGLOBAL hMem) {
    SIM_FAULT("GlobalUnlock", "", FALSE);
    winsim::GlobalHeap& heap = Sys().globals;
    if (!hMem || !heap.Owns(hMem)) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!heap.Moveable(hMem))
        return TRUE;
    int& locks = heap.LockCount(hMem);
    if (locks == 0) {
        SetError(158 /* ERROR_NOT_LOCKED */);
        return FALSE;
    }
    if (--locks == 0) {
        SetError(NO_ERROR);
        return FALSE;
    }
    return TRUE;
}

SIZE_T WINAPI GlobalSize(HGLOBAL hMem) {
    SIM_FAULT("GlobalSize", "", 0);
    winsim::GlobalHeap& heap = Sys().globals;
    if (!hMem || !heap.Owns(hMem)) {
        SetError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return heap.Size(hMem);
}

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    SIM_FAULT("LocalAlloc", std::to_string(uBytes), NULL);
    void* p = Sys().globals.Alloc(uBytes, (uFlags & LMEM_ZEROINIT) != 0, (uFlags & GMEM_MOVEABLE) != 0);
    if (!p)
        SetError(ERROR_NOT_ENOUGH_MEMORY);
    return p;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    SIM_FAULT("LocalFree", "", hMem);
    if (!hMem)
        return NULL;
    if (!Sys().globals.Free(hMem)) {
        SetError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    return NULL;
}

}  // extern "C"
