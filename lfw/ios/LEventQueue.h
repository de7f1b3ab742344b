// Waits on the main thread that keep the event loop turning.
//
// A job run on the main thread (under a progress dialog) waits through these: the loop goes on
// dispatching window events, queued notifications and timers while the main thread waits for a
// signal, a stop condition or a time-out. A readable descriptor wakes the loop at once.
//
// Results: 0 the signal (or one of the group's signals) is set, 1 the stop condition returned
// true, 2 the time-out passed. Without useTimeout there is no time limit.
#pragma once

#include "lfw/gen/LSignalObject.h"

#include <functional>

// Called on the main thread between slices of the loop; true ends the wait.
using LEventQueueStopCondition = std::function<bool()>;

int LEventQueueRunUntilStopConditionOrTimeout(
    const LEventQueueStopCondition& stop, bool useTimeout, unsigned int timeoutMs);
int LEventQueueRunUntilSignalOrStopConditionOrTimeout(LSignalObjectRef signal,
    const LEventQueueStopCondition& stop, bool useTimeout, unsigned int timeoutMs);
// An empty group waits for the stop condition or the time-out only.
int LEventQueueRunUntilGroupSignalledOrStopConditionOrTimeout(LSignalObjectGroup& group,
    const LEventQueueStopCondition& stop, bool useTimeout, unsigned int timeoutMs);

// Dispatches every pending event without waiting. While a modal session is active (see the hook
// below) it runs that session once instead.
void LMacDispatchEvents();

// The window layer installs a hook that runs an active modal session once and returns true, or
// returns false when none is active.
using LEventQueueModalSessionHook = bool (*)();
void LEventQueueSetModalSessionHook(LEventQueueModalSessionHook hook);

// True while LMacDispatchEvents is dispatching (the application is then not in its own loop).
bool LEventQueueIsDispatching();
