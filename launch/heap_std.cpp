#include "launch/heap.h"

#include <cstdlib>

void* ResizeBlock(void* block, size_t bytes) { return std::realloc(block, bytes); }

void ReleaseBlock(void* block) { std::free(block); }
