// The print spooler service: the stop request and the state polled once a timer tick.
#pragma once

#include <windows.h>

// Opens the service "spooler", asks it to stop (a refused stop is not an error: the next poll then
// finds it running) and reads its state for the run's observer. FALSE only when the service cannot be opened:
// once the stop is sent, a cycle must follow even when the state cannot be read.
BOOL RequestSpoolerStop();

enum SpoolerTick {
    SPOOLER_UNKNOWN,          // the state could not be read: look again at the next tick
    SPOOLER_START_REQUESTED,  // it was stopped and has been asked to start
    SPOOLER_START_REFUSED,    // it was stopped and refused to start: the cycle is abandoned
    SPOOLER_RUNNING,          // it runs
    SPOOLER_PENDING,          // any other state: look again at the next tick
};

// One poll of the spooler service: reads its state and, when it is stopped, asks it to start. The state
// read goes to the run's observer.
SpoolerTick PollSpooler();
