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
    // A dry run never sees it stopped, yet the real run's cycle starts it again: say so.
    if (Changes().IsDryRun())
        Changes().RequestServiceStart(service, kSpooler);
    // Once the stop is sent the spooler may be stopping, whatever the state query says: the caller's
    // cycle must bring it back, so a failed query does not count as no stop.
    SERVICE_STATUS status;
    if (QueryServiceStatus(service, &status))
        RunObserver().OnSpoolerStateSeen(status.dwCurrentState);
    return TRUE;
}

SpoolerTick PollSpooler() {
    CServiceHandle manager, service;
    SERVICE_STATUS status;
    if (!OpenSpooler(manager, service) || !QueryServiceStatus(service, &status))
        return SPOOLER_UNKNOWN;
    RunObserver().OnSpoolerStateSeen(status.dwCurrentState);
    // A dry run stopped nothing and starts nothing (its stop reported the start the real run makes): its
    // cycle ends at the first look, whatever state the spooler is in.
    if (Changes().IsDryRun())
        return SPOOLER_RUNNING;
    if (status.dwCurrentState == SERVICE_STOPPED)
        return Changes().RequestServiceStart(service, kSpooler) ? SPOOLER_START_REQUESTED : SPOOLER_START_REFUSED;
    return status.dwCurrentState == SERVICE_RUNNING ? SPOOLER_RUNNING : SPOOLER_PENDING;
}
