// advapi32 on the simulated machine: the registry calls (with the exact sizing of the A functions) and GetUserNameA.
#include "k_internal.h"

#include <windows.h>
#include <winsim/codepage.h>

#include <string.h>

using winsim::Current;
using winsim::RegKey;
using winsim::Registry;

namespace {

Registry& Reg() {
    return Current().registry;
}

// The armed error of a registry fault: registry calls return it rather than only setting it.
#define REG_FAULT(api, arg) SIM_FAULT(api, arg, (LONG)::winsim::Current().lastError)

bool IsString(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::string Join(const Registry::OpenKey* parent, LPCSTR sub) {
    std::string base = parent ? parent->path : "<invalid key>";
    if (sub && *sub)
        base += std::string("\\") + sub;
    return base;
}

// The key behind an open handle, with the error to return when there is none.
LONG KeyOf(HKEY hKey, std::shared_ptr<RegKey>& key, const Registry::OpenKey** open = nullptr) {
    const Registry::OpenKey* o = Reg().Lookup(hKey);
    if (open)
        *open = o;
    if (!o)
        return ERROR_INVALID_HANDLE;
    if (o->key->deleted)
        return ERROR_KEY_DELETED;
    key = o->key;
    return ERROR_SUCCESS;
}

// A key whose parent is a hive root (HKLM\SOFTWARE, HKU\<user>...) is a hive of its own and cannot go.
bool IsHiveKey(const RegKey& key) {
    return !key.parent || !key.parent->parent;
}

// ERROR_NO_SYSTEM_RESOURCES: Windows makes no key below level 511 (\REGISTRY being level 1, a hive root
// such as \REGISTRY\MACHINE level 2); the tree holds at most 512 levels.
const LONG kErrorNoSystemResources = 1450;
const int kDeepestLevel = 511;
// A key name holds at most 255 characters.
const size_t kLongestName = 255;
// The A calls convert the sub-key path in the thread's 261-character buffer (measured under Wine).
const size_t kLongestPath = 260;

bool IsPredefinedRoot(HKEY hKey) {
    return hKey == HKEY_CLASSES_ROOT || hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE ||
           hKey == HKEY_USERS || hKey == HKEY_CURRENT_CONFIG;
}

int Level(const RegKey& key) {
    int level = 2;
    for (const RegKey* p = key.parent; p; p = p->parent)
        ++level;
    return level;
}

// Why an A call refuses a sub-key path before looking at the registry, or 0. May step past a leading
// separator that Windows accepts.
LONG PathError(HKEY hKey, LPCSTR& sub) {
    if (!sub)
        return ERROR_SUCCESS;
    if (strlen(sub) > kLongestPath)
        return ERROR_MORE_DATA;
    if (*sub == '\\' && Current().system.IsNT()) {
        // NT refuses a path that starts with a separator (ERROR_BAD_PATHNAME), except below
        // HKEY_CLASSES_ROOT, where advapi32 skips one; Windows 9x ignores leading separators.
        if (hKey != HKEY_CLASSES_ROOT)
            return ERROR_BAD_PATHNAME;
        ++sub;
    }
    return ERROR_SUCCESS;
}

LONG OpenImpl(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = NULL;
    if (LONG e = PathError(hKey, lpSubKey))
        return e;
    const Registry::OpenKey* parentOpen = nullptr;
    std::shared_ptr<RegKey> parent;
    if (LONG e = KeyOf(hKey, parent, &parentOpen))
        return e;
    std::shared_ptr<RegKey> key = Reg().Walk(parent, lpSubKey ? lpSubKey : "", false);
    if (!key)
        return ERROR_FILE_NOT_FOUND;
    if (DWORD denied = Reg().DeniedError(*key))
        return LONG(denied);
    *phkResult = Reg().AddHandle(key, Join(parentOpen, lpSubKey));
    return ERROR_SUCCESS;
}

LONG CreateImpl(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult || !lpSubKey)
        return ERROR_INVALID_PARAMETER;
    *phkResult = NULL;
    if (LONG e = PathError(hKey, lpSubKey))
        return e;
    const Registry::OpenKey* parentOpen = nullptr;
    std::shared_ptr<RegKey> parent;
    if (LONG e = KeyOf(hKey, parent, &parentOpen))
        return e;
    std::string path = Join(parentOpen, lpSubKey);
    std::shared_ptr<RegKey> existing = Reg().Walk(parent, lpSubKey, false);
    if (existing) {
        if (DWORD denied = Reg().DeniedError(*existing))
            return LONG(denied);
        if (lpdwDisposition)
            *lpdwDisposition = REG_OPENED_EXISTING_KEY;
        *phkResult = Reg().AddHandle(existing, path);
        return ERROR_SUCCESS;
    }
    std::vector<std::string> parts = winsim::SplitParts(lpSubKey, false);
    for (const std::string& part : parts)
        if (part.size() > kLongestName)
            return ERROR_INVALID_PARAMETER;
    if (Level(*parent) + int(parts.size()) > kDeepestLevel)
        return kErrorNoSystemResources;
    bool created = false;
    std::shared_ptr<RegKey> key = Reg().Walk(parent, lpSubKey, true, &created);
    if (DWORD denied = Reg().DeniedError(*key)) {
        // The key may not be made: undo it.
        Reg().Unlink(key);
        return LONG(denied);
    }
    if (lpdwDisposition)
        *lpdwDisposition = REG_CREATED_NEW_KEY;
    *phkResult = Reg().AddHandle(key, path);
    return ERROR_SUCCESS;
}

// Copies value data out as RegQueryValueExA and RegEnumValueA do; ERROR_MORE_DATA leaves the buffer alone.
LONG CopyData(const winsim::RegValue& v, LPBYTE data, LPDWORD cb) {
    DWORD len = DWORD(v.data.size());
    LONG result = ERROR_SUCCESS;
    if (data) {
        if (len > *cb) {
            result = ERROR_MORE_DATA;
        } else {
            memcpy(data, v.data.data(), len);
            // NT terminates a string stored without its NUL when the buffer has room.
            if (IsString(v.type) && len > 0 && len < *cb && data[len - 1])
                data[len] = 0;
        }
    }
    if (cb)
        *cb = len;
    return result;
}

}  // namespace

extern "C" {

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    REG_FAULT("RegOpenKeyExA", Join(Reg().Lookup(hKey), lpSubKey));
    // No path below a predefined root gives that root's own handle back, not a new one.
    if (phkResult && (!lpSubKey || !*lpSubKey) && IsPredefinedRoot(hKey)) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    return OpenImpl(hKey, lpSubKey, phkResult);
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
    REG_FAULT("RegCreateKeyExA", Join(Reg().Lookup(hKey), lpSubKey));
    return CreateImpl(hKey, lpSubKey, phkResult, lpdwDisposition);
}

LONG WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
    REG_FAULT("RegCreateKeyA", Join(Reg().Lookup(hKey), lpSubKey));
    if (phkResult && (!lpSubKey || !*lpSubKey)) {
        if (!Reg().Lookup(hKey))
            return ERROR_INVALID_HANDLE;
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    return CreateImpl(hKey, lpSubKey, phkResult, nullptr);
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    const Registry::OpenKey* o = Reg().Lookup(hKey);
    REG_FAULT("RegCloseKey", o ? o->path : std::string("<invalid key>"));
    if (!o)
        return ERROR_INVALID_HANDLE;
    Reg().CloseHandle(hKey);  // the predefined roots stay usable
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
    std::string name = lpValueName ? lpValueName : "";
    REG_FAULT("RegQueryValueExA", Join(Reg().Lookup(hKey), lpValueName));
    if ((lpData && !lpcbData) || lpReserved)
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegKey> key;
    if (LONG e = KeyOf(hKey, key))
        return e;
    if (lpcbData && !lpData)
        *lpcbData = 0;
    // Windows 9x and Wine report REG_NONE for a missing value; NT leaves whatever was there.
    if (lpType)
        *lpType = REG_NONE;
    winsim::RegValue* v = key->FindValue(name);
    if (!v)
        return ERROR_FILE_NOT_FOUND;
    if (lpType)
        *lpType = v->type;
    return CopyData(*v, lpData, lpcbData);
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) {
    std::string name = lpValueName ? lpValueName : "";
    REG_FAULT("RegSetValueExA", Join(Reg().Lookup(hKey), lpValueName));
    std::shared_ptr<RegKey> key;
    if (LONG e = KeyOf(hKey, key))
        return e;
    if (!lpData && cbData)
        return ERROR_NOACCESS;
    DWORD count = cbData;
    if (Current().system.Is9x()) {
        // Windows 9x ignores the count of a REG_SZ and stores up to the NUL.
        if (dwType == REG_SZ) {
            if (!lpData)
                return ERROR_INVALID_PARAMETER;
            count = DWORD(strlen((const char*)lpData) + 1);
        }
    } else if (count && IsString(dwType) && lpData[count - 1] && !lpData[count]) {
        // NT counts the NUL a caller left out of cbData.
        count++;
    }
    std::string bytes(lpData ? (const char*)lpData : "", count);
    if (winsim::RegValue* v = key->FindValue(name)) {
        v->type = dwType;
        v->data = bytes;
    } else {
        key->values.push_back(winsim::RegValue{name, dwType, bytes});
    }
    key->lastWrite = winsim::ToFileTimeNow();
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    std::string name = lpValueName ? lpValueName : "";
    REG_FAULT("RegDeleteValueA", Join(Reg().Lookup(hKey), lpValueName));
    std::shared_ptr<RegKey> key;
    if (LONG e = KeyOf(hKey, key))
        return e;
    for (auto it = key->values.begin(); it != key->values.end(); ++it) {
        if (winsim::NamesEqual(it->name, name)) {
            key->values.erase(it);
            key->lastWrite = winsim::ToFileTimeNow();
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    REG_FAULT("RegDeleteKeyA", Join(Reg().Lookup(hKey), lpSubKey));
    if (!lpSubKey)
        return ERROR_INVALID_PARAMETER;
    if (LONG e = PathError(hKey, lpSubKey))
        return e;
    std::shared_ptr<RegKey> parent;
    if (LONG e = KeyOf(hKey, parent))
        return e;
    // An empty name deletes the key the handle refers to.
    std::shared_ptr<RegKey> key = Reg().Walk(parent, lpSubKey, false);
    if (!key)
        return ERROR_FILE_NOT_FOUND;
    if (IsHiveKey(*key))
        return ERROR_ACCESS_DENIED;
    if (DWORD denied = Reg().DeniedError(*key))
        return LONG(denied);
    // NT refuses a key that still has sub-keys (ERROR_ACCESS_DENIED); Windows 9x removes the whole tree.
    if (Current().system.IsNT() && !key->children.empty())
        return ERROR_ACCESS_DENIED;
    Reg().Unlink(key);
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                          LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    REG_FAULT("RegEnumKeyExA", Join(Reg().Lookup(hKey), nullptr));
    if (!lpName || !lpcchName || lpReserved)
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegKey> key;
    if (LONG e = KeyOf(hKey, key))
        return e;
    if (dwIndex >= key->children.size())
        return ERROR_NO_MORE_ITEMS;
    auto it = key->children.begin();
    std::advance(it, dwIndex);
    const RegKey& child = *it->second;
    DWORD len = DWORD(child.name.size());
    // Too small a buffer leaves the name and the count as they were.
    if (len >= *lpcchName || (lpClass && lpcchClass && *lpcchClass < 1))
        return ERROR_MORE_DATA;
    memcpy(lpName, child.name.c_str(), len + 1);
    *lpcchName = len;
    if (lpClass && lpcchClass) {
        lpClass[0] = '\0';
        *lpcchClass = 0;
    }
    if (lpftLastWriteTime)
        *lpftLastWriteTime = child.lastWrite;
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
    REG_FAULT("RegEnumKeyA", Join(Reg().Lookup(hKey), nullptr));
    if (!lpName)
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegKey> key;
    if (LONG e = KeyOf(hKey, key))
        return e;
    if (dwIndex >= key->children.size())
        return ERROR_NO_MORE_ITEMS;
    auto it = key->children.begin();
    std::advance(it, dwIndex);
    const std::string& name = it->second->name;
    if (name.size() >= cchName)
        return ERROR_MORE_DATA;
    memcpy(lpName, name.c_str(), name.size() + 1);
    return ERROR_SUCCESS;
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    REG_FAULT("RegEnumValueA", Join(Reg().Lookup(hKey), nullptr));
    if ((lpData && !lpcbData) || lpReserved || !lpValueName || !lpcchValueName)
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegKey> key;
    if (LONG e = KeyOf(hKey, key))
        return e;
    if (dwIndex >= key->values.size())
        return ERROR_NO_MORE_ITEMS;
    const winsim::RegValue& v = key->values[dwIndex];
    LONG result = CopyData(v, lpData, lpcbData);
    if (result == ERROR_SUCCESS) {
        DWORD nameLen = DWORD(v.name.size());
        if (nameLen >= *lpcchValueName) {
            // The name is cut to fit and the count left alone.
            result = ERROR_MORE_DATA;
            if (*lpcchValueName) {
                memcpy(lpValueName, v.name.data(), *lpcchValueName - 1);
                lpValueName[*lpcchValueName - 1] = '\0';
            }
        } else {
            memcpy(lpValueName, v.name.c_str(), nameLen + 1);
            *lpcchValueName = nameLen;
        }
    }
    if (lpType)
        *lpType = v.type;
    return result;
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                             LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                             LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime) {
    REG_FAULT("RegQueryInfoKeyA", Join(Reg().Lookup(hKey), nullptr));
    if (lpReserved || (lpClass && !lpcchClass))
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<RegKey> key;
    if (LONG e = KeyOf(hKey, key))
        return e;
    if (lpClass) {
        if (*lpcchClass < 1)
            return ERROR_MORE_DATA;
        lpClass[0] = '\0';
    }
    if (lpcchClass)
        *lpcchClass = 0;
    DWORD maxSub = 0, maxName = 0, maxData = 0;
    for (const auto& c : key->children)
        maxSub = std::max<DWORD>(maxSub, DWORD(c.second->name.size()));
    const winsim::SystemInfo& sys = Current().system;
    for (const winsim::RegValue& v : key->values) {
        maxName = std::max<DWORD>(maxName, DWORD(v.name.size()));
        // NT stores strings as UTF-16 and reports that size even to the A call; 9x stores ANSI.
        DWORD size = DWORD(v.data.size());
        if (sys.IsNT() && IsString(v.type))
            size = DWORD(2 * winsim::FromAnsi(v.data, sys.acp).size());
        maxData = std::max<DWORD>(maxData, size);
    }
    if (lpcSubKeys)
        *lpcSubKeys = DWORD(key->children.size());
    if (lpcbMaxSubKeyLen)
        *lpcbMaxSubKeyLen = maxSub;
    if (lpcbMaxClassLen)
        *lpcbMaxClassLen = 0;
    if (lpcValues)
        *lpcValues = DWORD(key->values.size());
    if (lpcbMaxValueNameLen)
        *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen)
        *lpcbMaxValueLen = maxData;
    if (lpcbSecurityDescriptor)
        *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime)
        *lpftLastWriteTime = key->lastWrite;
    return ERROR_SUCCESS;
}

BOOL WINAPI GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer) {
    SIM_FAULT("GetUserNameA", "", FALSE);
    if (!pcbBuffer) {
        Current().lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    const std::string& name = Current().system.userName;
    DWORD needed = DWORD(name.size() + 1);
    if (!lpBuffer || *pcbBuffer < needed) {
        *pcbBuffer = needed;
        Current().lastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    memcpy(lpBuffer, name.c_str(), needed);
    *pcbBuffer = needed;
    return TRUE;
}

}  // extern "C"
