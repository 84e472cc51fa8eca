// Memory blocks for the launcher's strings. On Windows they come from the process heap, because
// the launcher image carries no C runtime; elsewhere (the host build and its tests) from the C
// library, where the sanitizers watch them.
#pragma once

#include <cstddef>

// Gives `block` (null for a new one) room for `bytes` bytes, keeping its contents. Null when the
// memory is not there; `block` is then unchanged and still owned by the caller.
void* ResizeBlock(void* block, size_t bytes);

// Returns a block from ResizeBlock; null is ignored.
void ReleaseBlock(void* block);
