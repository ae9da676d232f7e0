// Sets of registry keys, values and file names as Windows compares them.
#include "engine/KeySet.h"

#include "engine/MbText.h"

namespace {

// `path` without trailing separators; a double-byte character's trail byte 0x5C is not one.
CString WithoutTrailingSeparators(CString path) {
    while (!path.IsEmpty() && MbFindLastSeparator(path, FALSE) == path.GetLength() - 1)
        path = path.Left(path.GetLength() - 1);
    return path;
}

}  // namespace

std::string UpperName(const CString& text) {
    CString upper = text;
    upper.MakeUpper();
    return std::string((LPCSTR)upper);
}

std::string CKeySet::KeyTag(HKEY root, const CString& path) {
    return std::to_string((unsigned long long)(ULONG_PTR)root) + "|" + UpperName(WithoutTrailingSeparators(path));
}

BOOL CKeySet::CoversKey(HKEY root, const CString& path) const {
    CString key = WithoutTrailingSeparators(path);
    for (;;) {
        if (m_keys.count(KeyTag(root, key)))
            return TRUE;
        const int cut = MbFindLastSeparator(key, FALSE);
        if (cut < 0)
            return FALSE;
        key = key.Left(cut);
    }
}
