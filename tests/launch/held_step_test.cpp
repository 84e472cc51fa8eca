// How long a step held up by another program's hold on a file is tried again, on a simulated
// clock.
#include "launch/held_step.h"

#include <gtest/gtest.h>

// A simulated clock: the tick count of the system, moved on by the pauses and by the attempts'
// own time.
static uint32_t simulatedNow = 0;
static int pausesMade = 0;

static const HoldClock kSimulatedClock = {
    [] { return simulatedNow; },
    [](uint32_t ms) {
      simulatedNow += ms;
      ++pausesMade;
    },
};

// A step whose attempts each take `costMs` and are held `heldAttempts` times (-1: for ever),
// then done.
struct SimulatedStep {
  uint32_t costMs = 0;
  int heldAttempts = -1;
  int attempts = 0;

  StepOutcome Run(HoldWait& wait) {
    return RetryWhileHeld(
        wait,
        [](void* context) {
          SimulatedStep& step = *static_cast<SimulatedStep*>(context);
          simulatedNow += step.costMs;
          bool held = step.heldAttempts < 0 || step.attempts < step.heldAttempts;
          ++step.attempts;
          return held ? StepOutcome::kHeld : StepOutcome::kDone;
        },
        this);
  }
};

class HoldWaitClock : public testing::Test {
 protected:
  void SetUp() override { pausesMade = 0; }

  // Runs the step; returns its outcome, and how long it took in `tookMs`.
  StepOutcome Take(SimulatedStep& step, uint32_t& tookMs) {
    uint32_t begun = simulatedNow;
    StepOutcome outcome = step.Run(wait_);
    tookMs = simulatedNow - begun;
    return outcome;
  }

  HoldWait wait_{&kSimulatedClock};
};

TEST_F(HoldWaitClock, QuickAttemptsHeldForGoodAreTriedForFiveSecondsThenNeverAgainInTheRun) {
  simulatedNow = 1000;
  SimulatedStep held;
  uint32_t took = 0;
  EXPECT_EQ(Take(held, took), StepOutcome::kHeld);
  EXPECT_EQ(held.attempts, 101);  // the first, then one after each of 100 pauses of 50 ms
  EXPECT_EQ(took, 5000u);
  EXPECT_EQ(wait_.spentMs, 5000u);
  // Spent: a later step of the same run tries once and does not wait.
  SimulatedStep later;
  EXPECT_EQ(Take(later, took), StepOutcome::kHeld);
  EXPECT_EQ(later.attempts, 1);
  EXPECT_EQ(pausesMade, 100);
}

// An attempt that itself takes seconds (a creation on a slow network share, a start through the
// shell) counts: the step ends within the wait and one attempt, not after 100 such attempts.
TEST_F(HoldWaitClock, SlowAttemptsCountAgainstTheWait) {
  simulatedNow = 0;
  SimulatedStep slow;
  slow.costMs = 2000;
  uint32_t took = 0;
  EXPECT_EQ(Take(slow, took), StepOutcome::kHeld);
  EXPECT_EQ(slow.attempts, 3);  // begun at 0, 2,050 and 4,100 ms
  EXPECT_EQ(took, 6100u);
  EXPECT_LE(took, kHoldWaitLimitMs + slow.costMs);
  EXPECT_EQ(wait_.spentMs, kHoldWaitLimitMs);
}

TEST_F(HoldWaitClock, TheWaitIsRightAcrossTheTickCountsWrap) {
  simulatedNow = 0xFFFFFFFFu - 1234;
  SimulatedStep held;
  held.costMs = 7;
  uint32_t took = 0;
  EXPECT_EQ(Take(held, took), StepOutcome::kHeld);
  EXPECT_LT(simulatedNow, 5000u);  // the count wrapped during the step
  EXPECT_EQ(held.attempts, 88);    // 57 ms an attempt and pause: the 88th begins at 4,959 ms
  EXPECT_EQ(took, 4966u);
  EXPECT_EQ(wait_.spentMs, 4966u);
}

TEST_F(HoldWaitClock, StepsShareTheRunsWaitAndAStepDoneAtOnceSpendsNone) {
  simulatedNow = 500;
  uint32_t took = 0;
  SimulatedStep slowButFree;
  slowButFree.costMs = 3000;
  slowButFree.heldAttempts = 0;
  EXPECT_EQ(Take(slowButFree, took), StepOutcome::kDone);
  EXPECT_EQ(wait_.spentMs, 0u);

  SimulatedStep briefHold;
  briefHold.costMs = 100;
  briefHold.heldAttempts = 4;  // 4 held attempts, then done: 5 attempts and 4 pauses
  EXPECT_EQ(Take(briefHold, took), StepOutcome::kDone);
  EXPECT_EQ(briefHold.attempts, 5);
  EXPECT_EQ(wait_.spentMs, 700u);

  SimulatedStep heldForGood;
  heldForGood.costMs = 100;
  EXPECT_EQ(Take(heldForGood, took), StepOutcome::kHeld);
  EXPECT_LE(took, kHoldWaitLimitMs - 700 + heldForGood.costMs);
  EXPECT_EQ(wait_.spentMs, kHoldWaitLimitMs);
}
