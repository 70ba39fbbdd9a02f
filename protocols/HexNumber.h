#pragma once

#include <cstdint>
#include <string_view>

namespace protocols {

// Reads a hexadecimal number at the start of text the way the C library's
// strtol does with base 16 and a 32-bit long: leading white space, an
// optional sign, an optional "0x"/"0X", then hexadecimal digits of either
// case. No digit gives 0; values beyond the signed 32-bit range saturate to
// its ends. Reading stops at the end of text or at a NUL character.
[[nodiscard]] std::int32_t ReadHexNumber(std::string_view text);

// The value of one hexadecimal digit of either case, -1 for any other
// character.
[[nodiscard]] int HexDigitValue(char c);

}  // namespace protocols
