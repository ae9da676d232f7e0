// The simulated file system: drives of case-insensitive, case-preserving folders and files, with attributes,
// time stamps, and files held open by other processes.
#pragma once
#include <winsim/wintypes.h>
#include <winsim/api_kernel.h>  // CreateDirectory/DeleteFile are macros there: keep member names consistent

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace winsim {

class Registry;

struct FsNode {
    std::string name;  // as created ("C:" for a drive)
    bool directory = false;
    std::string content;
    DWORD attributes = 0;  // FILE_ATTRIBUTE_*; DIRECTORY is implied by `directory`
    uint64_t created = 0, accessed = 0, written = 0;  // FILETIME values
    FsNode* parent = nullptr;
    std::map<std::string, std::shared_ptr<FsNode>> children;  // by upper-cased name
    // Another process has it open without FILE_SHARE_DELETE (deletion: ERROR_SHARING_VIOLATION) and
    // shares read access with us only.
    bool heldOpen = false;
    // Mapped as a loaded module: deletion fails with ERROR_ACCESS_DENIED.
    bool mapped = false;
    bool removed = false;

    std::string FullPath() const;  // "C:\\WINDOWS\\x.dll" as stored
    DWORD Attributes() const;      // with FILE_ATTRIBUTE_DIRECTORY, or NORMAL when none
};

struct FileTimes {
    FILETIME creation, lastAccess, lastWrite;
};

class FileSystem {
public:
    // Drive C: with the folders of a default (Windows XP, English) workstation.
    FileSystem();
    ~FileSystem();
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;

    // Paths are absolute ("C:\\x\\y", '/' accepted) or relative to the current directory.
    void WriteFile(const std::string& path, const std::string& content);  // creates parent folders
    void CreateDirectory(const std::string& path);                         // and its parents
    bool Exists(const std::string& path) const;
    bool IsDirectory(const std::string& path) const;
    std::optional<std::string> ReadFile(const std::string& path) const;
    // Removes a file or a whole folder tree, ignoring attributes and holders; false when missing.
    bool DeleteFile(const std::string& path);
    // Names of a folder's entries as stored, sorted case-insensitively.
    std::vector<std::string> List(const std::string& dir) const;
    // Another process opens or closes the file (DeleteFileA then fails with ERROR_SHARING_VIOLATION).
    void HoldOpen(const std::string& path, bool open);
    // The file is or stops being a loaded module image (DeleteFileA then fails with ERROR_ACCESS_DENIED).
    void MapImage(const std::string& path, bool mapped);
    // FILE_ATTRIBUTE_* of an entry, or INVALID_FILE_ATTRIBUTES when missing.
    DWORD GetAttributes(const std::string& path) const;
    void SetAttributes(const std::string& path, DWORD attributes);
    std::optional<FileTimes> GetTimes(const std::string& path) const;
    // Null pointers leave that time unchanged.
    void SetTimes(const std::string& path, const FILETIME* creation, const FILETIME* lastAccess,
                  const FILETIME* lastWrite);
    // The stored spelling of an existing entry's full path, or nullopt.
    std::optional<std::string> StoredPath(const std::string& path) const;
    // Handles the program has open on files (for leak checks).
    size_t OpenFileCount() const;

    std::string currentDirectory = "C:\\";

    // ---- for the kernel32 layer ----
    // Makes `path` absolute and canonical: backslashes, no "." or "..", no trailing backslash except
    // after a drive ("C:\\"). Empty on an unusable path.
    std::string FullPath(const std::string& path) const;
    std::shared_ptr<FsNode> Find(const std::string& path) const;
    // The folder that would hold `path` (its parent), or null when that folder is missing.
    std::shared_ptr<FsNode> ParentOf(const std::string& path, std::string* leafName = nullptr) const;
    std::shared_ptr<FsNode> CreateChild(const std::shared_ptr<FsNode>& dir, const std::string& name, bool directory);
    void Remove(const std::shared_ptr<FsNode>& node);
    // Moves a node under `dir` with a new name.
    void Relink(const std::shared_ptr<FsNode>& node, const std::shared_ptr<FsNode>& dir, const std::string& name);
    static uint64_t Now();  // FILETIME of the machine's virtual clock

private:
    std::shared_ptr<FsNode> Ensure(const std::string& path, bool directoryLeaf);
    std::map<std::string, std::shared_ptr<FsNode>> m_drives;  // "C:" or "\\\\SERVER\\SHARE"
};

// Entries of HKLM\System\CurrentControlSet\Control\Session Manager PendingFileRenameOperations as
// (source, target) pairs, "\\??\\" prefixes kept; an empty target means delete.
std::vector<std::pair<std::string, std::string>> PendingFileRenames(const Registry& registry);

// FILETIME <-> 64-bit count of 100 ns since 1601.
inline uint64_t ToU64(const FILETIME& ft) {
    return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
inline FILETIME ToFileTime(uint64_t v) {
    FILETIME ft;
    ft.dwLowDateTime = DWORD(v);
    ft.dwHighDateTime = DWORD(v >> 32);
    return ft;
}

}  // namespace winsim
