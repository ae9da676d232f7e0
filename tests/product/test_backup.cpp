// A backup that a killed run leaves behind: whatever point the run is ended at, its restore.cmd puts the
// workstation back as it was before the run.
#include <gtest/gtest.h>

#include <winsim/machine.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "engine/Changes.h"
#include "removal_fixture.h"
#include "removal_station.h"
#include "restore_fixture.h"

namespace {

const char kFolder[] = "C:\\Backup";

// Office, shared, with every registry trace, values of awkward types in its key, and a read-only help file
// that the run leaves for the restart: its removal makes every kind of change a backup guards.
void ArrangeOffice(RemovalStation& st) {
    st.AddOfficeAndPlain();
    SeedRegistryTraces(st.ws, "Office", "Brontal Office", "SOFTWARE\\Brontal\\Data\\Office");
    winsim::Registry& r = st.ws->registry;
    const std::string typed = std::string(kPrintersKey) + "\\Office\\Typed";
    r.SetString(typed, "Quoted \"name\" \\ here", "C:\\Path \"quoted\"");
    r.SetMultiString(typed, "Multi", {"one", "", "three"});
    r.SetValue(typed, "Binary", REG_BINARY, std::string(100, '\x7F'));
    st.ws->files.SetAttributes(st.versionDir + "\\OFFICE.HLP", FILE_ATTRIBUTE_READONLY);
}

// Ends the run as the change layer reports its Nth change (made, failed or refused).
class KillAfterChange : public IChangeObserver {
public:
    explicit KillAfterChange(int n) : m_left(n) { Changes().AddObserver(this); }
    ~KillAfterChange() override { Changes().RemoveObserver(this); }
    void OnChange(const ChangeEvent&) override {
        if (--m_left == 0)
            throw winsim::SimAbort("killed after a change");
    }

private:
    int m_left;
};

// Runs the removal with a backup; TRUE when something killed it.
bool RunKilled(RemovalStation& st) {
    try {
        st.Run(std::string("/backup:") + kFolder + " Office");
    } catch (const winsim::SimAbort&) {
        // The dead process's guard is gone with it.
        Changes().SetGuard(nullptr);
        return true;
    }
    return false;
}

bool InBackup(const std::string& entry) {
    return entry.compare(0, 12, "+F|C:\\BACKUP") == 0;
}

// restore.cmd run (when the run got as far as writing it: it does before its first change), then the machine
// against its snapshot from before the run, the backup aside; the spooler runs and has Office again. TRUE
// when all of it holds.
bool ExpectRestored(RemovalStation& st, const std::map<std::string, std::string>& before) {
    std::string failed;
    if (st.ws->files.Exists(std::string(kFolder) + "\\restore.cmd"))
        failed = RunRestoreScript(kFolder);
    EXPECT_EQ(failed, "");
    std::vector<std::string> diff = SnapshotDiff(before, SnapshotMachine());
    diff.erase(std::remove_if(diff.begin(), diff.end(), InBackup), diff.end());
    EXPECT_EQ(diff, std::vector<std::string>{});
    const bool running = st.ws->services.State() == SERVICE_RUNNING;
    EXPECT_TRUE(running);
    const bool printer = st.ws->spooler.PrinterExists("Office") && st.ws->spooler.DriverExists("Brontal Office");
    EXPECT_TRUE(printer);
    return failed.empty() && diff.empty() && running && printer;
}

}  // namespace

TEST(KilledBackups, RestoreTheMachineWhereverTheRunWasEnded) {
    // The whole run once: how many changes it reports, and which files of the backup it flushes, in order.
    int changes = 0;
    std::vector<std::string> flushes;
    {
        RemovalStation st;
        ArrangeOffice(st);
        ChangeRecorder recorder;
        ASSERT_EQ((DWORD)st.Run(std::string("/backup:") + kFolder + " Office"), (DWORD)ERROR_SUCCESS_REBOOT_REQUIRED);
        changes = (int)recorder.events.size();
        for (const std::string& call : st.ws->faults.Trace()) {
            if (call.rfind("FlushFileBuffers(C:\\Backup\\", 0) == 0)
                flushes.push_back(call);
        }
    }
    ASSERT_GT(changes, 30);
    ASSERT_GT(flushes.size(), (size_t)changes);

    int tried = 0, restored = 0;
    // One run killed: by a change report (`afterChange` > 0) or a call `arm` sets up; `afterKill` then does
    // what a power loss would have done to the files.
    auto attempt = [&](const std::string& point, int afterChange, const std::function<void(RemovalStation&)>& arm,
                       const std::function<void(RemovalStation&)>& afterKill) {
        SCOPED_TRACE(point);
        RemovalStation st;
        ArrangeOffice(st);
        const auto before = SnapshotMachine();
        std::unique_ptr<KillAfterChange> killer(afterChange > 0 ? new KillAfterChange(afterChange) : nullptr);
        if (arm)
            arm(st);
        EXPECT_TRUE(RunKilled(st));
        killer.reset();
        st.ws->faults.Clear();
        if (afterKill)
            afterKill(st);
        tried++;
        if (ExpectRestored(st, before))
            restored++;
    };

    // After each change the run reports, before anything else happens.
    for (int n = 1; n <= changes; ++n)
        attempt("after change " + std::to_string(n), n, nullptr, nullptr);
    // Inside each save: a registry file or a copy written but not yet on the list, a line on the list whose
    // change is not made yet, and that line cut in half, as a power loss during its write leaves it.
    for (size_t k = 0; k < flushes.size(); ++k) {
        auto arm = [k](RemovalStation& st) {
            st.ws->faults.Kill("FlushFileBuffers", (int)k,
                               [](const std::string& path) { return path.rfind("C:\\Backup\\", 0) == 0; });
        };
        attempt("at " + flushes[k], 0, arm, nullptr);
        if (flushes[k].find("restore.lst") == std::string::npos)
            continue;
        attempt("at " + flushes[k] + ", its line cut", 0, arm, [](RemovalStation& st) {
            const std::string list = std::string(kFolder) + "\\restore.lst";
            const std::string text = *st.ws->files.ReadFile(list);
            const size_t before = text.find_last_of('\n', text.size() - 2);
            const size_t start = before == std::string::npos ? 0 : before + 1;
            st.ws->files.WriteFile(list, text.substr(0, start + (text.size() - start) / 2));
        });
    }
    RecordProperty("killed_runs_restored", std::to_string(restored) + " of " + std::to_string(tried));
    std::printf("killed runs restored: %d of %d\n", restored, tried);
    EXPECT_EQ(restored, tried);
}
