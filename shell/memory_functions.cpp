// memset, memcpy and memmove for the launcher image, which has no C runtime to supply them: the
// compiler calls them for larger clearings and copies, and WideString moves its units with
// memmove. The launcher's blocks are small, so plain byte loops serve. This file is built without
// the optimisation that would turn the loops back into calls to these very functions.
#include <cstddef>

extern "C" {

void* memset(void* target, int value, size_t count) {
  unsigned char* out = static_cast<unsigned char*>(target);
  while (count--) *out++ = static_cast<unsigned char>(value);
  return target;
}

void* memcpy(void* target, const void* source, size_t count) {
  unsigned char* out = static_cast<unsigned char*>(target);
  const unsigned char* in = static_cast<const unsigned char*>(source);
  while (count--) *out++ = *in++;
  return target;
}

void* memmove(void* target, const void* source, size_t count) {
  unsigned char* out = static_cast<unsigned char*>(target);
  const unsigned char* in = static_cast<const unsigned char*>(source);
  if (out <= in) {
    while (count--) *out++ = *in++;
  } else {
    while (count--) out[count] = in[count];
  }
  return target;
}

}  // extern "C"
