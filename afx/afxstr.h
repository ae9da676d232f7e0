// CString: the framework's 8-bit string, a value type over a heap buffer.
#pragma once

#include <windows.h>

#include <string>

class CString {
public:
    CString() {}
    CString(LPCSTR text) : m_s(text ? text : "") {}
    CString(LPCSTR text, int length) : m_s(text, length) {}
    CString(const CString&) = default;
    CString& operator=(const CString&) = default;
    CString& operator=(LPCSTR text) {
        m_s = text ? text : "";
        return *this;
    }
    CString& operator+=(const CString& s) {
        m_s += s.m_s;
        return *this;
    }
    CString& operator+=(LPCSTR s) {
        m_s += s ? s : "";
        return *this;
    }
    CString& operator+=(char c) {
        m_s += c;
        return *this;
    }

    int GetLength() const { return (int)m_s.size(); }
    BOOL IsEmpty() const { return m_s.empty(); }
    void Empty() { m_s.clear(); }
    operator LPCSTR() const { return m_s.c_str(); }
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

    friend CString operator+(const CString& a, const CString& b) { return CString((a.m_s + b.m_s).c_str()); }
    friend CString operator+(const CString& a, LPCSTR b) { return a + CString(b); }
    friend CString operator+(LPCSTR a, const CString& b) { return CString(a) + b; }
    friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
    friend bool operator==(const CString& a, LPCSTR b) { return a.m_s == (b ? b : ""); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, LPCSTR b) { return !(a == b); }

private:
    std::string m_s;
};
