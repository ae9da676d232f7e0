// The simulated logon session: the privileges of the process token and the shutdown requests made.
//
//   m->security.Revoke(SE_SHUTDOWN_NAME);     // a user without the shutdown privilege
//   ... the program calls ExitWindowsEx ...
//   ASSERT_EQ(1u, m->security.shutdowns.size());
//   EXPECT_TRUE(m->security.restartPending);
//   m->Restart();                              // pending file operations run, the spooler starts
#pragma once
#include <winsim/wintypes.h>

#include <map>
#include <string>
#include <vector>

namespace winsim {

// One ExitWindowsEx call.
struct ShutdownRequest {
    UINT flags = 0;
    DWORD reason = 0;
    uint64_t at = 0;      // virtual time
    bool granted = false; // the call returned TRUE
    DWORD error = 0;      // its error when it failed
};

class Security {
public:
    // An administrator on a workstation: SeChangeNotifyPrivilege enabled; SeShutdownPrivilege,
    // SeBackupPrivilege, SeRestorePrivilege, SeDebugPrivilege and a few more held but disabled.
    Security();

    // ---- Fixtures.
    // The user holds the privilege (by its Windows name, case-insensitive), enabled or not.
    void Grant(const std::string& privilege, bool enabled = false);
    // The user does not hold it: AdjustTokenPrivileges then ends with ERROR_NOT_ALL_ASSIGNED.
    void Revoke(const std::string& privilege);

    // ---- Queries.
    bool Holds(const std::string& privilege) const;
    bool Enabled(const std::string& privilege) const;

    // Every ExitWindowsEx call, in order.
    std::vector<ShutdownRequest> shutdowns;
    // A granted reboot (or shutdown) waits for Machine::Restart().
    bool restartPending = false;
    // Restarts carried out by Machine::Restart().
    int restarts = 0;

    // ---- For the simulated calls.
    // Privilege names and LUIDs as Windows numbers them; 0 / empty when unknown.
    static DWORD LuidOf(const std::string& name);
    static std::string NameOf(DWORD luid);
    // Sets the enabled state of a held privilege; false when the user does not hold it.
    bool SetEnabled(const std::string& privilege, bool enabled);
    // Every held privilege by canonical name, with its enabled state.
    const std::map<std::string, bool>& Held() const { return m_held; }
    // A new logon: every privilege back to its default state.
    void Logon();

private:
    std::map<std::string, bool> m_held;      // canonical name -> enabled
    std::map<std::string, bool> m_defaults;  // what a new logon enables
};

}  // namespace winsim
