// The spooler cycle's states and their outcomes.
#include "engine/SpoolerCycle.h"

#include "engine/RunObserver.h"
#include "engine/SpoolerService.h"

BOOL CSpoolerCycle::Begin(UINT eventId) {
    m_bStopIssued = FALSE;
    RunObserver().OnSpoolerCycleBegins(eventId == SPOOLER_EVENT_REMOVAL ? "after_removal" : "before_enumeration");
    if (!RequestSpoolerStop()) {
        RunObserver().OnSpoolerCycleEnds("not_stopped");
        return FALSE;
    }
    m_bStopIssued = TRUE;
    if (eventId != 0) {
        m_nPendingEvent = eventId;
        m_bAbandoned = FALSE;
    }
    return TRUE;
}

SpoolerCycleTick CSpoolerCycle::Tick(UINT eventId) {
    switch (PollSpooler()) {
    case SPOOLER_START_REQUESTED:
        m_bStopIssued = TRUE;
        return CYCLE_WAITING;
    case SPOOLER_START_REFUSED:
        m_bStopIssued = TRUE;
        m_nPendingEvent = 0;
        m_bAbandoned = TRUE;
        RunObserver().OnSpoolerCycleEnds("start_refused");
        return CYCLE_ABANDONED;
    case SPOOLER_RUNNING:
        if (m_bStopIssued)
            break;
        return CYCLE_WAITING;
    default:
        return CYCLE_WAITING;
    }
    if (m_nPendingEvent == eventId)
        m_nPendingEvent = 0;
    RunObserver().OnSpoolerCycleEnds("running");
    return CYCLE_COMPLETED;
}

SpoolerCycleTick CSpoolerCycle::RunToEnd(UINT eventId) {
    const DWORD start = GetTickCount();
    for (;;) {
        Sleep(250);
        const SpoolerCycleTick tick = Tick(eventId);
        if (tick != CYCLE_WAITING)
            return tick;
        if (GetTickCount() - start >= SPOOLER_CYCLE_WAIT_MS) {
            Abandon();
            return CYCLE_ABANDONED;
        }
    }
}

void CSpoolerCycle::Finish() {
    const DWORD start = GetTickCount();
    const char* outcome = "timeout";
    while (GetTickCount() - start < SPOOLER_CYCLE_WAIT_MS) {
        SpoolerTick tick = PollSpooler();
        if (tick == SPOOLER_RUNNING || tick == SPOOLER_START_REFUSED) {
            outcome = tick == SPOOLER_RUNNING ? "running" : "start_refused";
            break;
        }
        Sleep(250);
    }
    RunObserver().OnSpoolerCycleEnds(outcome);
    m_nPendingEvent = 0;
}

BOOL CSpoolerCycle::AbandonIfOverdue(DWORD start) {
    if (m_nPendingEvent == 0 || GetTickCount() - start < SPOOLER_CYCLE_WAIT_MS)
        return FALSE;
    Abandon();
    return TRUE;
}

void CSpoolerCycle::Abandon() {
    m_nPendingEvent = 0;
    m_bAbandoned = TRUE;
    RunObserver().OnSpoolerCycleEnds("timeout");
}
