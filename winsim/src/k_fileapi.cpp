// kernel32's file calls on the simulated file system: handles, sharing, attributes, moves, searches.
#include "k_internal.h"

#include <winsim/codepage.h>

#include <windows.h>

#include <string.h>

using winsim::Current;
using winsim::FsNode;

namespace {

struct FileObject : winsim::KernelObject {
    std::shared_ptr<FsNode> node;
    DWORD access = 0;
    DWORD share = 0;
    uint64_t position = 0;
    bool deleteOnClose = false;
    const char* Kind() const override { return "file"; }
};

struct FindObject : winsim::KernelObject {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
    const char* Kind() const override { return "find"; }
};

// The bytes of an anonymous pipe written and not yet read, and which of its ends are still open.
struct PipeBuffer {
    std::string bytes;
    bool readerOpen = true;
    bool writerOpen = true;
};

// One end of a pipe; closing it tells the other end.
struct PipeEnd : winsim::KernelObject {
    PipeEnd(std::shared_ptr<PipeBuffer> p, bool writes) : pipe(std::move(p)), writeEnd(writes) {}
    ~PipeEnd() override { (writeEnd ? pipe->writerOpen : pipe->readerOpen) = false; }
    std::shared_ptr<PipeBuffer> pipe;
    bool writeEnd;
    const char* Kind() const override { return "pipe"; }
};

// Where SystemInfo keeps the standard handle `which` names, or null for another number.
HANDLE* StdSlot(DWORD which) {
    winsim::SystemInfo& sys = Current().system;
    switch (which) {
    case STD_INPUT_HANDLE: return &sys.stdInput;
    case STD_OUTPUT_HANDLE: return &sys.stdOutput;
    case STD_ERROR_HANDLE: return &sys.stdError;
    }
    return nullptr;
}

winsim::FileSystem& Fs() {
    return Current().files;
}

void SetError(DWORD e) {
    Current().lastError = e;
}

const DWORD kReadAccess = GENERIC_READ | GENERIC_ALL | 0x0001 /* FILE_READ_DATA */;
const DWORD kWriteAccess = GENERIC_WRITE | GENERIC_ALL | 0x0002 /* FILE_WRITE_DATA */ | 0x0004 /* FILE_APPEND_DATA */;

FileObject* FileOf(HANDLE h) {
    return Current().system.handles.Get<FileObject>(h);
}

// Calls f for every handle the program has open on `node`.
template <class F>
void ForEachOpen(const std::shared_ptr<FsNode>& node, F f) {
    Current().system.handles.ForEach([&](HANDLE, winsim::KernelObject& obj) {
        if (auto* file = dynamic_cast<FileObject*>(&obj))
            if (file->node == node)
                f(*file);
    });
}

// ERROR_SHARING_VIOLATION when opening `node` with (access, share) clashes with an open handle or another
// process's hold, else 0.
DWORD SharingConflict(const std::shared_ptr<FsNode>& node, DWORD access, DWORD share) {
    bool wantRead = (access & kReadAccess) != 0, wantWrite = (access & kWriteAccess) != 0;
    bool wantDelete = (access & DELETE) != 0;
    // Another process reading it (and a mapped module image) lets others read, nothing more.
    if ((node->heldOpen || node->mapped) && (wantWrite || wantDelete || !(share & FILE_SHARE_READ)))
        return ERROR_SHARING_VIOLATION;
    DWORD conflict = 0;
    ForEachOpen(node, [&](const FileObject& other) {
        bool otherRead = (other.access & kReadAccess) != 0, otherWrite = (other.access & kWriteAccess) != 0;
        bool otherDelete = (other.access & DELETE) != 0;
        if ((wantRead && !(other.share & FILE_SHARE_READ)) || (wantWrite && !(other.share & FILE_SHARE_WRITE)) ||
            (wantDelete && !(other.share & FILE_SHARE_DELETE)) || (otherRead && !(share & FILE_SHARE_READ)) ||
            (otherWrite && !(share & FILE_SHARE_WRITE)) || (otherDelete && !(share & FILE_SHARE_DELETE)))
            conflict = ERROR_SHARING_VIOLATION;
    });
    return conflict;
}

// Why `node` cannot be deleted or renamed away, or 0.
DWORD DeleteBlocker(const std::shared_ptr<FsNode>& node) {
    if (node->mapped || (node->attributes & FILE_ATTRIBUTE_READONLY))
        return ERROR_ACCESS_DENIED;
    if (node->heldOpen)
        return ERROR_SHARING_VIOLATION;
    DWORD blocked = 0;
    ForEachOpen(node, [&](const FileObject& other) {
        if (!(other.share & FILE_SHARE_DELETE))
            blocked = ERROR_SHARING_VIOLATION;
    });
    return blocked;
}

// ERROR_PATH_NOT_FOUND when the folder part is missing, else ERROR_FILE_NOT_FOUND.
DWORD MissingError(const std::string& path) {
    return Fs().ParentOf(path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

void FillFindData(const FsNode& node, const std::string& name, WIN32_FIND_DATAA& fd) {
    memset(&fd, 0, sizeof(fd));
    fd.dwFileAttributes = node.Attributes();
    fd.ftCreationTime = winsim::ToFileTime(node.created);
    fd.ftLastAccessTime = winsim::ToFileTime(node.accessed);
    fd.ftLastWriteTime = winsim::ToFileTime(node.written);
    uint64_t size = node.directory ? 0 : node.content.size();
    fd.nFileSizeHigh = DWORD(size >> 32);
    fd.nFileSizeLow = DWORD(size);
    strncpy(fd.cFileName, name.c_str(), MAX_PATH - 1);
}

// DOS wildcard match of names already in their NameKey form: '*' any run, '?' one character (a
// double-byte character counts as one).
bool WildMatch(const char* pattern, const char* name) {
    if (*pattern == '\0')
        return *name == '\0';
    size_t width = *name && winsim::IsLead((unsigned char)*name) && name[1] ? 2 : 1;
    if (*pattern == '*')
        return WildMatch(pattern + 1, name) || (*name && WildMatch(pattern, name + width));
    if (*name == '\0')
        return false;
    if (*pattern == '?')
        return WildMatch(pattern + 1, name + width);
    if (strncmp(pattern, name, width) == 0)
        return WildMatch(pattern + width, name + width);
    return false;
}

bool MatchName(const std::string& pattern, const std::string& name) {
    // "*.*" matches names without a dot too.
    if (pattern == "*.*")
        return true;
    return WildMatch(winsim::NameKey(pattern).c_str(), winsim::NameKey(name).c_str());
}

std::string ProgramDirectory() {
    const winsim::SystemInfo& s = Current().system;
    if (!s.programDir.empty())
        return s.programDir;
    std::string cmd = s.commandLine;
    std::string exe;
    if (!cmd.empty() && cmd[0] == '"') {
        size_t end = cmd.find('"', 1);
        exe = cmd.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    } else {
        exe = cmd.substr(0, cmd.find(' '));
    }
    size_t slash = exe.find_last_of('\\');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

bool HasPathPart(const std::string& name) {
    return name.find('\\') != std::string::npos || name.find('/') != std::string::npos ||
           name.find(':') != std::string::npos;
}

// Copies a found path out the way SearchPathA and GetFullPathNameA do.
DWORD CopyPathOut(const std::string& full, DWORD size, LPSTR buffer, LPSTR* filePart) {
    if (!buffer || size < full.size() + 1)
        return DWORD(full.size() + 1);
    memcpy(buffer, full.c_str(), full.size() + 1);
    if (filePart) {
        size_t slash = full.find_last_of('\\');
        *filePart = (slash == std::string::npos || slash + 1 == full.size()) ? nullptr : buffer + slash + 1;
    }
    return DWORD(full.size());
}

std::string AppendPendingRename(const std::string& existing, const std::string& source, const std::string& target) {
    std::string data = existing;
    // The stored list ends with an extra NUL: drop it, append the pair, and end the list again.
    if (!data.empty())
        data.pop_back();
    data += source;
    data += '\0';
    data += target;
    data += '\0';
    data += '\0';
    return data;
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    std::string path = lpFileName ? lpFileName : "";
    SIM_FAULT("CreateFileA", path, INVALID_HANDLE_VALUE);
    winsim::FileSystem& fs = Fs();
    std::string leaf;
    std::shared_ptr<FsNode> dir = path.empty() ? nullptr : fs.ParentOf(path, &leaf);
    if (!dir) {
        SetError(path.empty() ? ERROR_PATH_NOT_FOUND : (fs.Find(path) ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND));
        return INVALID_HANDLE_VALUE;
    }
    std::shared_ptr<FsNode> node = fs.Find(path);
    if (node && node->directory) {
        SetError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    bool wantsWrite = (dwDesiredAccess & kWriteAccess) != 0;
    bool truncate = false;
    DWORD successError = Current().lastError;
    switch (dwCreationDisposition) {
    case CREATE_NEW:
        if (node) {
            SetError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        break;
    case CREATE_ALWAYS:
        truncate = node != nullptr;
        successError = node ? ERROR_ALREADY_EXISTS : 0;
        break;
    case OPEN_EXISTING:
        if (!node) {
            SetError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        break;
    case OPEN_ALWAYS:
        successError = node ? ERROR_ALREADY_EXISTS : 0;
        break;
    case TRUNCATE_EXISTING:
        if (!node) {
            SetError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        if (!wantsWrite) {
            SetError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        truncate = true;
        break;
    default:
        SetError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (node) {
        if ((wantsWrite || truncate) && (node->attributes & FILE_ATTRIBUTE_READONLY)) {
            SetError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        if (DWORD e = SharingConflict(node, dwDesiredAccess, dwShareMode)) {
            SetError(e);
            return INVALID_HANDLE_VALUE;
        }
        if (truncate) {
            node->content.clear();
            node->written = winsim::FileSystem::Now();
            if (dwCreationDisposition == CREATE_ALWAYS)
                node->attributes = (dwFlagsAndAttributes & 0x7) | FILE_ATTRIBUTE_ARCHIVE;
        }
    } else {
        node = fs.CreateChild(dir, leaf, false);
        node->attributes = (dwFlagsAndAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY)) |
                           FILE_ATTRIBUTE_ARCHIVE;
    }
    auto file = std::make_shared<FileObject>();
    file->node = node;
    file->access = dwDesiredAccess;
    file->share = dwShareMode;
    file->deleteOnClose = (dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    SetError(successError);
    return Current().system.handles.Add(file);
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped) {
    FileObject* f = FileOf(hFile);
    SIM_FAULT("ReadFile", f ? f->node->FullPath() : std::string(), FALSE);
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    if (PipeEnd* end = Current().system.handles.Get<PipeEnd>(hFile)) {
        if (end->writeEnd) {
            SetError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        std::string& bytes = end->pipe->bytes;
        if (bytes.empty() && !end->pipe->writerOpen) {
            SetError(ERROR_BROKEN_PIPE);
            return FALSE;
        }
        // One process, one thread: nobody could ever write what the read would wait for.
        if (bytes.empty())
            throw winsim::SimAbort("ReadFile of an empty pipe whose write end is open would wait forever");
        size_t n = std::min<size_t>(nNumberOfBytesToRead, bytes.size());
        memcpy(lpBuffer, bytes.data(), n);
        bytes.erase(0, n);
        if (lpNumberOfBytesRead)
            *lpNumberOfBytesRead = DWORD(n);
        return TRUE;
    }
    if (!f) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(f->access & kReadAccess)) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const std::string& content = f->node->content;
    size_t n = 0;
    if (f->position < content.size())
        n = std::min<size_t>(nNumberOfBytesToRead, content.size() - f->position);
    if (n)
        memcpy(lpBuffer, content.data() + f->position, n);
    f->position += n;
    f->node->accessed = winsim::FileSystem::Now();
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = DWORD(n);
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped) {
    FileObject* f = FileOf(hFile);
    SIM_FAULT("WriteFile", f ? f->node->FullPath() : std::string(), FALSE);
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    if (PipeEnd* end = Current().system.handles.Get<PipeEnd>(hFile)) {
        if (!end->writeEnd) {
            SetError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (!end->pipe->readerOpen) {
            SetError(ERROR_NO_DATA);
            return FALSE;
        }
        end->pipe->bytes.append(static_cast<const char*>(lpBuffer), nNumberOfBytesToWrite);
        if (lpNumberOfBytesWritten)
            *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
        return TRUE;
    }
    if (!f) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(f->access & kWriteAccess)) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::string& content = f->node->content;
    if (content.size() < f->position)
        content.resize(f->position, '\0');
    content.replace(f->position, std::min<size_t>(nNumberOfBytesToWrite, content.size() - f->position),
                    static_cast<const char*>(lpBuffer), nNumberOfBytesToWrite);
    f->position += nNumberOfBytesToWrite;
    f->node->written = winsim::FileSystem::Now();
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
    return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
    FileObject* f = FileOf(hFile);
    SIM_FAULT("SetFilePointer", f ? f->node->FullPath() : std::string(), INVALID_SET_FILE_POINTER);
    if (!f) {
        SetError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t distance = lpDistanceToMoveHigh ? int64_t((uint64_t(uint32_t(*lpDistanceToMoveHigh)) << 32) |
                                                      uint32_t(lDistanceToMove))
                                            : int64_t(lDistanceToMove);
    int64_t base = 0;
    switch (dwMoveMethod) {
    case FILE_BEGIN:
        break;
    case FILE_CURRENT:
        base = int64_t(f->position);
        break;
    case FILE_END:
        base = int64_t(f->node->content.size());
        break;
    default:
        SetError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t pos = base + distance;
    if (pos < 0) {
        SetError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    f->position = uint64_t(pos);
    if (lpDistanceToMoveHigh)
        *lpDistanceToMoveHigh = LONG(uint64_t(pos) >> 32);
    // A position whose low part looks like the error value is told apart by a cleared last error.
    if (DWORD(pos) == INVALID_SET_FILE_POINTER)
        SetError(NO_ERROR);
    return DWORD(pos);
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    FileObject* f = FileOf(hFile);
    SIM_FAULT("GetFileSize", f ? f->node->FullPath() : std::string(), INVALID_FILE_SIZE);
    if (!f) {
        SetError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    uint64_t size = f->node->content.size();
    if (lpFileSizeHigh)
        *lpFileSizeHigh = DWORD(size >> 32);
    if (DWORD(size) == INVALID_FILE_SIZE)
        SetError(NO_ERROR);
    return DWORD(size);
}

BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
    FileObject* f = FileOf(hFile);
    SIM_FAULT("FlushFileBuffers", f ? f->node->FullPath() : std::string(), FALSE);
    if (!f) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                        LPFILETIME lpLastWriteTime) {
    FileObject* f = FileOf(hFile);
    SIM_FAULT("GetFileTime", f ? f->node->FullPath() : std::string(), FALSE);
    if (!f) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpCreationTime)
        *lpCreationTime = winsim::ToFileTime(f->node->created);
    if (lpLastAccessTime)
        *lpLastAccessTime = winsim::ToFileTime(f->node->accessed);
    if (lpLastWriteTime)
        *lpLastWriteTime = winsim::ToFileTime(f->node->written);
    return TRUE;
}

BOOL WINAPI SetFileTime(HANDLE hFile, const FILETIME* lpCreationTime, const FILETIME* lpLastAccessTime,
                        const FILETIME* lpLastWriteTime) {
    FileObject* f = FileOf(hFile);
    SIM_FAULT("SetFileTime", f ? f->node->FullPath() : std::string(), FALSE);
    if (!f) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(f->access & (kWriteAccess | 0x0100 /* FILE_WRITE_ATTRIBUTES */))) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (lpCreationTime)
        f->node->created = winsim::ToU64(*lpCreationTime);
    if (lpLastAccessTime)
        f->node->accessed = winsim::ToU64(*lpLastAccessTime);
    if (lpLastWriteTime)
        f->node->written = winsim::ToU64(*lpLastWriteTime);
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    SIM_FAULT("CloseHandle", "", FALSE);
    winsim::HandleTable& table = Current().system.handles;
    std::shared_ptr<winsim::KernelObject> obj = table.Find(hObject);
    // Search handles are closed with FindClose only.
    if (!obj || dynamic_cast<FindObject*>(obj.get())) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    table.Remove(hObject);
    if (auto* file = dynamic_cast<FileObject*>(obj.get())) {
        if (file->deleteOnClose && !file->node->removed)
            Fs().Remove(file->node);
    }
    return TRUE;
}

HANDLE WINAPI GetStdHandle(DWORD nStdHandle) {
    SIM_FAULT("GetStdHandle", std::to_string((long)(LONG)nStdHandle), INVALID_HANDLE_VALUE);
    HANDLE* slot = StdSlot(nStdHandle);
    if (!slot) {
        SetError(ERROR_INVALID_HANDLE);
        return INVALID_HANDLE_VALUE;
    }
    return *slot;
}

BOOL WINAPI SetStdHandle(DWORD nStdHandle, HANDLE hHandle) {
    SIM_FAULT("SetStdHandle", std::to_string((long)(LONG)nStdHandle), FALSE);
    HANDLE* slot = StdSlot(nStdHandle);
    if (!slot) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *slot = hHandle;
    return TRUE;
}

DWORD WINAPI GetFileType(HANDLE hFile) {
    SIM_FAULT("GetFileType", "", FILE_TYPE_UNKNOWN);
    if (FileOf(hFile))
        return FILE_TYPE_DISK;
    if (Current().system.handles.Get<PipeEnd>(hFile))
        return FILE_TYPE_PIPE;
    SetError(ERROR_INVALID_HANDLE);
    return FILE_TYPE_UNKNOWN;
}

BOOL WINAPI CreatePipe(PHANDLE hReadPipe, PHANDLE hWritePipe, LPSECURITY_ATTRIBUTES lpPipeAttributes, DWORD nSize) {
    SIM_FAULT("CreatePipe", "", FALSE);
    if (!hReadPipe || !hWritePipe) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto pipe = std::make_shared<PipeBuffer>();
    *hReadPipe = Current().system.handles.Add(std::make_shared<PipeEnd>(pipe, false));
    *hWritePipe = Current().system.handles.Add(std::make_shared<PipeEnd>(pipe, true));
    return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    std::string path = lpFileName ? lpFileName : "";
    SIM_FAULT("DeleteFileA", path, FALSE);
    std::shared_ptr<FsNode> node = path.empty() ? nullptr : Fs().Find(path);
    if (!node) {
        SetError(path.empty() ? ERROR_PATH_NOT_FOUND : MissingError(path));
        return FALSE;
    }
    if (node->directory || !node->parent) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (DWORD e = DeleteBlocker(node)) {
        SetError(e);
        return FALSE;
    }
    // Handles opened with FILE_SHARE_DELETE keep the data; Windows would hide the name only at their close.
    Fs().Remove(node);
    return TRUE;
}

namespace {

BOOL CopyImpl(const std::string& from, const std::string& to, bool failIfExists) {
    winsim::FileSystem& fs = Fs();
    std::shared_ptr<FsNode> src = fs.Find(from);
    if (!src) {
        SetError(MissingError(from));
        return FALSE;
    }
    if (src->directory) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (DWORD e = SharingConflict(src, GENERIC_READ, FILE_SHARE_READ)) {
        SetError(e);
        return FALSE;
    }
    std::string leaf;
    std::shared_ptr<FsNode> dir = fs.ParentOf(to, &leaf);
    if (!dir) {
        SetError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::shared_ptr<FsNode> dst = fs.Find(to);
    if (dst == src) {
        SetError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (dst) {
        if (failIfExists) {
            SetError(ERROR_FILE_EXISTS);
            return FALSE;
        }
        if (dst->directory || (dst->attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN))) {
            SetError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (DWORD e = SharingConflict(dst, GENERIC_WRITE, 0)) {
            SetError(e);
            return FALSE;
        }
    } else {
        dst = fs.CreateChild(dir, leaf, false);
    }
    dst->content = src->content;
    dst->attributes = src->attributes | FILE_ATTRIBUTE_ARCHIVE;
    dst->written = src->written;
    dst->accessed = winsim::FileSystem::Now();
    src->accessed = winsim::FileSystem::Now();
    Current().modules.CopyImage(src->FullPath(), dst->FullPath());
    return TRUE;
}

BOOL MoveImpl(const std::string& from, const std::string& to, DWORD flags) {
    winsim::FileSystem& fs = Fs();
    std::shared_ptr<FsNode> src = fs.Find(from);
    if (!src) {
        SetError(MissingError(from));
        return FALSE;
    }
    if (!src->parent) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // Renaming needs the same rights as deleting, except that the read-only attribute travels along.
    if (src->mapped) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (src->heldOpen) {
        SetError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    DWORD blocked = 0;
    ForEachOpen(src, [&](const FileObject& other) {
        if (!(other.share & FILE_SHARE_DELETE))
            blocked = ERROR_SHARING_VIOLATION;
    });
    if (blocked) {
        SetError(blocked);
        return FALSE;
    }
    std::string leaf;
    std::shared_ptr<FsNode> dir = fs.ParentOf(to, &leaf);
    if (!dir) {
        SetError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::shared_ptr<FsNode> dst = fs.Find(to);
    if (dst && dst != src) {
        if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
            SetError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        if (dst->directory || src->directory) {
            SetError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (DWORD e = DeleteBlocker(dst)) {
            SetError(e);
            return FALSE;
        }
        fs.Remove(dst);
    }
    std::string fromFull = fs.FullPath(from), toFull = fs.FullPath(to);
    bool sameVolume = winsim::NamesEqual(fromFull.substr(0, 2), toFull.substr(0, 2));
    if (!sameVolume) {
        if (src->directory || !(flags & MOVEFILE_COPY_ALLOWED)) {
            SetError(ERROR_NOT_SAME_DEVICE);
            return FALSE;
        }
    }
    fs.Relink(src, dir, leaf);
    return TRUE;
}

}  // namespace

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
    std::string from = lpExistingFileName ? lpExistingFileName : "";
    SIM_FAULT("CopyFileA", from, FALSE);
    if (from.empty() || !lpNewFileName || !*lpNewFileName) {
        SetError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    return CopyImpl(from, lpNewFileName, bFailIfExists != FALSE);
}

BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
    std::string from = lpExistingFileName ? lpExistingFileName : "";
    SIM_FAULT("MoveFileA", from, FALSE);
    if (from.empty() || !lpNewFileName || !*lpNewFileName) {
        SetError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    return MoveImpl(from, lpNewFileName, MOVEFILE_COPY_ALLOWED);
}

BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    std::string from = lpExistingFileName ? lpExistingFileName : "";
    SIM_FAULT("MoveFileExA", from, FALSE);
    // Windows 9x has no MoveFileExA; its installers list boot-time renames in WININIT.INI.
    if (Current().system.Is9x()) {
        SetError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (from.empty()) {
        SetError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (dwFlags & MOVEFILE_DELAY_UNTIL_REBOOT) {
        // Nothing is checked now, not even that the source exists: the session manager does it at boot.
        winsim::FileSystem& fs = Fs();
        std::string source = "\\??\\" + fs.FullPath(from);
        std::string target;
        if (lpNewFileName && *lpNewFileName)
            target = std::string((dwFlags & MOVEFILE_REPLACE_EXISTING) ? "!" : "") + "\\??\\" +
                     fs.FullPath(lpNewFileName);
        const char* key = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager";
        const char* value = "PendingFileRenameOperations";
        winsim::Registry& reg = Current().registry;
        auto existing = reg.GetValue(key, value);
        reg.SetValue(key, value, REG_MULTI_SZ,
                     AppendPendingRename(existing ? existing->data : std::string(), source, target));
        return TRUE;
    }
    if (!lpNewFileName || !*lpNewFileName) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return MoveImpl(from, lpNewFileName, dwFlags);
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    std::string path = lpFileName ? lpFileName : "";
    SIM_FAULT("GetFileAttributesA", path, INVALID_FILE_ATTRIBUTES);
    std::shared_ptr<FsNode> node = path.empty() ? nullptr : Fs().Find(path);
    if (!node) {
        SetError(path.empty() ? ERROR_PATH_NOT_FOUND : MissingError(path));
        return INVALID_FILE_ATTRIBUTES;
    }
    return node->Attributes();
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
    std::string path = lpFileName ? lpFileName : "";
    SIM_FAULT("SetFileAttributesA", path, FALSE);
    std::shared_ptr<FsNode> node = path.empty() ? nullptr : Fs().Find(path);
    if (!node) {
        SetError(path.empty() ? ERROR_PATH_NOT_FOUND : MissingError(path));
        return FALSE;
    }
    node->attributes = dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY);
    return TRUE;
}

BOOL WINAPI GetFileAttributesExA(LPCSTR lpFileName, GET_FILEEX_INFO_LEVELS fInfoLevelId, LPVOID lpFileInformation) {
    std::string path = lpFileName ? lpFileName : "";
    SIM_FAULT("GetFileAttributesExA", path, FALSE);
    if (fInfoLevelId != GetFileExInfoStandard || !lpFileInformation) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<FsNode> node = path.empty() ? nullptr : Fs().Find(path);
    if (!node) {
        SetError(path.empty() ? ERROR_PATH_NOT_FOUND : MissingError(path));
        return FALSE;
    }
    WIN32_FIND_DATAA fd;
    FillFindData(*node, node->name, fd);
    WIN32_FILE_ATTRIBUTE_DATA* out = static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(lpFileInformation);
    out->dwFileAttributes = fd.dwFileAttributes;
    out->ftCreationTime = fd.ftCreationTime;
    out->ftLastAccessTime = fd.ftLastAccessTime;
    out->ftLastWriteTime = fd.ftLastWriteTime;
    out->nFileSizeHigh = fd.nFileSizeHigh;
    out->nFileSizeLow = fd.nFileSizeLow;
    return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    std::string path = lpPathName ? lpPathName : "";
    SIM_FAULT("CreateDirectoryA", path, FALSE);
    winsim::FileSystem& fs = Fs();
    std::string leaf;
    std::shared_ptr<FsNode> dir = path.empty() ? nullptr : fs.ParentOf(path, &leaf);
    if (path.empty() || fs.Find(path)) {
        SetError(path.empty() ? ERROR_PATH_NOT_FOUND : ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (!dir) {
        SetError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    fs.CreateChild(dir, leaf, true);
    return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
    std::string path = lpPathName ? lpPathName : "";
    SIM_FAULT("RemoveDirectoryA", path, FALSE);
    std::shared_ptr<FsNode> node = path.empty() ? nullptr : Fs().Find(path);
    if (!node) {
        SetError(path.empty() ? ERROR_PATH_NOT_FOUND : MissingError(path));
        return FALSE;
    }
    if (!node->directory) {
        SetError(ERROR_DIRECTORY);
        return FALSE;
    }
    if (!node->parent || (node->attributes & FILE_ATTRIBUTE_READONLY)) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!node->children.empty()) {
        SetError(ERROR_DIR_NOT_EMPTY);
        return FALSE;
    }
    Fs().Remove(node);
    return TRUE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
    std::string path = lpFileName ? lpFileName : "";
    SIM_FAULT("FindFirstFileA", path, INVALID_HANDLE_VALUE);
    winsim::FileSystem& fs = Fs();
    std::string pattern;
    std::shared_ptr<FsNode> dir = path.empty() ? nullptr : fs.ParentOf(path, &pattern);
    if (!dir) {
        SetError(path.empty() ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto find = std::make_shared<FindObject>();
    WIN32_FIND_DATAA fd;
    // Folders other than a drive's root list themselves and their parent first.
    if (dir->parent) {
        if (MatchName(pattern, ".")) {
            FillFindData(*dir, ".", fd);
            find->entries.push_back(fd);
        }
        if (MatchName(pattern, "..")) {
            FillFindData(*dir->parent, "..", fd);
            find->entries.push_back(fd);
        }
    }
    for (const auto& c : dir->children) {
        if (MatchName(pattern, c.second->name)) {
            FillFindData(*c.second, c.second->name, fd);
            find->entries.push_back(fd);
        }
    }
    if (find->entries.empty()) {
        SetError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *lpFindFileData = find->entries[0];
    find->next = 1;
    return Current().system.handles.Add(find);
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
    SIM_FAULT("FindNextFileA", "", FALSE);
    FindObject* find = Current().system.handles.Get<FindObject>(hFindFile);
    if (!find) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (find->next >= find->entries.size()) {
        SetError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *lpFindFileData = find->entries[find->next++];
    return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
    SIM_FAULT("FindClose", "", FALSE);
    if (!Current().system.handles.Get<FindObject>(hFindFile)) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Current().system.handles.Remove(hFindFile);
    return TRUE;
}

DWORD WINAPI SearchPathA(LPCSTR lpPath, LPCSTR lpFileName, LPCSTR lpExtension, DWORD nBufferLength, LPSTR lpBuffer,
                         LPSTR* lpFilePart) {
    std::string name = lpFileName ? lpFileName : "";
    SIM_FAULT("SearchPathA", name, 0);
    if (name.empty()) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    winsim::FileSystem& fs = Fs();
    // The extension is added only to a name that has none.
    std::vector<std::string> candidates{name};
    if (lpExtension && *lpExtension) {
        std::string leaf = name.substr(name.find_last_of("\\/:") == std::string::npos ? 0
                                                                                      : name.find_last_of("\\/:") + 1);
        if (leaf.find('.') == std::string::npos)
            candidates = {name + lpExtension};
    }
    std::vector<std::string> dirs;
    if (HasPathPart(name)) {
        dirs.push_back(std::string());
    } else if (lpPath && *lpPath) {
        std::string list = lpPath;
        size_t pos = 0;
        while (pos <= list.size()) {
            size_t semi = list.find(';', pos);
            if (semi == std::string::npos)
                semi = list.size();
            if (semi > pos)
                dirs.push_back(list.substr(pos, semi - pos));
            pos = semi + 1;
        }
    } else {
        const winsim::SystemInfo& s = Current().system;
        dirs.push_back(ProgramDirectory());
        dirs.push_back(fs.currentDirectory);
        dirs.push_back(s.systemDir);
        if (s.IsNT())
            dirs.push_back(s.windowsDir + "\\system");
        dirs.push_back(s.windowsDir);
        for (const auto& e : s.env) {
            if (winsim::NamesEqual(e.first, "PATH")) {
                std::string list = e.second;
                size_t pos = 0;
                while (pos <= list.size()) {
                    size_t semi = list.find(';', pos);
                    if (semi == std::string::npos)
                        semi = list.size();
                    if (semi > pos)
                        dirs.push_back(list.substr(pos, semi - pos));
                    pos = semi + 1;
                }
            }
        }
    }
    for (const std::string& d : dirs) {
        if (d.empty() && !HasPathPart(name))
            continue;
        for (const std::string& c : candidates) {
            std::string probe = d.empty() ? c : d + "\\" + c;
            std::shared_ptr<FsNode> node = fs.Find(probe);
            if (node && !node->directory)
                return CopyPathOut(fs.FullPath(probe), nBufferLength, lpBuffer, lpFilePart);
        }
    }
    SetError(ERROR_FILE_NOT_FOUND);
    return 0;
}

DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR* lpFilePart) {
    std::string name = lpFileName ? lpFileName : "";
    SIM_FAULT("GetFullPathNameA", name, 0);
    if (name.empty()) {
        SetError(ERROR_INVALID_NAME);
        return 0;
    }
    std::string full = Fs().FullPath(name);
    if (full.empty()) {
        SetError(ERROR_INVALID_NAME);
        return 0;
    }
    char last = name.back();
    if ((last == '\\' || last == '/') && full.back() != '\\')
        full += '\\';
    return CopyPathOut(full, nBufferLength, lpBuffer, lpFilePart);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
    std::string path = lpPathName ? lpPathName : "";
    SIM_FAULT("SetCurrentDirectoryA", path, FALSE);
    std::shared_ptr<FsNode> node = path.empty() ? nullptr : Fs().Find(path);
    if (!node) {
        SetError(path.empty() ? ERROR_INVALID_PARAMETER : MissingError(path));
        return FALSE;
    }
    if (!node->directory) {
        SetError(ERROR_DIRECTORY);
        return FALSE;
    }
    Fs().currentDirectory = Fs().FullPath(path);
    return TRUE;
}

}  // extern "C"
