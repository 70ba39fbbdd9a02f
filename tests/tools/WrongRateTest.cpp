#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tools/kmsim/WrongRate.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Bit patterns worked by hand: a sent bit is a cell (start 0, data least
// significant bit first, stop 1); the receiver samples the middles of its
// own bits from the fall that starts a character.
struct WrongRateRow {
    const char* what;
    Bytes sent;
    std::int64_t sendRate;
    std::int64_t readRate;
    Bytes read;
};

const WrongRateRow kRows[] = {
    {"equal rates pass every byte", {0x55, 0x00, 0xFF, 0x36, 0x80}, 9600, 9600, {0x55, 0x00, 0xFF, 0x36, 0x80}},
    {"2 % apart is still the same byte", {0x36, 0x05, 0xC9}, 9600, 9792, {0x36, 0x05, 0xC9}},
    // The start cell spans 8 read bits: data bits 0-6 read low, bit 7 and the
    // stop bit fall into data bit 0 (high).
    {"0xFF slow read fast", {0xFF}, 1200, 9600, {0x80}},
    // Start and eight low data bits span 72 read bits: the stop bit reads low.
    {"0x00 slow read fast is a framing error", {0x00}, 1200, 9600, {}},
    // A read bit spans 8 cells: the start's middle hits cell 4 (data bit 3,
    // low), every later middle the idle line.
    {"0x55 fast read slow", {0x55}, 9600, 1200, {0xFF}},
    // As above, but data bit 0's middle (cell 12) hits the second byte's
    // data bit 1 (low).
    {"two 0x55 fast read slow", {0x55, 0x55}, 9600, 1200, {0xFE}},
    // The start's middle (cell 4) is high: no character at all.
    {"0xFE fast read slow is a glitch", {0xFE}, 9600, 1200, {}},
    {"no rate reads nothing", {0x55}, 0, 9600, {}},
};

TEST(WrongRateTest, AReceiverAtItsOwnRateReadsWhatHandWorkedPatternsSay) {
    for (const WrongRateRow& row : kRows) {
        EXPECT_EQ(kmsim::ReadAtRate(row.sent, row.sendRate, row.readRate), row.read) << row.what;
    }
}

TEST(WrongRateTest, AWrongRateReadsGarbageNotSilence) {
    // A Kugoo M frame at 9600 bit/s read at 1200 and the other way round.
    const Bytes frame = {0x02, 0x0E, 0x01, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x8D};
    for (auto [send, read] : {std::pair{9600, 1200}, std::pair{1200, 9600}, std::pair{9600, 4800}}) {
        const Bytes got = kmsim::ReadAtRate(frame, send, read);
        EXPECT_FALSE(got.empty()) << send << " read at " << read;
        EXPECT_NE(got, frame) << send << " read at " << read;
    }
}

}  // namespace
