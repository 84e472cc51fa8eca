// Marks of the steps of a run, for the timeline the bench prints (bench/run): when the launcher
// was entered, made its window, started its worker, found its trailer, wrote its files and
// started the installer. The shipped launcher carries none of them: MarkStep is empty unless the
// bench's timeline build (Vossimere-timeline) defines VOSSIMERE_STEP_MARKS and links the
// recorder (bench/step_marks_win32.cpp).
#pragma once

#ifdef VOSSIMERE_STEP_MARKS
void MarkStep(const char* step);
#else
inline void MarkStep(const char*) {}
#endif
