// Character-wise walks over ANSI code page strings.
#include "engine/MbText.h"

#include <string.h>

int MbCharLength(LPCSTR text, int i) {
    if (IsDBCSLeadByte((BYTE)text[i]) && text[i + 1] != '\0')
        return 2;
    return 1;
}

CString MbReplace(const CString& text, char from, char to) {
    CString out;
    LPCSTR s = text;
    for (int i = 0; s[i];) {
        int n = MbCharLength(s, i);
        if (n == 1 && s[i] == from)
            out += to;
        else
            out += CString(s + i, n);
        i += n;
    }
    return out;
}

CString MbRemove(const CString& text, char c) {
    CString out;
    LPCSTR s = text;
    for (int i = 0; s[i];) {
        int n = MbCharLength(s, i);
        if (!(n == 1 && s[i] == c))
            out += CString(s + i, n);
        i += n;
    }
    return out;
}

int MbFindLastSeparator(const CString& text, BOOL slashToo) {
    LPCSTR s = text;
    int last = -1;
    for (int i = 0; s[i];) {
        int n = MbCharLength(s, i);
        if (n == 1 && (s[i] == '\\' || (slashToo && s[i] == '/')))
            last = i;
        i += n;
    }
    return last;
}

BOOL MbContains(const CString& text, char c) {
    const char one[2] = {c, '\0'};
    return c != '\0' && MbContainsAny(text, one);
}

std::vector<CString> MbSplit(const CString& text, BOOL slashToo) {
    std::vector<CString> parts;
    LPCSTR s = text;
    int start = 0;
    int i = 0;
    while (s[i]) {
        int n = MbCharLength(s, i);
        if (n == 1 && (s[i] == '\\' || (slashToo && s[i] == '/'))) {
            parts.push_back(CString(s + start, i - start));
            start = i + 1;
        }
        i += n;
    }
    parts.push_back(CString(s + start, i - start));
    return parts;
}

BOOL MbEqualNoCase(LPCSTR a, LPCSTR b) {
    int i = 0;
    for (;;) {
        if (a[i] == '\0' || b[i] == '\0')
            return a[i] == b[i];
        int n = MbCharLength(a, i);
        if (n == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return FALSE;
            i += 2;
            continue;
        }
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = (char)(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = (char)(y - 'a' + 'A');
        if (x != y)
            return FALSE;
        ++i;
    }
}

CString MbWithoutTrailingSeparators(CString path) {
    while (!path.IsEmpty() && MbFindLastSeparator(path, FALSE) == path.GetLength() - 1)
        path = path.Left(path.GetLength() - 1);
    return path;
}

CString MbEscape(const CString& text, LPCSTR chars, char escape) {
    CString out;
    LPCSTR s = text;
    for (int i = 0; s[i];) {
        int n = MbCharLength(s, i);
        if (n == 1 && strchr(chars, s[i]))
            out += escape;
        out += CString(s + i, n);
        i += n;
    }
    return out;
}

BOOL MbContainsAny(const CString& text, LPCSTR chars) {
    LPCSTR s = text;
    for (int i = 0; s[i];) {
        int n = MbCharLength(s, i);
        if (n == 1 && strchr(chars, s[i]))
            return TRUE;
        i += n;
    }
    return FALSE;
}

BOOL MbHasControl(LPCSTR text, int size) {
    for (int i = 0; i < size; ++i) {
        if ((unsigned char)text[i] < 0x20)
            return TRUE;
    }
    return FALSE;
}

BOOL MbToUtf16(LPCSTR text, int size, std::vector<WCHAR>& out) {
    out.clear();
    if (size == 0)
        return TRUE;
    int count = MultiByteToWideChar(CP_ACP, 0, text, size, NULL, 0);
    if (count <= 0)
        return FALSE;
    out.resize(count);
    return MultiByteToWideChar(CP_ACP, 0, text, size, out.data(), count) == count;
}
