// CSpoolerCycle: the spooler stopped and brought back, before the enumeration and after a removal; the
// caller's timer ticks it once a second.
#pragma once

#include <windows.h>

// The two cycles of a run; each is also the timer event that ticks it.
#define SPOOLER_EVENT_STARTUP 1
#define SPOOLER_EVENT_REMOVAL 2

// How long a run waits at most for the spooler to run again after its stop.
#define SPOOLER_CYCLE_WAIT_MS 120000

enum SpoolerCycleTick {
    CYCLE_WAITING,    // look again at the next tick
    CYCLE_ABANDONED,  // the spooler refused to start again: the pending step never runs
    CYCLE_COMPLETED,  // the spooler runs again: the pending step runs now
};

class CSpoolerCycle {
public:
    // Asks the spooler to stop for cycle `eventId` and makes it the pending one; FALSE when the service
    // cannot be opened (no stop was sent, nothing is pending).
    BOOL Begin(UINT eventId);
    // One tick of cycle `eventId`: polls the spooler, starting it when it is stopped.
    SpoolerCycleTick Tick(UINT eventId);
    // Without a window: ticks the pending cycle `eventId` four times a second until it completes or is
    // abandoned; after SPOOLER_CYCLE_WAIT_MS it is abandoned.
    SpoolerCycleTick RunToEnd(UINT eventId);
    // Without a timer: polls until the spooler runs again (starting it when stopped), at most
    // SPOOLER_CYCLE_WAIT_MS; the cycle is then over whatever its outcome.
    void Finish();
    // Gives the pending cycle up after the wait's bound: the run must not wait for it a second time.
    void Abandon();
    // Abandons the pending cycle once SPOOLER_CYCLE_WAIT_MS have passed since `start`; TRUE when it did.
    BOOL AbandonIfOverdue(DWORD start);

    // The cycle under way (its timer event), or 0.
    UINT Pending() const { return m_nPendingEvent; }
    // The last cycle did not see the spooler running again.
    BOOL Abandoned() const { return m_bAbandoned; }

private:
    UINT m_nPendingEvent = 0;
    BOOL m_bAbandoned = FALSE;
    BOOL m_bStopIssued = FALSE;
};
