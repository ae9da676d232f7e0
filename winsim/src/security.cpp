// The logon session of the simulated machine: token privileges, advapi32's token calls and ExitWindowsEx.
#include "k_internal.h"

#include <windows.h>

#include <stddef.h>
#include <string.h>

namespace winsim {

namespace {

struct PrivilegeName {
    DWORD luid;
    const char* name;
};

// The LUIDs Windows gives the well-known privileges (SE_*_PRIVILEGE in winnt.h).
const PrivilegeName kPrivileges[] = {
    {2, "SeCreateTokenPrivilege"},
    {3, "SeAssignPrimaryTokenPrivilege"},
    {4, "SeLockMemoryPrivilege"},
    {5, "SeIncreaseQuotaPrivilege"},
    {6, "SeMachineAccountPrivilege"},
    {7, "SeTcbPrivilege"},
    {8, "SeSecurityPrivilege"},
    {9, "SeTakeOwnershipPrivilege"},
    {10, "SeLoadDriverPrivilege"},
    {11, "SeSystemProfilePrivilege"},
    {12, "SeSystemtimePrivilege"},
    {13, "SeProfileSingleProcessPrivilege"},
    {14, "SeIncreaseBasePriorityPrivilege"},
    {15, "SeCreatePagefilePrivilege"},
    {16, "SeCreatePermanentPrivilege"},
    {17, "SeBackupPrivilege"},
    {18, "SeRestorePrivilege"},
    {19, "SeShutdownPrivilege"},
    {20, "SeDebugPrivilege"},
    {21, "SeAuditPrivilege"},
    {22, "SeSystemEnvironmentPrivilege"},
    {23, "SeChangeNotifyPrivilege"},
    {24, "SeRemoteShutdownPrivilege"},
    {25, "SeUndockPrivilege"},
    {26, "SeSyncAgentPrivilege"},
    {27, "SeEnableDelegationPrivilege"},
    {28, "SeManageVolumePrivilege"},
    {29, "SeImpersonatePrivilege"},
    {30, "SeCreateGlobalPrivilege"},
};

const char kChangeNotify[] = "SeChangeNotifyPrivilege";

std::string Canonical(const std::string& name) {
    return Security::NameOf(Security::LuidOf(name));
}

}  // namespace

DWORD Security::LuidOf(const std::string& name) {
    for (const PrivilegeName& p : kPrivileges)
        if (NamesEqual(name, p.name))
            return p.luid;
    return 0;
}

std::string Security::NameOf(DWORD luid) {
    for (const PrivilegeName& p : kPrivileges)
        if (p.luid == luid)
            return p.name;
    return std::string();
}

Security::Security() {
    const char* held[] = {"SeShutdownPrivilege",     "SeBackupPrivilege",        "SeRestorePrivilege",
                          "SeDebugPrivilege",        "SeSecurityPrivilege",      "SeTakeOwnershipPrivilege",
                          "SeLoadDriverPrivilege",   "SeSystemtimePrivilege",    "SeRemoteShutdownPrivilege",
                          "SeUndockPrivilege",       "SeIncreaseQuotaPrivilege", "SeSystemProfilePrivilege",
                          "SeIncreaseBasePriorityPrivilege", "SeCreatePagefilePrivilege",
                          "SeSystemEnvironmentPrivilege",    "SeManageVolumePrivilege",
                          "SeImpersonatePrivilege",  "SeCreateGlobalPrivilege"};
    for (const char* p : held)
        m_held[p] = false;
    m_held[kChangeNotify] = true;
}

void Security::Grant(const std::string& privilege, bool enabled) {
    std::string name = Canonical(privilege);
    if (name.empty())
        throw SimAbort("the test grants \"" + privilege + "\", a privilege Windows does not know");
    m_held[name] = enabled;
}

void Security::Revoke(const std::string& privilege) {
    m_held.erase(Canonical(privilege));
}

bool Security::Holds(const std::string& privilege) const {
    return m_held.count(Canonical(privilege)) != 0;
}

bool Security::Enabled(const std::string& privilege) const {
    auto it = m_held.find(Canonical(privilege));
    return it != m_held.end() && it->second;
}

bool Security::SetEnabled(const std::string& privilege, bool enabled) {
    auto it = m_held.find(Canonical(privilege));
    if (it == m_held.end())
        return false;
    it->second = enabled;
    return true;
}

void Security::Logon() {
    for (auto& p : m_held)
        p.second = p.first == kChangeNotify;
}

}  // namespace winsim

using winsim::Current;
using winsim::Security;

namespace {

// The process token behind a token handle: every handle refers to the same token, so privileges
// enabled through one are seen through all.
struct TokenObject : winsim::KernelObject {
    DWORD access = 0;
    const char* Kind() const override { return "token"; }
};

void SetError(DWORD e) {
    Current().lastError = e;
}

DWORD MapTokenAccess(DWORD access) {
    if (access & GENERIC_READ)
        access |= READ_CONTROL | TOKEN_QUERY;
    if (access & GENERIC_WRITE)
        access |= READ_CONTROL | TOKEN_ADJUST_PRIVILEGES | TOKEN_ADJUST_GROUPS | TOKEN_ADJUST_DEFAULT;
    if (access & GENERIC_EXECUTE)
        access |= READ_CONTROL | TOKEN_IMPERSONATE;
    if (access & GENERIC_ALL)
        access |= TOKEN_ALL_ACCESS;
    return access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

}  // namespace

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, HANDLE* TokenHandle) {
    SIM_FAULT("OpenProcessToken", std::to_string(DesiredAccess), FALSE);
    winsim::Machine& m = Current();
    if (m.system.Is9x()) {
        SetError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (ProcessHandle != GetCurrentProcess()) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!TokenHandle) {
        SetError(ERROR_NOACCESS);
        return FALSE;
    }
    auto token = std::make_shared<TokenObject>();
    token->access = MapTokenAccess(DesiredAccess);
    *TokenHandle = m.system.handles.Add(token);
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR lpSystemName, LPCSTR lpName, PLUID lpLuid) {
    std::string name = lpName ? lpName : "";
    SIM_FAULT("LookupPrivilegeValueA", name, FALSE);
    winsim::Machine& m = Current();
    if (m.system.Is9x()) {
        SetError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    if (lpSystemName && *lpSystemName) {
        std::string system = lpSystemName;
        if (system.size() > 2 && system[0] == '\\' && system[1] == '\\')
            system = system.substr(2);
        if (!winsim::NamesEqual(system, m.system.computerName)) {
            SetError(RPC_S_SERVER_UNAVAILABLE);
            return FALSE;
        }
    }
    if (!lpName || !lpLuid) {
        SetError(ERROR_NOACCESS);
        return FALSE;
    }
    DWORD luid = Security::LuidOf(name);
    if (!luid) {
        SetError(ERROR_NO_SUCH_PRIVILEGE);
        return FALSE;
    }
    lpLuid->LowPart = luid;
    lpLuid->HighPart = 0;
    return TRUE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges, PTOKEN_PRIVILEGES NewState,
                                  DWORD BufferLength, PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
    SIM_FAULT("AdjustTokenPrivileges", "", FALSE);
    winsim::Machine& m = Current();
    if (m.system.Is9x()) {
        SetError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    TokenObject* token = m.system.handles.Get<TokenObject>(TokenHandle);
    if (!token) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(token->access & TOKEN_ADJUST_PRIVILEGES) || (PreviousState && !(token->access & TOKEN_QUERY))) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!DisableAllPrivileges && !NewState) {
        SetError(ERROR_NOACCESS);
        return FALSE;
    }
    Security& security = m.security;

    // What changes: (name, new enabled state); privileges the user lacks are only counted.
    std::vector<std::pair<std::string, bool>> changes;
    bool notAll = false;
    if (DisableAllPrivileges) {
        for (const auto& p : security.Held())
            if (p.second)
                changes.emplace_back(p.first, false);
    } else {
        for (DWORD i = 0; i < NewState->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& la = NewState->Privileges[i];
            std::string name = la.Luid.HighPart ? std::string() : Security::NameOf(la.Luid.LowPart);
            if (name.empty() || !security.Holds(name)) {
                notAll = true;
                continue;
            }
            bool enable = (la.Attributes & SE_PRIVILEGE_ENABLED) != 0;
            if (security.Enabled(name) != enable)
                changes.emplace_back(name, enable);
        }
    }

    if (PreviousState) {
        DWORD needed = DWORD(offsetof(TOKEN_PRIVILEGES, Privileges) + changes.size() * sizeof(LUID_AND_ATTRIBUTES));
        if (ReturnLength)
            *ReturnLength = needed;
        if (BufferLength < needed) {
            SetError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        PreviousState->PrivilegeCount = DWORD(changes.size());
        for (size_t i = 0; i < changes.size(); ++i) {
            PreviousState->Privileges[i].Luid.LowPart = Security::LuidOf(changes[i].first);
            PreviousState->Privileges[i].Luid.HighPart = 0;
            PreviousState->Privileges[i].Attributes = changes[i].second ? 0 : SE_PRIVILEGE_ENABLED;
        }
    }
    for (const auto& c : changes)
        security.SetEnabled(c.first, c.second);
    SetError(notAll ? ERROR_NOT_ALL_ASSIGNED : ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason) {
    winsim::Machine& m = Current();
    winsim::ShutdownRequest request;
    request.flags = uFlags;
    request.reason = dwReason;
    request.at = m.now;
    if (m.faults.Hit("ExitWindowsEx", std::to_string(uFlags))) {
        request.error = m.lastError;
        m.security.shutdowns.push_back(request);
        return FALSE;
    }
    const UINT kind = uFlags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF);
    // Logging off needs no privilege; ending the system needs SeShutdownPrivilege enabled on NT.
    if (kind && m.system.IsNT() && !m.security.Enabled(SE_SHUTDOWN_NAME)) {
        request.error = ERROR_PRIVILEGE_NOT_HELD;
        m.security.shutdowns.push_back(request);
        SetError(ERROR_PRIVILEGE_NOT_HELD);
        return FALSE;
    }
    request.granted = true;
    m.security.shutdowns.push_back(request);
    if (kind)
        m.security.restartPending = true;
    return TRUE;
}
