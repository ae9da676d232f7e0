// The simulated registry: hives of case-insensitive, case-preserving keys with typed values, and open key handles.
#pragma once
#include <winsim/wintypes.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace winsim {

struct RegValue {
    std::string name;  // as first written
    DWORD type = 0;
    std::string data;  // raw bytes, strings with the NUL(s) they were stored with
};

struct RegKey {
    std::string name;  // as created
    // Sub-keys by upper-cased name: the order Windows enumerates them in.
    std::map<std::string, std::shared_ptr<RegKey>> children;
    std::vector<RegValue> values;  // in creation order
    RegKey* parent = nullptr;
    bool deleted = false;  // handles still open on a deleted key get ERROR_KEY_DELETED
    FILETIME lastWrite = {0, 0};

    RegValue* FindValue(const std::string& valueName);
    std::string FullPath() const;  // "HKEY_LOCAL_MACHINE\\SOFTWARE\\..."
};

class Registry {
public:
    // The hives of a fresh workstation: HKLM\SOFTWARE, HKLM\SOFTWARE\Classes, HKLM\SYSTEM\CurrentControlSet\...,
    // HKU\.DEFAULT and the current user's key that HKCU maps to.
    Registry();
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // Paths start with a root: HKLM, HKCU, HKU, HKCR, HKCC or their HKEY_... forms.
    // HKCU is HKU\<CurrentUserKey()>, HKCR is HKLM\SOFTWARE\Classes.
    void CreateKey(const std::string& path);
    bool KeyExists(const std::string& path) const;
    // The Set calls create the key (and its parents) when missing.
    void SetString(const std::string& path, const std::string& name, const std::string& value);
    void SetExpandString(const std::string& path, const std::string& name, const std::string& value);
    void SetMultiString(const std::string& path, const std::string& name, const std::vector<std::string>& values);
    void SetDword(const std::string& path, const std::string& name, DWORD value);
    void SetValue(const std::string& path, const std::string& name, DWORD type, const std::string& bytes);
    bool ValueExists(const std::string& path, const std::string& name) const;
    std::optional<RegValue> GetValue(const std::string& path, const std::string& name) const;
    // REG_SZ or REG_EXPAND_SZ text up to its first NUL; nullopt when missing or of another type.
    std::optional<std::string> GetString(const std::string& path, const std::string& name) const;
    std::optional<DWORD> GetDword(const std::string& path, const std::string& name) const;
    std::optional<std::vector<std::string>> GetMultiString(const std::string& path, const std::string& name) const;
    bool DeleteValue(const std::string& path, const std::string& name);
    // Names as stored, in enumeration order.
    std::vector<std::string> SubKeys(const std::string& path) const;
    std::vector<std::string> ValueNames(const std::string& path) const;
    // Removes the key and everything under it; missing keys are fine.
    void DeleteTree(const std::string& path);

    // Opening (RegOpenKeyExA, RegCreateKeyExA) or deleting that key fails with `error` until AllowAccess.
    void DenyAccess(const std::string& path, DWORD error = 5 /* ERROR_ACCESS_DENIED */);
    void AllowAccess(const std::string& path);
    // Key handles the program has open and not closed: for leak checks.
    size_t OpenKeyCount() const { return m_handles.size(); }
    static const char* CurrentUserKey();
    // "HKEY_USERS\\<user>\\Software\\X" for "HKCU\\Software\\X"; empty for an unknown root.
    static std::string CanonicalPath(const std::string& path);

    // ---- for the advapi32 layer ----
    // The key of a canonical or short path, or null.
    std::shared_ptr<RegKey> Find(const std::string& path) const;
    // Walks or creates `sub` (backslash-separated, empty parts ignored) below `from`.
    std::shared_ptr<RegKey> Walk(const std::shared_ptr<RegKey>& from, const std::string& sub, bool create,
                                 bool* created = nullptr);
    // An injected access error for the key, or 0.
    DWORD DeniedError(const RegKey& key) const;
    struct OpenKey {
        std::shared_ptr<RegKey> key;
        std::string path;  // how the program named it, e.g. "HKCU\\Software\\X": the SIM_FAULT argument
    };
    // An open handle or one of the predefined HKEY_* roots; null when closed or unknown.
    const OpenKey* Lookup(HKEY hkey) const;
    HKEY AddHandle(std::shared_ptr<RegKey> key, std::string path);
    bool CloseHandle(HKEY hkey);
    // Unlinks a key from its parent and marks its tree deleted.
    void Unlink(const std::shared_ptr<RegKey>& key);

private:
    std::shared_ptr<RegKey> Resolve(const std::string& path, bool create) const;
    std::shared_ptr<RegKey> m_machine;  // HKEY_LOCAL_MACHINE
    std::shared_ptr<RegKey> m_users;    // HKEY_USERS
    std::map<std::string, DWORD> m_denied;  // upper-cased canonical path -> error
    std::map<uintptr_t, OpenKey> m_handles;
    uintptr_t m_nextHandle = 0x100;
    mutable std::map<uintptr_t, OpenKey> m_roots;
};

// Splits "ROOT\\a\\b" into a canonical root name ("HKEY_LOCAL_MACHINE"...) and the rest; false on an unknown root.
bool SplitRegistryPath(const std::string& path, std::string& root, std::string& rest);

}  // namespace winsim
