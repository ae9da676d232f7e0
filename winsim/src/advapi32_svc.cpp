// The service control manager of the simulated machine and advapi32's service calls on it.
#include "k_internal.h"

#include <windows.h>

#include <limits>

namespace winsim {

namespace {

const char kSpooler[] = "SPOOLER";

// Large latencies mean "pending for good"; the due time must not wrap.
uint64_t DueAfter(uint64_t now, uint64_t latency) {
    return latency > std::numeric_limits<uint64_t>::max() - now ? std::numeric_limits<uint64_t>::max()
                                                                : now + latency;
}

}  // namespace

ServiceManager::ServiceManager() {
    Add("Spooler", "Print Spooler", SERVICE_RUNNING);
}

ServiceManager::Service& ServiceManager::Add(const std::string& name, const std::string& displayName, DWORD state) {
    Service s;
    s.name = name;
    s.displayName = displayName;
    s.state = state;
    return m_services[NameKey(name)] = s;
}

void ServiceManager::Remove(const std::string& name) {
    m_services.erase(NameKey(name));
}

ServiceManager::Service* ServiceManager::Find(const std::string& name) {
    auto it = m_services.find(NameKey(name));
    return it == m_services.end() ? nullptr : &it->second;
}

ServiceBehaviour& ServiceManager::Behaviour(const std::string& name) {
    Service* s = Find(name);
    if (!s)
        throw SimAbort("the test scripts the service \"" + name + "\", which the machine does not have");
    return s->behaviour;
}

void ServiceManager::SetState(const std::string& name, DWORD state) {
    Service* s = Find(name);
    if (!s)
        throw SimAbort("the test sets the state of the service \"" + name + "\", which the machine does not have");
    Machine& m = Current();
    s->state = state;
    s->checkPoint = 0;
    s->exitCode = 0;
    if (state == SERVICE_STOP_PENDING)
        s->dueAt = DueAfter(m.now, s->behaviour.stopLatencyMs);
    else if (state == SERVICE_START_PENDING)
        s->dueAt = DueAfter(m.now, s->behaviour.startLatencyMs);
    if (NameKey(name) == kSpooler)
        m.spooler.SetRunning(state != SERVICE_STOPPED && state != SERVICE_START_PENDING);
}

DWORD ServiceManager::State(const std::string& name) {
    Machine& m = Current();
    Settle(m.now, m.spooler);
    Service* s = Find(name);
    return s ? s->state : 0;
}

int ServiceManager::CallCount(const std::string& api) const {
    int n = 0;
    for (const ServiceCall& c : m_calls)
        n += c.api == api;
    return n;
}

void ServiceManager::Record(const std::string& api, const std::string& arg, uint64_t at) {
    m_calls.push_back(ServiceCall{api, arg, at});
}

SC_HANDLE ServiceManager::Open(const Handle& handle) {
    m_nextHandle += 8;
    m_handles[m_nextHandle] = handle;
    return reinterpret_cast<SC_HANDLE>(m_nextHandle);
}

ServiceManager::Handle* ServiceManager::Lookup(SC_HANDLE h) {
    auto it = m_handles.find(reinterpret_cast<uintptr_t>(h));
    return it == m_handles.end() ? nullptr : &it->second;
}

bool ServiceManager::Close(SC_HANDLE h) {
    return m_handles.erase(reinterpret_cast<uintptr_t>(h)) != 0;
}

void ServiceManager::BeginStop(Service& service, uint64_t now, Spooler& spooler) {
    service.state = SERVICE_STOP_PENDING;
    service.checkPoint = 1;
    service.dueAt = DueAfter(now, service.behaviour.stopLatencyMs);
    Settle(now, spooler);
}

void ServiceManager::BeginStart(Service& service, uint64_t now, Spooler& spooler) {
    service.state = SERVICE_START_PENDING;
    service.checkPoint = 1;
    service.exitCode = 0;
    service.dueAt = DueAfter(now, service.behaviour.startLatencyMs);
    Settle(now, spooler);
}

void ServiceManager::Complete(Service& service, Spooler& spooler) {
    bool isSpooler = NameKey(service.name) == kSpooler;
    service.checkPoint = 0;
    if (service.state == SERVICE_STOP_PENDING) {
        service.state = SERVICE_STOPPED;
        if (isSpooler) {
            spooler.SetRunning(false);
            spoolerStops++;
        }
    } else if (service.state == SERVICE_START_PENDING) {
        if (service.behaviour.startFailsWith) {
            service.state = SERVICE_STOPPED;
            service.exitCode = service.behaviour.startFailsWith;
            return;
        }
        service.state = SERVICE_RUNNING;
        if (isSpooler) {
            // A spooler that starts reads its printers and drivers from the registry again.
            spooler.Reload();
            spooler.SetRunning(true);
            spoolerStarts++;
        }
    }
}

void ServiceManager::Settle(uint64_t now, Spooler& spooler) {
    for (auto& entry : m_services) {
        Service& s = entry.second;
        if ((s.state == SERVICE_STOP_PENDING || s.state == SERVICE_START_PENDING) && s.dueAt <= now)
            Complete(s, spooler);
    }
}

void ServiceManager::Boot(Spooler& spooler) {
    for (auto& entry : m_services) {
        Service& s = entry.second;
        s.checkPoint = 0;
        s.exitCode = 0;
        if (entry.first == kSpooler)
            s.state = SERVICE_RUNNING;
        else if (s.state == SERVICE_STOP_PENDING)
            s.state = SERVICE_STOPPED;
        else if (s.state == SERVICE_START_PENDING)
            s.state = SERVICE_RUNNING;
    }
    if (Find("spooler")) {
        spooler.Reload();
        spooler.SetRunning(true);
    }
}

}  // namespace winsim

using winsim::Current;
using winsim::ServiceManager;

namespace {

ServiceManager& Scm() {
    return Current().services;
}

void SetError(DWORD e) {
    Current().lastError = e;
}

// Records the call, completes what fell due, and answers for Windows 9x, which has no service manager.
bool Enter(const char* api, const std::string& arg) {
    winsim::Machine& m = Current();
    m.services.Record(api, arg, m.now);
    m.services.Settle(m.now, m.spooler);
    if (m.system.Is9x()) {
        SetError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    return true;
}

// Generic rights mapped as the service manager maps them for service objects.
DWORD MapServiceAccess(DWORD access) {
    if (access & GENERIC_READ)
        access |= READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
                  SERVICE_ENUMERATE_DEPENDENTS;
    if (access & GENERIC_WRITE)
        access |= READ_CONTROL | SERVICE_CHANGE_CONFIG;
    if (access & GENERIC_EXECUTE)
        access |= READ_CONTROL | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE | SERVICE_USER_DEFINED_CONTROL;
    if (access & GENERIC_ALL)
        access |= SERVICE_ALL_ACCESS;
    return access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

DWORD MapManagerAccess(DWORD access) {
    if (access & GENERIC_READ)
        access |= READ_CONTROL | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;
    if (access & GENERIC_WRITE)
        access |= READ_CONTROL | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG;
    if (access & GENERIC_EXECUTE)
        access |= READ_CONTROL | SC_MANAGER_CONNECT | SC_MANAGER_LOCK;
    if (access & GENERIC_ALL)
        access |= SC_MANAGER_ALL_ACCESS;
    return access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

bool IsLocalMachine(LPCSTR name) {
    if (!name || !*name)
        return true;
    std::string n = name;
    if (n.size() > 2 && n[0] == '\\' && n[1] == '\\')
        n = n.substr(2);
    return winsim::NamesEqual(n, Current().system.computerName);
}

// Controls the simulated services accept while running.
DWORD ControlsAccepted(const ServiceManager::Service& s) {
    return s.state == SERVICE_RUNNING ? (SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN) : 0;
}

void FillStatus(const ServiceManager::Service& s, LPSERVICE_STATUS out) {
    out->dwServiceType = s.type;
    out->dwCurrentState = s.state;
    out->dwControlsAccepted = ControlsAccepted(s);
    out->dwWin32ExitCode = s.exitCode;
    out->dwServiceSpecificExitCode = 0;
    bool pending = s.state == SERVICE_STOP_PENDING || s.state == SERVICE_START_PENDING;
    out->dwCheckPoint = pending ? s.checkPoint : 0;
    out->dwWaitHint = pending ? 2000 : 0;
}

// The service behind a service handle, checking that the handle carries `access`.
ServiceManager::Service* ServiceOf(SC_HANDLE h, DWORD access) {
    ServiceManager::Handle* handle = Scm().Lookup(h);
    if (!handle || handle->manager) {
        SetError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    ServiceManager::Service* s = Scm().Find(handle->service);
    if (!s) {
        // Removed by the test while the program held a handle: Windows marks such a service for deletion.
        SetError(ERROR_SERVICE_MARKED_FOR_DELETE);
        return nullptr;
    }
    if ((handle->access & access) != access) {
        SetError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return s;
}

std::string NameOfHandle(SC_HANDLE h) {
    ServiceManager::Handle* handle = Scm().Lookup(h);
    if (!handle || handle->manager)
        return std::string();
    ServiceManager::Service* s = Scm().Find(handle->service);
    return s ? s->name : handle->service;
}

}  // namespace

SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess) {
    if (!Enter("OpenSCManagerA", lpMachineName ? lpMachineName : ""))
        return nullptr;
    SIM_FAULT("OpenSCManagerA", lpMachineName ? lpMachineName : "", nullptr);
    if (!IsLocalMachine(lpMachineName)) {
        SetError(RPC_S_SERVER_UNAVAILABLE);
        return nullptr;
    }
    // Database names are compared exactly (Wine refuses "servicesactive" with ERROR_INVALID_NAME).
    std::string db = lpDatabaseName ? lpDatabaseName : "";
    if (!db.empty() && db != SERVICES_ACTIVE_DATABASEA) {
        SetError(db == SERVICES_FAILED_DATABASEA ? ERROR_DATABASE_DOES_NOT_EXIST : ERROR_INVALID_NAME);
        return nullptr;
    }
    DWORD access = MapManagerAccess(dwDesiredAccess) | SC_MANAGER_CONNECT;
    const DWORD userRights = READ_CONTROL | SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE |
                             SC_MANAGER_QUERY_LOCK_STATUS;
    if (!Scm().admin && (access & ~userRights)) {
        SetError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    ServiceManager::Handle h;
    h.manager = true;
    h.access = access;
    return Scm().Open(h);
}

SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) {
    std::string name = lpServiceName ? lpServiceName : "";
    if (!Enter("OpenServiceA", name))
        return nullptr;
    SIM_FAULT("OpenServiceA", name, nullptr);
    ServiceManager::Handle* manager = Scm().Lookup(hSCManager);
    if (!manager || !manager->manager) {
        SetError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!lpServiceName) {
        SetError(ERROR_INVALID_ADDRESS);
        return nullptr;
    }
    if (name.empty() || name.size() > 256) {
        SetError(ERROR_INVALID_NAME);
        return nullptr;
    }
    ServiceManager::Service* s = Scm().Find(name);
    if (!s) {
        SetError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    DWORD access = MapServiceAccess(dwDesiredAccess);
    const DWORD userRights = READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS |
                             SERVICE_ENUMERATE_DEPENDENTS | SERVICE_INTERROGATE | SERVICE_USER_DEFINED_CONTROL;
    if (!Scm().admin && (access & ~userRights)) {
        SetError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    ServiceManager::Handle h;
    h.service = winsim::NameKey(s->name);
    h.access = access;
    return Scm().Open(h);
}

BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
    std::string arg = NameOfHandle(hService) + " " + std::to_string(dwControl);
    if (!Enter("ControlService", arg))
        return FALSE;
    SIM_FAULT("ControlService", arg, FALSE);
    DWORD access;
    switch (dwControl) {
    case SERVICE_CONTROL_STOP:
        access = SERVICE_STOP;
        break;
    case SERVICE_CONTROL_INTERROGATE:
        access = SERVICE_INTERROGATE;
        break;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
    case SERVICE_CONTROL_PARAMCHANGE:
        access = SERVICE_PAUSE_CONTINUE;
        break;
    default:
        if (dwControl < 128 || dwControl > 255) {
            SetError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        access = SERVICE_USER_DEFINED_CONTROL;
    }
    ServiceManager::Service* s = ServiceOf(hService, access);
    if (!s)
        return FALSE;
    if (!lpServiceStatus) {
        SetError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    winsim::Machine& m = Current();
    DWORD refusal = 0;
    if (s->state == SERVICE_STOPPED)
        refusal = ERROR_SERVICE_NOT_ACTIVE;
    else if (s->state == SERVICE_STOP_PENDING || s->state == SERVICE_START_PENDING)
        refusal = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    if (refusal) {
        FillStatus(*s, lpServiceStatus);
        SetError(refusal);
        return FALSE;
    }
    if (dwControl == SERVICE_CONTROL_INTERROGATE) {
        FillStatus(*s, lpServiceStatus);
        return TRUE;
    }
    if (dwControl != SERVICE_CONTROL_STOP || !(ControlsAccepted(*s) & SERVICE_ACCEPT_STOP)) {
        SetError(ERROR_INVALID_SERVICE_CONTROL);
        return FALSE;
    }
    if (s->behaviour.refuseStop) {
        FillStatus(*s, lpServiceStatus);
        SetError(s->behaviour.refuseStop);
        return FALSE;
    }
    if (!s->behaviour.ignoreStop)
        Scm().BeginStop(*s, m.now, m.spooler);
    FillStatus(*s, lpServiceStatus);
    return TRUE;
}

BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
    std::string name = NameOfHandle(hService);
    if (!Enter("QueryServiceStatus", name))
        return FALSE;
    SIM_FAULT("QueryServiceStatus", name, FALSE);
    ServiceManager::Service* s = ServiceOf(hService, SERVICE_QUERY_STATUS);
    if (!s)
        return FALSE;
    if (!lpServiceStatus) {
        SetError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    if (s->behaviour.refuseQuery) {
        SetError(s->behaviour.refuseQuery);
        return FALSE;
    }
    FillStatus(*s, lpServiceStatus);
    // A service reports progress while pending: each look finds the check point one further.
    if (s->state == SERVICE_STOP_PENDING || s->state == SERVICE_START_PENDING)
        s->checkPoint++;
    return TRUE;
}

BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors) {
    std::string name = NameOfHandle(hService);
    if (!Enter("StartServiceA", name))
        return FALSE;
    SIM_FAULT("StartServiceA", name, FALSE);
    ServiceManager::Service* s = ServiceOf(hService, SERVICE_START);
    if (!s)
        return FALSE;
    if (dwNumServiceArgs && !lpServiceArgVectors) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (s->state != SERVICE_STOPPED) {
        SetError(ERROR_SERVICE_ALREADY_RUNNING);
        return FALSE;
    }
    if (s->behaviour.refuseStart) {
        SetError(s->behaviour.refuseStart);
        return FALSE;
    }
    winsim::Machine& m = Current();
    Scm().BeginStart(*s, m.now, m.spooler);
    return TRUE;
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject) {
    std::string name = NameOfHandle(hSCObject);
    if (!Enter("CloseServiceHandle", name))
        return FALSE;
    SIM_FAULT("CloseServiceHandle", name, FALSE);
    if (!Scm().Close(hSCObject)) {
        SetError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
