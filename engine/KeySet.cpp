// Sets of registry keys, values and file names as Windows compares them.
#include "engine/KeySet.h"

CString UpperName(const CString& text) {
    CString upper = text;
    upper.MakeUpper();
    return CString((LPCSTR)upper);
}

CString CKeySet::KeyTag(HKEY root, const CString& path) {
    // The root handle's value in decimal.
    char digits[24];
    int at = sizeof(digits) - 1;
    digits[at] = '\0';
    unsigned long long value = (unsigned long long)(ULONG_PTR)root;
    do {
        digits[--at] = char('0' + value % 10);
        value /= 10;
    } while (value);
    CString tag = CString(digits + at) + "|" + UpperName(path);
    int length = tag.GetLength();
    while (length > 0 && tag.GetAt(length - 1) == '\\')
        length--;
    return tag.Left(length);
}

BOOL CKeySet::CoversKey(HKEY root, const CString& path) const {
    CString tag = KeyTag(root, path);
    const int bar = tag.Find('|');
    for (;;) {
        if (m_keys.count(tag))
            return TRUE;
        int cut = -1;
        for (int i = 0; i < tag.GetLength(); i++)
            if (tag.GetAt(i) == '\\')
                cut = i;
        if (cut < 0 || cut < bar)
            return FALSE;
        tag = tag.Left(cut);
    }
}
