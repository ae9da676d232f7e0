// CString operations.
#include "afx/afxstr.h"

#include <mbstring.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

LPSTR CString::GetBuffer(int minLength) {
    if ((int)m_s.size() < minLength)
        m_s.resize(minLength);
    return &m_s[0];
}

void CString::ReleaseBuffer(int newLength) {
    if (newLength < 0)
        newLength = (int)strlen(m_s.c_str());
    m_s.resize(newLength);
}

CString CString::Left(int count) const {
    if (count < 0)
        count = 0;
    return CString(m_s.substr(0, count).c_str());
}

CString CString::Right(int count) const {
    if (count < 0)
        count = 0;
    if (count >= (int)m_s.size())
        return *this;
    return CString(m_s.substr(m_s.size() - count).c_str());
}

CString CString::Mid(int first) const {
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
    if (first < 0)
        first = 0;
    if (first >= (int)m_s.size() || count <= 0)
        return CString();
    return CString(m_s.substr(first, count).c_str());
}

int CString::Find(char c) const {
    size_t at = m_s.find(c);
    return at == std::string::npos ? -1 : (int)at;
}

int CString::Find(LPCSTR sub) const {
    size_t at = m_s.find(sub);
    return at == std::string::npos ? -1 : (int)at;
}

void CString::MakeUpper() {
    if (!m_s.empty())
        _mbsupr(reinterpret_cast<unsigned char*>(&m_s[0]));
}

static bool IsTrimSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

void CString::TrimLeft() {
    size_t i = 0;
    while (i < m_s.size() && IsTrimSpace(m_s[i]))
        i++;
    m_s.erase(0, i);
}

void CString::TrimRight() {
    size_t n = m_s.size();
    while (n > 0 && IsTrimSpace(m_s[n - 1]))
        n--;
    m_s.resize(n);
}

void CString::Format(LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(NULL, 0, format, copy);
    va_end(copy);
    if (n < 0) {
        m_s.clear();
    } else {
        std::string out(n + 1, '\0');
        vsnprintf(&out[0], n + 1, format, args);
        out.resize(n);
        m_s = out;
    }
    va_end(args);
}
