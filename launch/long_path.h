// The size of the launcher's path buffers: long paths are asked for with a size of 32,767 units,
// plus the terminator, never MAX_PATH.
#pragma once

constexpr unsigned kLongPathBuffer = 32768;
