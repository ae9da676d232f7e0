// Machine snapshots for before-and-after comparisons, and the change recorder.
#include "snapshot.h"

#include <winsim/machine.h>

#include <algorithm>

namespace {

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return (char)toupper(c); });
    return s;
}

void WalkKey(const winsim::RegKey& key, const std::string& path, std::map<std::string, std::string>& out) {
    out["K|" + Upper(path)] = key.name;
    for (const winsim::RegValue& v : key.values)
        out["V|" + Upper(path) + "|" + Upper(v.name)] = std::to_string(v.type) + ":" + v.data;
    for (const auto& child : key.children)
        WalkKey(*child.second, path + "\\" + child.second->name, out);
}

void WalkFiles(const winsim::FsNode& node, const std::string& path, std::map<std::string, std::string>& out) {
    out["F|" + Upper(path)] = std::to_string(node.Attributes()) + ":" + node.content;
    for (const auto& child : node.children)
        WalkFiles(*child.second, path + "\\" + child.second->name, out);
}

std::string RootName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE)
        return "HKLM";
    if (root == HKEY_CURRENT_USER)
        return "HKCU";
    if (root == HKEY_USERS)
        return "HKU";
    return "?";
}

const char* KindName(ChangeKind kind) {
    switch (kind) {
    case CHANGE_DELETE_KEY: return "delete key";
    case CHANGE_DELETE_VALUE: return "delete value";
    case CHANGE_DELETE_FILE: return "delete file";
    case CHANGE_DELETE_AT_RESTART: return "delete at restart";
    case CHANGE_SET_PRINTER: return "set printer";
    case CHANGE_DELETE_PRINTER: return "delete printer";
    case CHANGE_DRIVER_DELETE_PRINTER: return "driver deletes printer";
    case CHANGE_COPY_FILE: return "copy file";
    case CHANGE_SET_FILE_TIMES: return "set file times";
    case CHANGE_STOP_SERVICE: return "stop service";
    case CHANGE_START_SERVICE: return "start service";
    case CHANGE_CALL_COMPANION: return "call companion";
    }
    return "?";
}

}  // namespace

std::map<std::string, std::string> SnapshotMachine() {
    std::map<std::string, std::string> out;
    winsim::Machine& m = winsim::Current();
    for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_USERS"}) {
        if (auto key = m.registry.Find(root))
            WalkKey(*key, root, out);
    }
    if (auto drive = m.files.Find("C:\\"))
        WalkFiles(*drive, "C:", out);
    return out;
}

std::vector<std::string> SnapshotDiff(const std::map<std::string, std::string>& before,
                                      const std::map<std::string, std::string>& after) {
    std::vector<std::string> diff;
    for (const auto& b : before) {
        auto a = after.find(b.first);
        if (a == after.end())
            diff.push_back("-" + b.first);
        else if (a->second != b.second)
            diff.push_back("~" + b.first);
    }
    for (const auto& a : after) {
        if (!before.count(a.first))
            diff.push_back("+" + a.first);
    }
    return diff;
}

void ChangeRecorder::OnChange(const ChangeEvent& event) {
    events.push_back(event);
}

std::vector<std::string> ChangeRecorder::Lines() const {
    std::vector<std::string> lines;
    for (const ChangeEvent& e : events) {
        std::string line = KindName(e.kind);
        line += " ";
        if (e.kind == CHANGE_DELETE_KEY || e.kind == CHANGE_DELETE_VALUE)
            line += RootName(e.root) + "\\";
        line += (LPCSTR)e.target;
        if (!e.name.IsEmpty())
            line += std::string("|") + (LPCSTR)e.name;
        if (e.outcome == CHANGE_REFUSED)
            line += " (refused)";
        else if (e.outcome == CHANGE_WOULD)
            line += " (would)";
        else if (e.outcome == CHANGE_FAILED)
            line += " (failed " + std::to_string(e.result) + ")";
        lines.push_back(line);
    }
    return lines;
}
