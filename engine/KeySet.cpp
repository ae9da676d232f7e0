// Sets of registry keys, values and file names as Windows compares them.
#include "engine/KeySet.h"

std::string UpperName(const CString& text) {
    CString upper = text;
    upper.MakeUpper();
    return std::string((LPCSTR)upper);
}

std::string CKeySet::KeyTag(HKEY root, const CString& path) {
    std::string tag = std::to_string((unsigned long long)(ULONG_PTR)root) + "|" + UpperName(path);
    while (!tag.empty() && tag.back() == '\\')
        tag.pop_back();
    return tag;
}

BOOL CKeySet::CoversKey(HKEY root, const CString& path) const {
    std::string tag = KeyTag(root, path);
    const size_t bar = tag.find('|');
    for (;;) {
        if (m_keys.count(tag))
            return TRUE;
        const size_t cut = tag.rfind('\\');
        if (cut == std::string::npos || cut < bar)
            return FALSE;
        tag.resize(cut);
    }
}
