// Whether an error box shown by the launcher can reach anybody: the window station's and the
// session's rule, decided without the platform.
#pragma once

#include <cstdint>

// WSF_VISIBLE, the flag of a window station that has a display and input (the interactive
// station, WinSta0). Services and deployment agents in session 0 run in stations without it.
constexpr uint32_t kVisibleStationFlag = 0x0001;

// Whether the process runs in session 0 on a system that keeps users out of it. From Windows Vista
// on, session 0 holds services alone and no user ever sees its desktop, even on a station named
// WinSta0 that carries the visible flag (and since Windows 10 1803 not even through the
// interactive-services prompt). On Windows XP and Server 2003 the console user's desktop is in
// session 0, and boxes there are seen. `sessionKnown` false: the session could not be asked.
bool InIsolatedSessionZero(bool sessionKnown, uint32_t sessionId, uint32_t windowsMajorVersion);

// Whether an error box can reach anybody: only in a visible window station outside an isolated
// session 0. A box anywhere else would wait for an OK that never comes. When the station's flags
// cannot be read the box is shown, as it always was, unless the session rules it out.
bool ErrorBoxCanBeSeen(bool stationFlagsKnown, uint32_t stationFlags, bool isolatedSessionZero);
