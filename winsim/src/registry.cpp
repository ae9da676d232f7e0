// The registry model: path resolution over the two real hives, test-side access, and the key handle table.
#include "k_internal.h"

#include <winsim/api_reg.h>
#include <winsim/winerror.h>

#include <string.h>

namespace winsim {

namespace {

const char kUserKey[] = "S-1-5-21-1715567821-926492609-725345543-1004";

std::vector<std::string> SplitKeyPath(const std::string& sub) {
    return SplitParts(sub, false);
}

void MarkDeleted(RegKey& key) {
    key.deleted = true;
    for (auto& c : key.children)
        MarkDeleted(*c.second);
}

std::string MultiSz(const std::vector<std::string>& values) {
    std::string bytes;
    for (const std::string& v : values) {
        bytes += v;
        bytes += '\0';
    }
    bytes += '\0';
    return bytes;
}

}  // namespace

bool SplitRegistryPath(const std::string& path, std::string& root, std::string& rest) {
    size_t slash = path.find('\\');
    std::string head = NameKey(path.substr(0, slash));
    rest = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    static const struct {
        const char* shortName;
        const char* longName;
    } kRoots[] = {{"HKLM", "HKEY_LOCAL_MACHINE"},
                  {"HKCU", "HKEY_CURRENT_USER"},
                  {"HKU", "HKEY_USERS"},
                  {"HKCR", "HKEY_CLASSES_ROOT"},
                  {"HKCC", "HKEY_CURRENT_CONFIG"}};
    for (const auto& r : kRoots) {
        if (head == r.shortName || head == r.longName) {
            root = r.longName;
            return true;
        }
    }
    return false;
}

RegValue* RegKey::FindValue(const std::string& valueName) {
    for (RegValue& v : values)
        if (NamesEqual(v.name, valueName))
            return &v;
    return nullptr;
}

std::string RegKey::FullPath() const {
    return parent ? parent->FullPath() + "\\" + name : name;
}

Registry::Registry()
    : m_machine(std::make_shared<RegKey>()), m_users(std::make_shared<RegKey>()) {
    m_machine->name = "HKEY_LOCAL_MACHINE";
    m_users->name = "HKEY_USERS";
    CreateKey("HKLM\\SOFTWARE\\Classes");
    CreateKey("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
    CreateKey("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    CreateKey("HKLM\\SYSTEM\\CurrentControlSet\\Services");
    CreateKey("HKLM\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current");
    CreateKey("HKU\\.DEFAULT\\Software");
    CreateKey("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion");
}

Registry::~Registry() = default;

const char* Registry::CurrentUserKey() {
    return kUserKey;
}

std::shared_ptr<RegKey> Registry::Resolve(const std::string& path, bool create) const {
    std::string root, rest;
    if (!SplitRegistryPath(path, root, rest))
        return nullptr;
    std::shared_ptr<RegKey> base;
    std::string prefix;
    if (root == "HKEY_LOCAL_MACHINE") {
        base = m_machine;
    } else if (root == "HKEY_USERS") {
        base = m_users;
    } else if (root == "HKEY_CURRENT_USER") {
        // 9x machines without user profiles keep HKCU in HKU\.DEFAULT; one user key is enough here.
        base = m_users;
        prefix = kUserKey;
    } else if (root == "HKEY_CLASSES_ROOT") {
        // NT merges HKCU\Software\Classes over this; the machine part is all the product touches.
        base = m_machine;
        prefix = "SOFTWARE\\Classes";
    } else {
        base = m_machine;
        prefix = "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current";
    }
    auto self = const_cast<Registry*>(this);
    if (!prefix.empty()) {
        base = self->Walk(base, prefix, true);
    }
    return self->Walk(base, rest, create);
}

std::shared_ptr<RegKey> Registry::Walk(const std::shared_ptr<RegKey>& from, const std::string& sub, bool create,
                                       bool* created) {
    if (created)
        *created = false;
    std::shared_ptr<RegKey> cur = from;
    for (const std::string& part : SplitKeyPath(sub)) {
        if (!cur)
            return nullptr;
        auto it = cur->children.find(NameKey(part));
        if (it != cur->children.end()) {
            cur = it->second;
            continue;
        }
        if (!create)
            return nullptr;
        auto child = std::make_shared<RegKey>();
        child->name = part;
        child->parent = cur.get();
        child->lastWrite = ToFileTimeNow();
        cur->children[NameKey(part)] = child;
        cur = child;
        if (created)
            *created = true;
    }
    return cur;
}

std::shared_ptr<RegKey> Registry::Find(const std::string& path) const {
    return Resolve(path, false);
}

void Registry::CreateKey(const std::string& path) {
    Resolve(path, true);
}

bool Registry::KeyExists(const std::string& path) const {
    return Find(path) != nullptr;
}

void Registry::SetValue(const std::string& path, const std::string& name, DWORD type, const std::string& bytes) {
    std::shared_ptr<RegKey> key = Resolve(path, true);
    if (!key)
        return;
    if (RegValue* v = key->FindValue(name)) {
        v->type = type;
        v->data = bytes;
    } else {
        key->values.push_back(RegValue{name, type, bytes});
    }
    key->lastWrite = ToFileTimeNow();
}

void Registry::SetString(const std::string& path, const std::string& name, const std::string& value) {
    SetValue(path, name, REG_SZ, std::string(value.c_str(), value.size() + 1));
}

void Registry::SetExpandString(const std::string& path, const std::string& name, const std::string& value) {
    SetValue(path, name, REG_EXPAND_SZ, std::string(value.c_str(), value.size() + 1));
}

void Registry::SetMultiString(const std::string& path, const std::string& name,
                              const std::vector<std::string>& values) {
    SetValue(path, name, REG_MULTI_SZ, MultiSz(values));
}

void Registry::SetDword(const std::string& path, const std::string& name, DWORD value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xFF);
    SetValue(path, name, REG_DWORD, bytes);
}

std::optional<RegValue> Registry::GetValue(const std::string& path, const std::string& name) const {
    std::shared_ptr<RegKey> key = Find(path);
    if (!key)
        return std::nullopt;
    if (RegValue* v = key->FindValue(name))
        return *v;
    return std::nullopt;
}

bool Registry::ValueExists(const std::string& path, const std::string& name) const {
    return GetValue(path, name).has_value();
}

std::optional<std::string> Registry::GetString(const std::string& path, const std::string& name) const {
    auto v = GetValue(path, name);
    if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ))
        return std::nullopt;
    return std::string(v->data.c_str(), strnlen(v->data.data(), v->data.size()));
}

std::optional<DWORD> Registry::GetDword(const std::string& path, const std::string& name) const {
    auto v = GetValue(path, name);
    if (!v || v->type != REG_DWORD || v->data.size() < 4)
        return std::nullopt;
    DWORD d = 0;
    for (int i = 3; i >= 0; --i)
        d = (d << 8) | (unsigned char)v->data[i];
    return d;
}

std::optional<std::vector<std::string>> Registry::GetMultiString(const std::string& path,
                                                                 const std::string& name) const {
    auto v = GetValue(path, name);
    if (!v || v->type != REG_MULTI_SZ)
        return std::nullopt;
    std::vector<std::string> out;
    size_t pos = 0;
    const std::string& d = v->data;
    // Stops at the empty string that ends the list (or at the end of the data).
    while (pos < d.size()) {
        size_t end = d.find('\0', pos);
        if (end == std::string::npos)
            end = d.size();
        if (end == pos)
            break;
        out.push_back(d.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

bool Registry::DeleteValue(const std::string& path, const std::string& name) {
    std::shared_ptr<RegKey> key = Find(path);
    if (!key)
        return false;
    for (auto it = key->values.begin(); it != key->values.end(); ++it) {
        if (NamesEqual(it->name, name)) {
            key->values.erase(it);
            return true;
        }
    }
    return false;
}

std::vector<std::string> Registry::SubKeys(const std::string& path) const {
    std::vector<std::string> out;
    if (std::shared_ptr<RegKey> key = Find(path))
        for (const auto& c : key->children)
            out.push_back(c.second->name);
    return out;
}

std::vector<std::string> Registry::ValueNames(const std::string& path) const {
    std::vector<std::string> out;
    if (std::shared_ptr<RegKey> key = Find(path))
        for (const RegValue& v : key->values)
            out.push_back(v.name);
    return out;
}

void Registry::Unlink(const std::shared_ptr<RegKey>& key) {
    if (!key->parent)
        return;
    key->parent->children.erase(NameKey(key->name));
    key->parent->lastWrite = ToFileTimeNow();
    key->parent = nullptr;
    MarkDeleted(*key);
}

void Registry::DeleteTree(const std::string& path) {
    std::shared_ptr<RegKey> key = Find(path);
    if (key && key->parent)
        Unlink(key);
}

std::string Registry::CanonicalPath(const std::string& path) {
    std::string root, rest;
    if (!SplitRegistryPath(path, root, rest))
        return std::string();
    std::string canonical;
    if (root == "HKEY_CURRENT_USER")
        canonical = std::string("HKEY_USERS\\") + kUserKey;
    else if (root == "HKEY_CLASSES_ROOT")
        canonical = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes";
    else if (root == "HKEY_CURRENT_CONFIG")
        canonical = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current";
    else
        canonical = root;
    for (const std::string& part : SplitKeyPath(rest))
        canonical += "\\" + part;
    return canonical;
}

void Registry::DenyAccess(const std::string& path, DWORD error) {
    // Kept by canonical path, so the rule holds whichever root the program opens the key through,
    // and also for a key created later.
    std::string canonical = CanonicalPath(path);
    if (!canonical.empty())
        m_denied[NameKey(canonical)] = error;
}

void Registry::AllowAccess(const std::string& path) {
    m_denied.erase(NameKey(CanonicalPath(path)));
}

DWORD Registry::DeniedError(const RegKey& key) const {
    if (m_denied.empty())
        return 0;
    auto it = m_denied.find(NameKey(key.FullPath()));
    return it == m_denied.end() ? 0 : it->second;
}

const Registry::OpenKey* Registry::Lookup(HKEY hkey) const {
    uintptr_t h = reinterpret_cast<uintptr_t>(hkey);
    auto it = m_handles.find(h);
    if (it != m_handles.end())
        return &it->second;
    const char* root = nullptr;
    if (hkey == HKEY_LOCAL_MACHINE)
        root = "HKLM";
    else if (hkey == HKEY_CURRENT_USER)
        root = "HKCU";
    else if (hkey == HKEY_USERS)
        root = "HKU";
    else if (hkey == HKEY_CLASSES_ROOT)
        root = "HKCR";
    else if (hkey == HKEY_CURRENT_CONFIG)
        root = "HKCC";
    if (!root)
        return nullptr;
    OpenKey& open = m_roots[h];
    open.key = Resolve(root, true);
    open.path = root;
    return &open;
}

HKEY Registry::AddHandle(std::shared_ptr<RegKey> key, std::string path) {
    uintptr_t h = m_nextHandle;
    m_nextHandle += 4;
    m_handles[h] = OpenKey{std::move(key), std::move(path)};
    return reinterpret_cast<HKEY>(h);
}

bool Registry::CloseHandle(HKEY hkey) {
    return m_handles.erase(reinterpret_cast<uintptr_t>(hkey)) != 0;
}

}  // namespace winsim
