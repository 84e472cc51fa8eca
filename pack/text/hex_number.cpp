#include "pack/text/hex_number.h"

#include <cstdio>

std::string HexNumber(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}
