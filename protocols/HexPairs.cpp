#include "protocols/HexPairs.h"

#include "protocols/HexNumber.h"

namespace protocols {

std::optional<std::size_t> ReadHexPairs(std::string_view text, std::span<std::uint8_t> out) {
    // n pairs take 3n - 1 characters.
    if (text.size() % 3 != 2) return std::nullopt;
    const std::size_t count = (text.size() + 1) / 3;
    if (count > out.size()) return std::nullopt;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 3 * i;
        if (i > 0 && text[at - 1] != ' ') return std::nullopt;
        const int high = HexDigitValue(text[at]);
        const int low = HexDigitValue(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return count;
}

}  // namespace protocols
