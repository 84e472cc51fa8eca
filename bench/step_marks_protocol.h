// Where marked programs (the launcher's timeline build and the bare starter) record their steps
// and the driver reads them: a named shared memory the driver makes before it starts a program.
#pragma once

#include <cstdint>

// The name of the shared memory; without it a program records nothing.
constexpr wchar_t kStepMarksVariable[] = L"VOSSIMERE_BENCH_MARKS";

constexpr int kMaxStepMarks = 16;
constexpr int kStepNameSize = 16;

struct StepMark {
  char name[kStepNameSize];  // zero-terminated, cut to fit
  int64_t counter;           // QueryPerformanceCounter when the step was reached
};

struct StepMarks {
  volatile long count;  // marks taken so far; a mark past kMaxStepMarks is dropped
  StepMark marks[kMaxStepMarks];
};
