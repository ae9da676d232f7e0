// Sets of registry keys, values and file names as Windows compares them (case-insensitively), for the
// bookkeeping of what a run has already deleted or saved.
#pragma once

#include <windows.h>

#include <set>

#include "afx/afxstr.h"

// The root key's full name, as registry files and the log write it ("HKEY_LOCAL_MACHINE"); empty for
// another root.
LPCSTR RootKeyName(HKEY root);
// `text` upper-cased code-page-aware: the form names are compared in.
CString UpperName(const CString& text);
// The path of the sub-key `name` of the key at `path`: one separator between them, none added after a
// trailing one, so that a tree's walk and the dry run's model name its keys alike.
CString SubKeyPath(const CString& path, const CString& name);

class CKeySet {
public:
    void AddKey(HKEY root, const CString& path) { m_keys.insert(KeyTag(root, path)); }
    void AddValue(HKEY root, const CString& path, const CString& name) { m_values.insert(ValueTag(root, path, name)); }
    // The key itself or one of the keys above it was added: a tree that holds it.
    BOOL CoversKey(HKEY root, const CString& path) const;
    // The key itself was added (not a tree above it): one look-up, however deep the key lies.
    BOOL HoldsKey(HKEY root, const CString& path) const { return m_keys.count(KeyTag(root, path)) != 0; }
    // The value was added, or a tree that holds its key.
    BOOL CoversValue(HKEY root, const CString& path, const CString& name) const {
        return m_values.count(ValueTag(root, path, name)) != 0 || CoversKey(root, path);
    }
    void Clear() {
        m_keys.clear();
        m_values.clear();
    }

    // "root|PATH" without a trailing separator: the form keys are compared in.
    static CString KeyTag(HKEY root, const CString& path);

private:
    // "root|PATH|NAME" for a value.
    static CString ValueTag(HKEY root, const CString& path, const CString& name) {
        return KeyTag(root, path) + "|" + UpperName(name);
    }
    std::set<CString> m_keys;
    std::set<CString> m_values;
};
