// CString: the framework's 8-bit string, a value type over a heap buffer.
#pragma once

#include <windows.h>

#include <string.h>

#include <vector>

class CString {
public:
    CString() : m_s(1, '\0') {}
    CString(LPCSTR text) { Assign(text ? text : "", text ? (int)strlen(text) : 0); }
    CString(LPCSTR text, int length) { Assign(text, length); }
    CString(const CString&) = default;
    CString& operator=(const CString&) = default;
    CString& operator=(LPCSTR text) {
        // The text may lie inside this string's own buffer.
        CString copy(text);
        m_s.swap(copy.m_s);
        return *this;
    }
    CString& operator+=(const CString& s) {
        Append(s.m_s.data(), s.GetLength());
        return *this;
    }
    CString& operator+=(LPCSTR s) {
        if (s)
            *this += CString(s);
        return *this;
    }
    CString& operator+=(char c) {
        Append(&c, 1);
        return *this;
    }

    int GetLength() const { return (int)m_s.size() - 1; }
    BOOL IsEmpty() const { return m_s.size() == 1; }
    void Empty() { m_s.assign(1, '\0'); }
    operator LPCSTR() const { return m_s.data(); }
    char GetAt(int i) const { return m_s[i]; }

    // Text up to the first NUL only, as the Windows framework string behaves.
    LPSTR GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    // Index of the first match, or -1.
    int Find(char c) const;
    int Find(LPCSTR sub) const;

    // Upper-cases a-z only, leaving both bytes of double-byte characters alone (_mbsupr).
    void MakeUpper();
    // Removes blank, tab, line feed, carriage return, vertical tab and form feed.
    void TrimLeft();
    void TrimRight();
    void Format(LPCSTR format, ...) __attribute__((format(printf, 2, 3)));

    friend CString operator+(const CString& a, const CString& b) {
        CString sum(a);
        sum += b;
        return CString((LPCSTR)sum);
    }
    friend CString operator+(const CString& a, LPCSTR b) { return a + CString(b); }
    friend CString operator+(LPCSTR a, const CString& b) { return CString(a) + b; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
    friend bool operator==(const CString& a, LPCSTR b) { return strcmp(a, b ? b : "") == 0 && !a.HoldsNul(); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, LPCSTR b) { return !(a == b); }
    // Byte order, for sorted sets of names.
    friend bool operator<(const CString& a, const CString& b) { return a.m_s < b.m_s; }

private:
    void Assign(LPCSTR text, int length);
    void Append(LPCSTR text, int length);
    // True when a NUL lies inside the text (GetBuffer's padding).
    bool HoldsNul() const { return strlen(m_s.data()) != m_s.size() - 1; }

    // The text and a terminating NUL, which is always there.
    std::vector<char> m_s;
};
