#include "launch/kernel_function_win32.h"

#include <windows.h>

void* KernelFunction(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name));
}
