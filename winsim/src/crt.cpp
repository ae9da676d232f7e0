// The Microsoft C runtime's string helpers the product uses, following the machine's ANSI code page.
#include "k_internal.h"

#include <mbstring.h>
#include <winsim/codepage.h>
#include <string.h>

namespace {

bool Lead(unsigned char c) {
    return winsim::IsLead(c);
}

// The character at p as one unit: a double-byte character is (lead << 8) | trail. Advances p.
unsigned int NextChar(const unsigned char*& p) {
    unsigned int c = *p++;
    if (Lead((unsigned char)c) && *p)
        c = (c << 8) | *p++;
    return c;
}

int CompareUnits(const unsigned char* a, const unsigned char* b) {
    while (*a || *b) {
        unsigned int x = NextChar(a), y = NextChar(b);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

int LowerAscii(int c) {
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

}  // namespace

extern "C" {

int _mbscmp(const unsigned char* a, const unsigned char* b) {
    return CompareUnits(a, b);
}

int _mbsicmp(const unsigned char* a, const unsigned char* b) {
    // The machine's one case-insensitive form, compared character by character.
    std::string x = winsim::NameKey((const char*)a), y = winsim::NameKey((const char*)b);
    return CompareUnits((const unsigned char*)x.c_str(), (const unsigned char*)y.c_str());
}

unsigned char* _mbsstr(const unsigned char* str, const unsigned char* sub) {
    size_t n = strlen((const char*)sub);
    for (const unsigned char* p = str; *p;) {
        if (strncmp((const char*)p, (const char*)sub, n) == 0)
            return const_cast<unsigned char*>(p);
        NextChar(p);
    }
    return n == 0 ? const_cast<unsigned char*>(str) : nullptr;
}

unsigned char* _mbschr(const unsigned char* str, unsigned int c) {
    const unsigned char* p = str;
    while (true) {
        const unsigned char* at = p;
        unsigned int ch = NextChar(p);
        if (ch == c)
            return const_cast<unsigned char*>(at);
        if (ch == 0)
            return nullptr;
    }
}

unsigned char* _mbsrchr(const unsigned char* str, unsigned int c) {
    const unsigned char* found = nullptr;
    const unsigned char* p = str;
    while (true) {
        const unsigned char* at = p;
        unsigned int ch = NextChar(p);
        if (ch == c)
            found = at;
        if (ch == 0)
            return const_cast<unsigned char*>(found);
    }
}

unsigned char* _mbsupr(unsigned char* str) {
    for (unsigned char* p = str; *p; ++p) {
        if (Lead(*p) && p[1])
            ++p;  // the trail byte may be 0x61-0x7A and is not a letter
        else if (*p >= 'a' && *p <= 'z')
            *p = (unsigned char)(*p - 'a' + 'A');
    }
    return str;
}

unsigned char* _mbslwr(unsigned char* str) {
    for (unsigned char* p = str; *p; ++p) {
        if (Lead(*p) && p[1])
            ++p;
        else if (*p >= 'A' && *p <= 'Z')
            *p = (unsigned char)(*p - 'A' + 'a');
    }
    return str;
}

size_t _mbslen(const unsigned char* str) {
    size_t n = 0;
    for (const unsigned char* p = str; *p; ++n)
        NextChar(p);
    return n;
}

unsigned char* _mbsinc(const unsigned char* current) {
    const unsigned char* p = current;
    NextChar(p);
    return const_cast<unsigned char*>(p);
}

int _ismbblead(unsigned int c) {
    return Lead((unsigned char)c) ? 1 : 0;
}

char* _strupr(char* str) {
    for (char* p = str; *p; ++p)
        if (*p >= 'a' && *p <= 'z')
            *p = char(*p - 'a' + 'A');
    return str;
}

char* _strlwr(char* str) {
    for (char* p = str; *p; ++p)
        *p = char(LowerAscii((unsigned char)*p));
    return str;
}

int _stricmp(const char* a, const char* b) {
    return _strnicmp(a, b, (size_t)-1);
}

// Compares lower-cased, so '_' (0x5F) sorts before letters as with the real runtime.
int _strnicmp(const char* a, const char* b, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        int x = LowerAscii((unsigned char)a[i]), y = LowerAscii((unsigned char)b[i]);
        if (x != y)
            return x - y;
        if (x == 0)
            return 0;
    }
    return 0;
}

void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
    const char* p = path;
    if (p[0] && p[1] == ':') {
        if (drive) {
            drive[0] = p[0];
            drive[1] = ':';
            drive[2] = '\0';
        }
        p += 2;
    } else if (drive) {
        drive[0] = '\0';
    }
    // Last separator and last dot, found character by character so trail bytes never count.
    const char* lastSep = nullptr;
    const char* lastDot = nullptr;
    for (const unsigned char* q = (const unsigned char*)p; *q;) {
        const unsigned char* at = q;
        unsigned int ch = NextChar(q);
        if (ch == '\\' || ch == '/')
            lastSep = (const char*)at;
        else if (ch == '.')
            lastDot = (const char*)at;
    }
    const char* name = lastSep ? lastSep + 1 : p;
    if (dir) {
        size_t n = size_t(name - p);
        memcpy(dir, p, n);
        dir[n] = '\0';
    }
    if (lastDot && lastDot < name)
        lastDot = nullptr;
    const char* end = name + strlen(name);
    const char* nameEnd = lastDot ? lastDot : end;
    if (fname) {
        memcpy(fname, name, size_t(nameEnd - name));
        fname[nameEnd - name] = '\0';
    }
    if (ext) {
        size_t n = lastDot ? size_t(end - lastDot) : 0;
        memcpy(ext, lastDot ? lastDot : "", n);
        ext[n] = '\0';
    }
}

void _makepath(char* path, const char* drive, const char* dir, const char* fname, const char* ext) {
    path[0] = '\0';
    if (drive && *drive) {
        path[0] = drive[0];
        path[1] = ':';
        path[2] = '\0';
    }
    if (dir && *dir) {
        strcat(path, dir);
        size_t n = strlen(dir);
        const unsigned char* last = (const unsigned char*)dir;
        const unsigned char* q = last;
        while (*q) {
            last = q;
            NextChar(q);
        }
        if (!(n && (*last == '\\' || *last == '/') && (const char*)last == dir + n - 1))
            strcat(path, "\\");
    }
    if (fname)
        strcat(path, fname);
    if (ext && *ext) {
        if (*ext != '.')
            strcat(path, ".");
        strcat(path, ext);
    }
}

}  // extern "C"
