// Whole-machine snapshots (registry and files) and a recorder of the changes the program reports.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/Changes.h"

// Every key ("K|path"), value ("V|path|name" -> type and bytes) and file or folder ("F|path" ->
// attributes and content) of the current machine, by upper-cased name.
std::map<std::string, std::string> SnapshotMachine();

// Entries added, removed or changed between two snapshots, as "+K|...", "-V|...", "~F|...".
std::vector<std::string> SnapshotDiff(const std::map<std::string, std::string>& before,
                                      const std::map<std::string, std::string>& after);

// Records what the change layer reports while it lives.
class ChangeRecorder : public IChangeObserver {
public:
    ChangeRecorder() { Changes().AddObserver(this); }
    ~ChangeRecorder() override { Changes().RemoveObserver(this); }
    void OnChange(const ChangeEvent& event) override;

    std::vector<ChangeEvent> events;
    // "delete key HKLM\\path", "delete value HKCU\\path|name", "delete file C:\\..." and so on, one
    // line per event, with " (refused)", " (would)" or " (failed N)" after the ones not done.
    std::vector<std::string> Lines() const;
};
