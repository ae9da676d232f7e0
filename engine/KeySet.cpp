// Sets of registry keys, values and file names as Windows compares them.
#include "engine/KeySet.h"

#include "engine/MbText.h"

LPCSTR RootKeyName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE)
        return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CURRENT_USER)
        return "HKEY_CURRENT_USER";
    if (root == HKEY_USERS)
        return "HKEY_USERS";
    return "";
}

CString UpperName(const CString& text) {
    CString upper = text;
    upper.MakeUpper();
    return CString((LPCSTR)upper);
}

CString SubKeyPath(const CString& path, const CString& name) {
    const int last = MbFindLastSeparator(path, FALSE);
    const BOOL trailing = last >= 0 && last == path.GetLength() - 1;
    return path + (trailing ? "" : "\\") + name;
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
    return CString(digits + at) + "|" + UpperName(MbWithoutTrailingSeparators(path));
}

BOOL CKeySet::CoversKey(HKEY root, const CString& path) const {
    CString key = MbWithoutTrailingSeparators(path);
    for (;;) {
        if (m_keys.count(KeyTag(root, key)))
            return TRUE;
        const int cut = MbFindLastSeparator(key, FALSE);
        if (cut < 0)
            return FALSE;
        key = key.Left(cut);
    }
}
