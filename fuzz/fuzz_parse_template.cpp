// Template text → out frame. Every input is parsed for each decoder index
// (-1, 0, 1, 2) into a 20-byte heap frame, so that a write past its end is
// caught by ASan, and compared byte for byte with a small reference parser
// built on the C library's strtol.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "protocols/Frames.h"
#include "protocols/GearCodes.h"
#include "protocols/HaltenRs.h"
#include "protocols/HexNumber.h"
#include "protocols/Template.h"

namespace {

using protocols::kOutFrameSize;

constexpr std::array<int, 4> kDecoders{-1, 0, 1, 2};

// Values a template fills for the decoder: bytes 0 to 18 for Kugoo M, 0 to
// 13 for every other index.
std::size_t ValueCount(int decoder) { return decoder == 2 ? 19 : 14; }

std::int32_t ReferenceHex(const std::string& text, std::size_t from) {
    // strtol stops at the first NUL, as the template reader does.
    const long value = std::strtol(text.c_str() + from, nullptr, 16);
    constexpr long kMax = std::numeric_limits<std::int32_t>::max();
    constexpr long kMin = std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(std::clamp(value, kMin, kMax));
}

// The template walk written out plainly: a value at the cursor, then the
// cursor passes spaces and the token after them, never onto the last
// character.
void ReferenceParse(const std::string& text, int decoder, std::uint8_t* frame) {
    const std::size_t length = text.size();
    if (length < 2) return;
    const std::size_t count = ValueCount(decoder);
    std::size_t cursor = 0;
    std::size_t position = 0;
    for (;;) {
        frame[position] = static_cast<std::uint8_t>(ReferenceHex(text, cursor) & 0xFF);
        ++position;
        if (text[cursor] == ' ') {
            while (cursor + 1 < length && text[cursor] == ' ') ++cursor;
        }
        while (cursor + 1 < length && text[cursor] != ' ') ++cursor;
        if (cursor + 1 >= length || position >= count) return;
    }
}

std::uint8_t FillByte(std::size_t i) { return static_cast<std::uint8_t>(0x5A + 37 * i); }

void CheckParse(const std::string& text, int decoder) {
    // Exactly 20 bytes on the heap: one byte too far is an ASan report.
    const auto storage = std::make_unique<std::uint8_t[]>(kOutFrameSize);
    std::array<std::uint8_t, kOutFrameSize> expected{};
    for (std::size_t i = 0; i < kOutFrameSize; ++i) storage[i] = expected[i] = FillByte(i);

    protocols::ParseTemplate(text, decoder, protocols::OutFrameSpan(storage.get(), kOutFrameSize));
    ReferenceParse(text, decoder, expected.data());

    std::size_t changed = 0;
    for (std::size_t i = 0; i < kOutFrameSize; ++i) {
        FUZZ_CHECK(storage[i] == expected[i]);
        if (storage[i] != FillByte(i)) ++changed;
        // Bytes past the value count, the checksum among them, are never written.
        if (i >= ValueCount(decoder)) FUZZ_CHECK(storage[i] == FillByte(i));
    }
    FUZZ_CHECK(changed <= ValueCount(decoder));
    if (text.size() < 2) FUZZ_CHECK(changed == 0);
}

// A template generated from settings reads back into the bytes it was made of.
void CheckBuildRoundTrip(std::string_view input) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a of the input
    for (const char c : input) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    const auto take = [&h](std::uint64_t range) {
        const std::uint64_t v = h % range;
        h /= range;
        return static_cast<int>(v);
    };
    protocols::TemplateSettings s{};
    s.gear = take(8);
    s.zeroStart = take(2);
    s.cruise = take(2);
    s.softStart = take(2);
    s.maxV = take(101);
    s.maxP = take(101);
    s.throttle = take(1101);
    s.ebs = take(2001) - 1000;  // an edit box: any integer, only its low byte is sent

    for (const int decoder : kDecoders) {
        s.decoder = decoder;
        const auto text = protocols::BuildTemplate(s);
        if (decoder != 1 && decoder != 2) {
            FUZZ_CHECK(!text.has_value());
            continue;
        }
        FUZZ_CHECK(text.has_value());
        FUZZ_CHECK(text->size() == (decoder == 1 ? 41u : 56u));

        std::array<std::uint8_t, kOutFrameSize> frame;
        frame.fill(0xEE);
        protocols::ParseTemplate(*text, decoder, frame);

        const auto low = [](int v) { return static_cast<std::uint8_t>(v & 0xFF); };
        const std::uint8_t gear = protocols::kGearCodes[static_cast<std::size_t>(s.gear)];
        if (decoder == 1) {
            const std::uint8_t flags =
                static_cast<std::uint8_t>((s.zeroStart ? 0x02 : 0) | (s.cruise ? 0x04 : 0) | (s.softStart ? 0x08 : 0));
            const std::array<std::uint8_t, 14> want{
                0x01, 0x03,       0x00, 0x00, 0x00, protocols::HaltenMaskedGear(0, gear), flags, low(s.maxV), 0x00,
                0x80, low(s.ebs), 0x00, 0x00, 0x00};
            FUZZ_CHECK(std::equal(want.begin(), want.end(), frame.begin()));
            FUZZ_CHECK(std::all_of(frame.begin() + 14, frame.end(), [](std::uint8_t b) { return b == 0xEE; }));
        } else {
            const std::array<std::uint8_t, 19> want{0x01,
                                                    0x14,
                                                    0x01,
                                                    0x01,
                                                    gear,
                                                    static_cast<std::uint8_t>(s.zeroStart ? 0x40 : 0x00),
                                                    0x1E,
                                                    0x00,
                                                    0x6B,
                                                    low(s.ebs),
                                                    low(s.softStart),
                                                    0x00,
                                                    low(s.maxV),
                                                    low(s.maxP),
                                                    0x02,
                                                    0x1C,
                                                    low(s.throttle >> 8),
                                                    low(s.throttle),
                                                    static_cast<std::uint8_t>(s.cruise ? 0x4C : 0x0C)};
            FUZZ_CHECK(std::equal(want.begin(), want.end(), frame.begin()));
            FUZZ_CHECK(frame[19] == 0xEE);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    FUZZ_CHECK(protocols::ReadHexNumber(text) == ReferenceHex(text, 0));
    for (const int decoder : kDecoders) CheckParse(text, decoder);
    CheckBuildRoundTrip(text);
    return 0;
}
