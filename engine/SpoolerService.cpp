// The spooler service's stop request and state poll.
#include "engine/SpoolerService.h"

#include "afx/afxhandles.h"
#include "engine/Changes.h"
#include "engine/RunObserver.h"

namespace {

const char kSpooler[] = "spooler";

// Opens the manager and the spooler service; FALSE when either fails.
BOOL OpenSpooler(CServiceHandle& manager, CServiceHandle& service) {
    manager.Attach(OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT));
    if (!manager)
        return FALSE;
    service.Attach(OpenServiceA(manager, kSpooler, SERVICE_ALL_ACCESS));
    return service != NULL;
}

}  // namespace

BOOL RequestSpoolerStop() {
    CServiceHandle manager, service;
    if (!OpenSpooler(manager, service))
        return FALSE;
    Changes().RequestServiceStop(service, kSpooler);
    // Once the stop is sent the spooler may be stopping, whatever the state query says: the caller's
    // cycle must bring it back, so a failed query does not count as no stop.
    SERVICE_STATUS status;
    if (Changes().QueryServiceState(service, kSpooler, &status))
        RunObserver().OnSpoolerStateSeen(status.dwCurrentState);
    return TRUE;
}

SpoolerTick PollSpooler() {
    CServiceHandle manager, service;
    SERVICE_STATUS status;
    // The state through the change layer: a dry run's spooler is as its own stop and start left it.
    if (!OpenSpooler(manager, service) || !Changes().QueryServiceState(service, kSpooler, &status))
        return SPOOLER_UNKNOWN;
    RunObserver().OnSpoolerStateSeen(status.dwCurrentState);
    if (status.dwCurrentState == SERVICE_STOPPED)
        return Changes().RequestServiceStart(service, kSpooler) ? SPOOLER_START_REQUESTED : SPOOLER_START_REFUSED;
    return status.dwCurrentState == SERVICE_RUNNING ? SPOOLER_RUNNING : SPOOLER_PENDING;
}
