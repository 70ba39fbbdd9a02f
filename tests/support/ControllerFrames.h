#pragma once

#include <cstdint>
#include <vector>

#include "protocols/HaltenRs.h"

namespace testing_support {

// A Halten RS controller frame as it goes on the line: `plain` holds the
// values the display should decode; the nine scrambled bytes get `key`
// added, and byte 13 carries the key.
inline std::vector<std::uint8_t> HaltenLineFrame(std::vector<std::uint8_t> plain, std::uint8_t key) {
    plain.resize(15);
    plain[0] = 0x36;
    for (std::size_t i : protocols::kHaltenScrambledBytes) plain[i] = static_cast<std::uint8_t>(plain[i] + key);
    plain[13] = key;
    return plain;
}

// A Halten RS line frame whose key and speed byte both follow `key`, so
// that frames of different keys differ in several bytes.
inline std::vector<std::uint8_t> HaltenKeyedFrame(std::uint8_t key) {
    std::vector<std::uint8_t> plain(15, 0);
    plain[1] = 0x05;
    plain[7] = key;
    return HaltenLineFrame(plain, key);
}

// A Kugoo M controller frame: 02 0E, P in byte 7, V/T in bytes 8-9.
inline std::vector<std::uint8_t> KugooLineFrame(std::uint8_t p, std::uint16_t vt, std::uint8_t fill = 0x11) {
    std::vector<std::uint8_t> f(14, fill);
    f[0] = 0x02;
    f[1] = 0x0E;
    f[7] = p;
    f[8] = static_cast<std::uint8_t>(vt >> 8);
    f[9] = static_cast<std::uint8_t>(vt & 0xFF);
    return f;
}

inline std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace testing_support
