#include "launch/held_step.h"

StepOutcome RetryWhileHeld(HoldWait& wait, StepAttempt attempt, void* context) {
  const uint32_t begun = wait.clock->now();
  StepOutcome outcome = attempt(context);
  if (outcome != StepOutcome::kHeld) return outcome;  // nothing was waited for
  const uint32_t left = kHoldWaitLimitMs - wait.spentMs;
  uint32_t elapsed;
  for (;;) {
    elapsed = wait.clock->now() - begun;  // modulo 2^32: right across the tick count's wrap
    if (outcome != StepOutcome::kHeld || elapsed > left || left - elapsed < kHoldPauseMs) break;
    wait.clock->pause(kHoldPauseMs);
    outcome = attempt(context);
  }
  wait.spentMs += elapsed < left ? elapsed : left;
  return outcome;
}
