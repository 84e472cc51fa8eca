// How long a step that another program's hold on a file gets in the way of is tried again: the
// run's retry budget, shared by every step of the run. The platform's clock and the held steps
// themselves are in held_step_win32.cpp.
#pragma once

#include <cstdint>

#include "launch/step_outcome.h"

// One run waits at most kHoldWaitLimitMs in all for other programs to let go of its files, trying
// a held step again after pauses of kHoldPauseMs: a scanner's hold on a new file lasts well under a
// second, and a run meets few of them. The wait is time on the clock, the attempts' own time
// included (a creation on a slow network share, a start through the shell), so a step held for
// good ends at most kHoldWaitLimitMs and one attempt after it began. A file held for longer fails
// as it would without the wait, and the user learns so within seconds.
constexpr uint32_t kHoldWaitLimitMs = 5000;
constexpr uint32_t kHoldPauseMs = 50;

// The clock the wait is measured on and the pause between attempts: the system's millisecond tick
// count, which wraps to 0 every 49.7 days (differences are taken modulo 2^32, so the wrap is
// harmless), and its sleep in the launcher; simulated ones in the tests.
struct HoldClock {
  uint32_t (*now)();
  void (*pause)(uint32_t ms);
};

// The run's wait: its clock, and how much of it the run's earlier steps have spent.
struct HoldWait {
  const HoldClock* clock;
  uint32_t spentMs = 0;
};

// One attempt at a step; `context` is the caller's.
using StepAttempt = StepOutcome (*)(void* context);

// Makes `attempt` until it is done or has failed for good. While another program holds the file it
// pauses and tries again, as long as the time since the step's first attempt began stays within
// what is left of the run's wait. A step that met a holder spends that time of the run's wait.
// Returns the last attempt's outcome.
StepOutcome RetryWhileHeld(HoldWait& wait, StepAttempt attempt, void* context);
