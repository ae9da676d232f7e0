// CString operations.
#include "afx/afxstr.h"

#include <mbstring.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

void CString::Assign(LPCSTR text, int length) {
    if (length < 0)
        length = 0;
    m_s.assign(text, text + length);
    m_s.push_back('\0');
}

void CString::Append(LPCSTR text, int length) {
    if (length <= 0)
        return;
    // The text may lie inside this string's own buffer, which the insertion may move.
    std::vector<char> tail(text, text + length);
    m_s.insert(m_s.end() - 1, tail.begin(), tail.end());
}

LPSTR CString::GetBuffer(int minLength) {
    if (GetLength() < minLength)
        m_s.resize(minLength + 1, '\0');
    return m_s.data();
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0)
        newLength = (int)strlen(m_s.data());
    m_s.resize(newLength + 1, '\0');
    m_s[newLength] = '\0';
}

CString CString::Left(int count) const {
    if (count < 0)
        count = 0;
    if (count > GetLength())
        count = GetLength();
    return CString(CString(m_s.data(), count).m_s.data());
}

CString CString::Right(int count) const {
    if (count < 0)
        count = 0;
    if (count >= GetLength())
        return *this;
    return CString(m_s.data() + GetLength() - count);
}

CString CString::Mid(int first) const {
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
    if (first < 0)
        first = 0;
    if (first >= GetLength() || count <= 0)
        return CString();
    if (count > GetLength() - first)
        count = GetLength() - first;
    return CString(CString(m_s.data() + first, count).m_s.data());
}

int CString::Find(char c) const {
    for (int i = 0; i < GetLength(); i++)
        if (m_s[i] == c)
            return i;
    return -1;
}

int CString::Find(LPCSTR sub) const {
    const int n = (int)strlen(sub);
    for (int i = 0; i + n <= GetLength(); i++)
        if (memcmp(m_s.data() + i, sub, n) == 0)
            return i;
    return -1;
}

void CString::MakeUpper() {
    if (!IsEmpty())
        _mbsupr(reinterpret_cast<unsigned char*>(m_s.data()));
}

static bool IsTrimSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

void CString::TrimLeft() {
    int i = 0;
    while (i < GetLength() && IsTrimSpace(m_s[i]))
        i++;
    m_s.erase(m_s.begin(), m_s.begin() + i);
}

void CString::TrimRight() {
    int n = GetLength();
    while (n > 0 && IsTrimSpace(m_s[n - 1]))
        n--;
    m_s.resize(n + 1);
    m_s[n] = '\0';
}

void CString::Format(LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(NULL, 0, format, copy);
    va_end(copy);
    if (n < 0) {
        Empty();
    } else {
        std::vector<char> out(n + 1, '\0');
        vsnprintf(out.data(), n + 1, format, args);
        m_s.swap(out);
    }
    va_end(args);
}
