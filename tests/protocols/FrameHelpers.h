#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "protocols/Codec.h"
#include "protocols/Frames.h"
#include "protocols/Patches.h"
#include "protocols/RxLines.h"
#include "protocols/Template.h"

namespace protocols::test {

using OutFrame = std::array<std::uint8_t, kOutFrameSize>;
using RxFrame = std::array<std::uint8_t, kRxFrameSize>;

inline OutFrame FilledOutFrame(std::uint8_t value) {
    OutFrame frame;
    frame.fill(value);
    return frame;
}

// An out frame whose first bytes are given and whose other bytes hold fill.
inline OutFrame OutFrameOf(const std::vector<std::uint8_t>& head, std::uint8_t fill = 0x00) {
    OutFrame frame = FilledOutFrame(fill);
    for (std::size_t i = 0; i < head.size() && i < frame.size(); ++i) frame[i] = head[i];
    return frame;
}

template <std::size_t N>
std::array<std::uint8_t, N> RandomBytes(std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::array<std::uint8_t, N> bytes{};
    for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(random));
    return bytes;
}

// The setting controls as the dialog starts.
inline TemplateSettings StartValues(int decoder) { return {decoder, 3, 0, 0, 1, 1, 90, 1, 0}; }

// A template text parsed into a frame whose other bytes hold 0xEE.
inline OutFrame Parsed(const std::string& text, int decoder) {
    OutFrame frame = FilledOutFrame(0xEE);
    ParseTemplate(text, decoder, frame);
    return frame;
}

// A decoded frame with recognisable values: Halten RS V/T in bytes 7-8
// (0x0C0D) and P in byte 10 (0x2A); Kugoo M P in byte 7 (0x0C) and V/T in
// bytes 8-9 (0x0D0E).
constexpr std::array<std::uint8_t, 15> kLinesRx{0x36, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0C,
                                                0x0D, 0x0E, 0x2A, 0x0B, 0x0C, 0x0D, 0x0E};
constexpr std::array<std::uint8_t, 15> kLinesRaw{0x36, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
                                                 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E};
constexpr const char* kShownRaw = "AA BB ";

inline void ExpectRxLines(const std::optional<RxLines>& lines, const std::optional<RxLines>& expected) {
    ASSERT_EQ(lines.has_value(), expected.has_value());
    if (!lines) return;
    EXPECT_EQ(lines->raw, expected->raw);
    EXPECT_EQ(lines->decoded, expected->decoded);
    EXPECT_EQ(lines->hasValues, expected->hasValues);
    if (lines->hasValues) {
        EXPECT_EQ(lines->vt, expected->vt);
        EXPECT_EQ(lines->p, expected->p);
    }
}

// One expected change of the out frame.
struct Edit {
    enum Kind { Store, SetBit, ClearBit };
    std::size_t byte;
    Kind kind;
    std::uint8_t operand;
};

// Runs `patch` over frames of all zeros, all ones and random bytes, so that a
// bit patch is seen both setting and clearing and leaving its neighbours.
template <class Patch>
void ExpectEdits(const Patch& patch, const std::vector<Edit>& edits) {
    std::mt19937 random(31);
    std::vector<OutFrame> bases{FilledOutFrame(0x00), FilledOutFrame(0xFF)};
    for (int i = 0; i < 8; ++i) bases.push_back(RandomBytes<kOutFrameSize>(random));
    for (const OutFrame& base : bases) {
        OutFrame frame = base, expected = base;
        patch(frame);
        for (const Edit& e : edits) {
            std::uint8_t& b = expected[e.byte];
            b = static_cast<std::uint8_t>(e.kind == Edit::Store    ? e.operand
                                          : e.kind == Edit::SetBit ? b | e.operand
                                                                   : b & ~e.operand);
        }
        EXPECT_EQ(frame, expected);
    }
}

// A row of a patch table: one setting control's value and the frame changes
// it makes.
struct PatchRow {
    const char* name;
    Setting setting;
    int value;  // flags: non-zero is ticked
    std::vector<Edit> edits;
    int protocol = kNoProtocol;  // rows patching by index: the index that decides the layout
};

// The setting control's patch by the row's protocol index.
inline void PatchByIndex(const PatchRow& c, OutFrame& frame) {
    const bool on = c.value != 0;
    switch (c.setting) {
        case Setting::MaxP:
            return PatchMaxP(c.protocol, frame, c.value);
        case Setting::Throttle:
            return PatchThrottle(c.protocol, frame, c.value);
        case Setting::MaxV:
            return PatchMaxV(c.protocol, frame, c.value);
        case Setting::ZeroStart:
            return PatchZeroStart(c.protocol, frame, on);
        case Setting::Cruise:
            return PatchCruise(c.protocol, frame, on);
        case Setting::SoftStart:
            return PatchSoftStart(c.protocol, frame, on);
        case Setting::Ebs:
            return PatchEbs(c.protocol, frame, c.value);
    }
}

inline void PrintTo(const PatchRow& row, std::ostream* os) { *os << row.name; }
inline std::string PatchRowName(const ::testing::TestParamInfo<PatchRow>& info) { return info.param.name; }

class CodecPatchTable : public ::testing::TestWithParam<PatchRow> {
protected:
    void ExpectPatch(const Codec& codec) const {
        PatchRow row = GetParam();
        row.protocol = codec.Info().index;
        ExpectEdits([&](OutFrame& frame) { codec.Patch(row.setting, frame, row.value); }, row.edits);
        ExpectEdits([&](OutFrame& frame) { PatchByIndex(row, frame); }, row.edits);
    }
};

}  // namespace protocols::test
