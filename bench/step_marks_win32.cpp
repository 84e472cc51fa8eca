// The recorder behind MarkStep (launch/step_marks.h) in the bench's marked programs. It needs
// nothing but kernel32, since the launcher's timeline build has no C runtime either. Marks come
// from the main thread and the worker, so each takes its slot with an interlocked increment.
#include <windows.h>

#include "bench/step_marks_protocol.h"
#include "launch/step_marks.h"

static StepMarks* Marks() {
  static StepMarks* marks = nullptr;
  static bool opened = false;
  if (opened) return marks;
  opened = true;
  wchar_t name[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(kStepMarksVariable, name, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name);
  if (!mapping) return nullptr;
  marks = static_cast<StepMarks*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(StepMarks)));
  CloseHandle(mapping);  // the view keeps it
  return marks;
}

void MarkStep(const char* step) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  StepMarks* marks = Marks();
  if (!marks) return;
  long slot = InterlockedIncrement(&marks->count) - 1;
  if (slot >= kMaxStepMarks) return;
  StepMark& mark = marks->marks[slot];
  int i = 0;
  for (; i < kStepNameSize - 1 && step[i] != 0; ++i) mark.name[i] = step[i];
  mark.name[i] = 0;
  mark.counter = now.QuadPart;
}
