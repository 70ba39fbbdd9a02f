#include "protocols/Checksum.h"

namespace protocols {

std::uint8_t XorOf(std::span<const std::uint8_t> bytes) {
    std::uint8_t sum = 0;
    for (const std::uint8_t byte : bytes) {
        sum ^= byte;
    }
    return sum;
}

}  // namespace protocols
