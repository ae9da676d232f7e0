// The simulated service control manager: services as state machines on the machine's virtual clock.
//
//   m->services.Behaviour("spooler").stopLatencyMs = 2500;               // a slow stop
//   m->services.Behaviour("spooler").refuseStop = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
//   m->services.Behaviour("spooler").ignoreStop = true;                  // accepts the stop, keeps running
//   m->services.Behaviour("spooler").refuseStart = ERROR_SERVICE_DISABLED;
//   m->services.SetState("spooler", SERVICE_STOPPED);                    // at once, no latency
//   EXPECT_EQ(SERVICE_RUNNING, m->services.State("spooler"));
//   EXPECT_EQ(0, m->services.CallCount());                               // e.g. on Windows 9x
#pragma once
#include <winsim/wintypes.h>

#include <map>
#include <string>
#include <vector>

namespace winsim {

class Spooler;

// How one service answers the calls that drive it; tests change it to script a slow or stubborn service.
struct ServiceBehaviour {
    // Virtual milliseconds from an accepted stop to SERVICE_STOPPED and from an accepted start to
    // SERVICE_RUNNING. The defaults are what Wine's spooler took when measured.
    uint64_t stopLatencyMs = 10;
    uint64_t startLatencyMs = 35;
    // Non-zero: ControlService(SERVICE_CONTROL_STOP) fails with this error while the service runs.
    DWORD refuseStop = 0;
    // The stop is accepted (TRUE) but the service keeps running.
    bool ignoreStop = false;
    // Non-zero: StartServiceA of the stopped service fails with this error (ERROR_SERVICE_DISABLED...).
    DWORD refuseStart = 0;
    // Non-zero: the start is accepted, but the service gives up at the end of its start latency and is
    // STOPPED again with this exit code in dwWin32ExitCode.
    DWORD startFailsWith = 0;
    // Non-zero: QueryServiceStatus of this service fails with this error.
    DWORD refuseQuery = 0;
};

// One call of the service API, as the program made it.
struct ServiceCall {
    std::string api;   // "OpenSCManagerA", "OpenServiceA", "ControlService", "QueryServiceStatus", ...
    std::string arg;   // service name (and the control code: "spooler 1"); empty for manager calls
    uint64_t at = 0;   // virtual time of the call
};

class ServiceManager {
public:
    struct Service {
        std::string name;         // key name as stored ("Spooler")
        std::string displayName;  // "Print Spooler"
        DWORD type = 0x110;       // SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, as on XP
        DWORD state = 4;          // SERVICE_* state
        DWORD exitCode = 0;       // dwWin32ExitCode
        DWORD checkPoint = 0;
        uint64_t dueAt = 0;       // when the pending state ends
        ServiceBehaviour behaviour;
    };

    // A workstation's manager: the service "Spooler" (Print Spooler), running.
    ServiceManager();

    // ---- Fixtures.
    // Adds (or replaces) a service in `state` with default behaviour.
    Service& Add(const std::string& name, const std::string& displayName, DWORD state);
    void Remove(const std::string& name);
    // The service's behaviour (adds nothing: the service must exist, else SimAbort).
    ServiceBehaviour& Behaviour(const std::string& name = "spooler");
    // Puts the service in a state at once, ending any pending transition; the spooler service takes the
    // print spooler with it (Spooler::SetRunning). A pending state set here lasts the service's latency.
    void SetState(const std::string& name, DWORD state);
    // Without administrator rights the manager grants only connect access and a service only query access.
    bool admin = true;

    // ---- Queries for tests (pending transitions that fell due are completed first).
    DWORD State(const std::string& name = "spooler");
    Service* Find(const std::string& name);
    // Every service call made, in order (also the failed ones and those made on Windows 9x).
    const std::vector<ServiceCall>& Calls() const { return m_calls; }
    size_t CallCount() const { return m_calls.size(); }
    int CallCount(const std::string& api) const;
    // Service handles (manager and service) the program has not closed.
    size_t OpenHandles() const { return m_handles.size(); }
    // Times the spooler service was stopped and started (transitions completed).
    int spoolerStops = 0;
    int spoolerStarts = 0;

    // ---- For the simulated calls and the machine.
    struct Handle {
        bool manager = false;
        std::string service;  // upper-cased key of the service
        DWORD access = 0;
    };
    // Completes every transition that fell due at `now`; the spooler service drives `spooler`.
    void Settle(uint64_t now, Spooler& spooler);
    // Brings every service to what it is right after boot: the spooler running, none pending.
    void Boot(Spooler& spooler);
    void Record(const std::string& api, const std::string& arg, uint64_t at);
    SC_HANDLE Open(const Handle& handle);
    Handle* Lookup(SC_HANDLE h);
    bool Close(SC_HANDLE h);
    // Starts a transition of `service` to `pending` at `now`.
    void BeginStop(Service& service, uint64_t now, Spooler& spooler);
    void BeginStart(Service& service, uint64_t now, Spooler& spooler);

private:
    void Complete(Service& service, Spooler& spooler);
    std::map<std::string, Service> m_services;  // by upper-cased name
    std::map<uintptr_t, Handle> m_handles;
    uintptr_t m_nextHandle = 0x5c0000;
    std::vector<ServiceCall> m_calls;
};

}  // namespace winsim
