// The file system model: path resolution, the folder tree, and the test-side arrange/inspect calls.
#include "k_internal.h"

#include <winsim/api_reg.h>
#include <winsim/winerror.h>

#include <algorithm>

namespace winsim {

namespace {

// 2008-06-01 12:00:00 UTC as a FILETIME: the simulated machine's boot time.
const uint64_t kBootTime = 128567952000000000ULL;

bool IsUncRoot(const std::string& path) {
    return path.size() > 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
}

}  // namespace

FILETIME ToFileTimeNow() {
    return ToFileTime(FileSystem::Now());
}

uint64_t FileSystem::Now() {
    uint64_t ms = HasCurrent() ? Current().now : 0;
    return kBootTime + ms * 10000ULL;
}

std::string FsNode::FullPath() const {
    if (!parent)
        return name;
    std::string up = parent->FullPath();
    // Drive roots are "C:" internally and "C:\" as paths.
    return up + "\\" + name;
}

DWORD FsNode::Attributes() const {
    DWORD a = attributes;
    if (directory)
        a |= FILE_ATTRIBUTE_DIRECTORY;
    return a ? a : FILE_ATTRIBUTE_NORMAL;
}

FileSystem::FileSystem() {
    SystemInfo defaults;
    CreateDirectory(defaults.windowsDir);
    CreateDirectory(defaults.systemDir);
    CreateDirectory(defaults.tempDir);
    CreateDirectory("C:\\Program Files");
    // The user's desktop folder, where the shell's CSIDL_DESKTOPDIRECTORY points.
    CreateDirectory(defaults.env["USERPROFILE"] + "\\Desktop");
}

FileSystem::~FileSystem() = default;

std::string FileSystem::FullPath(const std::string& path) const {
    if (path.empty())
        return std::string();
    std::string root;
    std::string rest;
    if (IsUncRoot(path)) {
        std::vector<std::string> parts = SplitParts(path, true);
        if (parts.size() < 2)
            return std::string();
        root = "\\\\" + parts[0] + "\\" + parts[1];
        for (size_t i = 2; i < parts.size(); ++i)
            rest += "\\" + parts[i];
    } else if (path.size() >= 2 && path[1] == ':' && isalpha((unsigned char)path[0])) {
        root = std::string(1, char(toupper((unsigned char)path[0]))) + ":";
        rest = path.substr(2);
        if (rest.empty() || (rest[0] != '\\' && rest[0] != '/')) {
            // "C:name" is relative to the current directory when it is on that drive.
            if (NamesEqual(currentDirectory.substr(0, 2), root))
                rest = currentDirectory.substr(2) + "\\" + rest;
        }
    } else if (path[0] == '\\' || path[0] == '/') {
        std::string cur = FullPath(currentDirectory);
        root = IsUncRoot(cur) ? cur : cur.substr(0, 2);
        rest = path;
    } else {
        std::string cur = FullPath(currentDirectory);
        return FullPath(cur + "\\" + path);
    }
    std::vector<std::string> out;
    for (const std::string& part : SplitParts(rest, true)) {
        if (part == ".")
            continue;
        if (part == "..") {
            if (!out.empty())
                out.pop_back();
            continue;
        }
        out.push_back(part);
    }
    std::string full = root;
    for (const std::string& part : out)
        full += "\\" + part;
    if (out.empty() && !IsUncRoot(root))
        full += "\\";
    return full;
}

namespace {

// Splits a canonical full path into its root key ("C:" / "\\\\S\\SHARE") and the parts below it.
void SplitFull(const std::string& full, std::string& root, std::vector<std::string>& parts) {
    if (IsUncRoot(full)) {
        std::vector<std::string> all = SplitParts(full, false);
        root = "\\\\" + all[0] + "\\" + all[1];
        parts.assign(all.begin() + 2, all.end());
    } else {
        root = full.substr(0, 2);
        parts = SplitParts(full.substr(2), false);
    }
}

}  // namespace

std::shared_ptr<FsNode> FileSystem::Find(const std::string& path) const {
    std::string full = FullPath(path);
    if (full.empty())
        return nullptr;
    std::string root;
    std::vector<std::string> parts;
    SplitFull(full, root, parts);
    auto d = m_drives.find(NameKey(root));
    if (d == m_drives.end())
        return nullptr;
    std::shared_ptr<FsNode> cur = d->second;
    for (const std::string& part : parts) {
        if (!cur->directory)
            return nullptr;
        auto it = cur->children.find(NameKey(part));
        if (it == cur->children.end())
            return nullptr;
        cur = it->second;
    }
    return cur;
}

std::shared_ptr<FsNode> FileSystem::ParentOf(const std::string& path, std::string* leafName) const {
    std::string full = FullPath(path);
    if (full.empty())
        return nullptr;
    std::string root;
    std::vector<std::string> parts;
    SplitFull(full, root, parts);
    if (parts.empty())
        return nullptr;
    if (leafName)
        *leafName = parts.back();
    std::string parent = root;
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        parent += "\\" + parts[i];
    std::shared_ptr<FsNode> dir = Find(parent.size() == 2 ? parent + "\\" : parent);
    return dir && dir->directory ? dir : nullptr;
}

std::shared_ptr<FsNode> FileSystem::CreateChild(const std::shared_ptr<FsNode>& dir, const std::string& name,
                                                bool directory) {
    auto node = std::make_shared<FsNode>();
    node->name = name;
    node->directory = directory;
    node->parent = dir.get();
    node->created = node->accessed = node->written = Now();
    node->attributes = directory ? 0 : FILE_ATTRIBUTE_ARCHIVE;
    dir->children[NameKey(name)] = node;
    dir->written = Now();
    return node;
}

void FileSystem::Remove(const std::shared_ptr<FsNode>& node) {
    if (!node->parent)
        return;
    node->parent->children.erase(NameKey(node->name));
    node->parent->written = Now();
    node->parent = nullptr;
    node->removed = true;
}

void FileSystem::Relink(const std::shared_ptr<FsNode>& node, const std::shared_ptr<FsNode>& dir,
                        const std::string& name) {
    std::shared_ptr<FsNode> keep = node;
    if (node->parent) {
        node->parent->children.erase(NameKey(node->name));
        node->parent->written = Now();
    }
    node->name = name;
    node->parent = dir.get();
    dir->children[NameKey(name)] = keep;
    dir->written = Now();
}

std::shared_ptr<FsNode> FileSystem::Ensure(const std::string& path, bool directoryLeaf) {
    std::string full = FullPath(path);
    if (full.empty())
        return nullptr;
    std::string root;
    std::vector<std::string> parts;
    SplitFull(full, root, parts);
    std::shared_ptr<FsNode>& drive = m_drives[NameKey(root)];
    if (!drive) {
        drive = std::make_shared<FsNode>();
        drive->name = root;
        drive->directory = true;
        drive->created = drive->accessed = drive->written = Now();
    }
    std::shared_ptr<FsNode> cur = drive;
    for (size_t i = 0; i < parts.size(); ++i) {
        bool leaf = i + 1 == parts.size();
        auto it = cur->children.find(NameKey(parts[i]));
        if (it != cur->children.end()) {
            cur = it->second;
            if (!cur->directory && !leaf)
                return nullptr;
            continue;
        }
        cur = CreateChild(cur, parts[i], !leaf || directoryLeaf);
    }
    return cur;
}

void FileSystem::WriteFile(const std::string& path, const std::string& content) {
    std::shared_ptr<FsNode> node = Ensure(path, false);
    if (!node || node->directory)
        return;
    node->content = content;
    node->written = node->accessed = Now();
}

void FileSystem::CreateDirectory(const std::string& path) {
    Ensure(path, true);
}

bool FileSystem::Exists(const std::string& path) const {
    return Find(path) != nullptr;
}

bool FileSystem::IsDirectory(const std::string& path) const {
    std::shared_ptr<FsNode> node = Find(path);
    return node && node->directory;
}

std::optional<std::string> FileSystem::ReadFile(const std::string& path) const {
    std::shared_ptr<FsNode> node = Find(path);
    if (!node || node->directory)
        return std::nullopt;
    return node->content;
}

bool FileSystem::DeleteFile(const std::string& path) {
    std::shared_ptr<FsNode> node = Find(path);
    if (!node || !node->parent)
        return false;
    Remove(node);
    return true;
}

std::vector<std::string> FileSystem::List(const std::string& dir) const {
    std::vector<std::string> out;
    std::shared_ptr<FsNode> node = Find(dir);
    if (node && node->directory)
        for (const auto& c : node->children)
            out.push_back(c.second->name);
    return out;
}

void FileSystem::HoldOpen(const std::string& path, bool open) {
    if (std::shared_ptr<FsNode> node = Find(path))
        node->heldOpen = open;
}

void FileSystem::MapImage(const std::string& path, bool mapped) {
    if (std::shared_ptr<FsNode> node = Find(path))
        node->mapped = mapped;
}

DWORD FileSystem::GetAttributes(const std::string& path) const {
    std::shared_ptr<FsNode> node = Find(path);
    return node ? node->Attributes() : INVALID_FILE_ATTRIBUTES;
}

void FileSystem::SetAttributes(const std::string& path, DWORD attributes) {
    if (std::shared_ptr<FsNode> node = Find(path))
        node->attributes = attributes & ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL);
}

std::optional<FileTimes> FileSystem::GetTimes(const std::string& path) const {
    std::shared_ptr<FsNode> node = Find(path);
    if (!node)
        return std::nullopt;
    return FileTimes{ToFileTime(node->created), ToFileTime(node->accessed), ToFileTime(node->written)};
}

void FileSystem::SetTimes(const std::string& path, const FILETIME* creation, const FILETIME* lastAccess,
                          const FILETIME* lastWrite) {
    std::shared_ptr<FsNode> node = Find(path);
    if (!node)
        return;
    if (creation)
        node->created = ToU64(*creation);
    if (lastAccess)
        node->accessed = ToU64(*lastAccess);
    if (lastWrite)
        node->written = ToU64(*lastWrite);
}

std::optional<std::string> FileSystem::StoredPath(const std::string& path) const {
    std::shared_ptr<FsNode> node = Find(path);
    if (!node)
        return std::nullopt;
    return node->parent ? node->FullPath() : node->name + (IsUncRoot(node->name) ? "" : "\\");
}

size_t FileSystem::OpenFileCount() const {
    return HasCurrent() && &Current().files == this ? Current().system.handles.Live("file") : 0;
}

std::vector<std::pair<std::string, std::string>> PendingFileRenames(const Registry& registry) {
    std::vector<std::pair<std::string, std::string>> out;
    auto v = registry.GetValue("HKLM\\System\\CurrentControlSet\\Control\\Session Manager",
                               "PendingFileRenameOperations");
    if (!v)
        return out;
    std::string data = v->data;
    // The list ends with an extra NUL after the last pair's target.
    if (!data.empty() && data.back() == '\0')
        data.pop_back();
    std::vector<std::string> strings;
    size_t pos = 0;
    while (pos < data.size()) {
        size_t end = data.find('\0', pos);
        if (end == std::string::npos)
            end = data.size();
        strings.push_back(data.substr(pos, end - pos));
        pos = end + 1;
    }
    for (size_t i = 0; i + 1 < strings.size(); i += 2)
        out.emplace_back(strings[i], strings[i + 1]);
    return out;
}

}  // namespace winsim
