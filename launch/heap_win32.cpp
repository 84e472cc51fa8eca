#include "launch/heap.h"

#include <windows.h>

void* ResizeBlock(void* block, size_t bytes) {
  HANDLE heap = GetProcessHeap();
  return block ? HeapReAlloc(heap, 0, block, bytes) : HeapAlloc(heap, 0, bytes);
}

void ReleaseBlock(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}
