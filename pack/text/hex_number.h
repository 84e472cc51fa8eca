// A 32-bit value as the reports and messages write checksums and addresses: "0x" and eight
// upper-case hex digits.
#pragma once

#include <cstdint>
#include <string>

std::string HexNumber(uint32_t value);
