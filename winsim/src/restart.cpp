// The simulated restart of the machine: what the session manager does at boot, and the services coming up again.
#include "k_internal.h"

#include <windows.h>

namespace winsim {

namespace {

const char kSessionManager[] = "HKLM\\System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";

// "\??\C:\x" -> "C:\x"; paths written without the prefix are taken as they are.
std::string NtToDosPath(const std::string& path) {
    if (path.compare(0, 4, "\\??\\") == 0)
        return path.substr(4);
    return path;
}

// One entry of the list, as the session manager carries it out; an entry that cannot be done is skipped.
void RunPendingOperation(FileSystem& fs, const std::string& source, const std::string& target) {
    std::shared_ptr<FsNode> node = fs.Find(NtToDosPath(source));
    if (!node || !node->parent)
        return;
    if (target.empty()) {
        // A folder goes only when it is empty by then.
        if (node->directory && !node->children.empty())
            return;
        fs.Remove(node);
        return;
    }
    bool replace = target[0] == '!';
    std::string to = NtToDosPath(replace ? target.substr(1) : target);
    std::string leaf;
    std::shared_ptr<FsNode> dir = fs.ParentOf(to, &leaf);
    if (!dir || leaf.empty())
        return;
    if (std::shared_ptr<FsNode> existing = fs.Find(to)) {
        if (existing == node)
            return;
        if (!replace || existing->directory)
            return;
        fs.Remove(existing);
    }
    fs.Relink(node, dir, leaf);
}

void ReleaseHolders(FsNode& node) {
    node.heldOpen = false;
    node.mapped = false;
    for (auto& child : node.children)
        ReleaseHolders(*child.second);
}

}  // namespace

void Machine::Restart() {
    for (const auto& op : PendingFileRenames(registry))
        RunPendingOperation(files, op.first, op.second);
    registry.DeleteValue(kSessionManager, kPendingRenames);

    // Every other process is gone, and with it what it held open or had mapped.
    for (char drive = 'A'; drive <= 'Z'; ++drive)
        if (std::shared_ptr<FsNode> root = files.Find(std::string(1, drive) + ":\\"))
            ReleaseHolders(*root);

    services.Boot(spooler);
    security.Logon();
    security.restartPending = false;
    security.restarts++;
}

}  // namespace winsim
