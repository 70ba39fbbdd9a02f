#include "tools/kmsim/WrongRate.h"

#include "tools/kmsim/LinePacing.h"

namespace kmsim {

namespace {

// Time runs in units of 1 / (2 · sendRate · readRate) s, so that a sent bit
// lasts 2·readRate units, a received bit 2·sendRate and its middle falls
// on a whole unit.
class Line {
public:
    Line(std::span<const std::uint8_t> bytes, std::int64_t sendRate, std::int64_t readRate)
        : bytes_(bytes), cell_(2 * readRate), bit_(2 * sendRate) {}

    std::int64_t ReceivedBit() const { return bit_; }

    // The level of sent bit `k` (start, data LSB first, stop per byte);
    // idle high before the first and after the last.
    bool Cell(std::int64_t k) const {
        if (k < 0 || k >= Cells()) return true;
        const std::int64_t position = k % kBitsPerByte;
        if (position == 0) return false;
        if (position == kBitsPerByte - 1) return true;
        return ((bytes_[static_cast<std::size_t>(k / kBitsPerByte)] >> (position - 1)) & 1) != 0;
    }

    bool LevelAt(std::int64_t t) const { return Cell(t / cell_); }

    // The first fall from high to low at or after `t`, or -1 when the line
    // stays high from there on.
    std::int64_t NextFall(std::int64_t t) const {
        for (std::int64_t k = (t + cell_ - 1) / cell_; k < Cells(); ++k) {
            if (Cell(k - 1) && !Cell(k)) return k * cell_;
        }
        return -1;
    }

private:
    std::int64_t Cells() const { return static_cast<std::int64_t>(bytes_.size()) * kBitsPerByte; }

    std::span<const std::uint8_t> bytes_;
    std::int64_t cell_;
    std::int64_t bit_;
};

}  // namespace

std::vector<std::uint8_t> ReadAtRate(std::span<const std::uint8_t> bytes, std::int64_t sendRate,
                                     std::int64_t readRate) {
    std::vector<std::uint8_t> out;
    if (sendRate <= 0 || readRate <= 0) return out;
    const Line line(bytes, sendRate, readRate);
    const std::int64_t bit = line.ReceivedBit();
    // The middle of received bit `i` of a character that starts at `start`.
    auto middle = [bit](std::int64_t start, int i) { return start + i * bit + bit / 2; };

    for (std::int64_t start = line.NextFall(0); start >= 0;) {
        if (line.LevelAt(middle(start, 0))) {  // a glitch, not a start bit
            start = line.NextFall(middle(start, 0));
            continue;
        }
        std::uint8_t value = 0;
        for (int i = 0; i < 8; ++i) {
            if (line.LevelAt(middle(start, 1 + i))) value = static_cast<std::uint8_t>(value | (1u << i));
        }
        const std::int64_t stop = middle(start, kBitsPerByte - 1);
        if (line.LevelAt(stop)) out.push_back(value);
        start = line.NextFall(stop);
    }
    return out;
}

}  // namespace kmsim
