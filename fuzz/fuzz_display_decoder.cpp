// Byte stream from the tool → the simulator's display-frame decoder. The
// stream is decoded twice, whole and in pieces whose sizes the input picks;
// both must give the same frames and counts, and those must agree with a
// plain model of the hunt and with the bytes fed.
//
// Input: byte 0 picks the protocol (low 2 bits: 0 test, 1 Halten RS, 2
// Kugoo M, 3 no selection) and seeds the piece sizes; the rest, up to 1024
// bytes, is the line.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "protocols/Catalogue.h"
#include "protocols/GearCodes.h"
#include "protocols/HaltenRs.h"
#include "tools/kmsim/DisplayDecoder.h"

namespace {

using kmsim::CounterStep;
using kmsim::DisplayFrame;
using kmsim::DisplayStats;

constexpr std::size_t kMaxLine = 1024;

bool SameStats(const DisplayStats& a, const DisplayStats& b) {
    return a.frames == b.frames && a.checksumErrors == b.checksumErrors && a.counterGaps == b.counterGaps &&
           a.missedFrames == b.missedFrames && a.repeats == b.repeats && a.skippedBytes == b.skippedBytes;
}

bool SameFrame(const DisplayFrame& a, const DisplayFrame& b) {
    return a.bytes == b.bytes && a.checksumOk == b.checksumOk && a.step == b.step && a.missed == b.missed;
}

std::uint8_t XorAll(const std::vector<std::uint8_t>& bytes) {
    std::uint8_t x = 0;
    for (const std::uint8_t b : bytes) x ^= b;
    return x;
}

// The model: 0x01 and the protocol's second byte start a frame of the
// protocol's length; a frame whose bytes do not XOR to zero costs its first
// byte only. Returns the frames and counts, and the bytes left waiting.
struct Model {
    std::vector<DisplayFrame> frames;
    DisplayStats stats;
    std::size_t waiting = 0;
};

Model ModelDecode(int protocol, const std::vector<std::uint8_t>& line) {
    Model m;
    const std::size_t length = protocol == 1 ? 15 : protocol == 2 ? 20 : 0;
    const std::uint8_t second = protocol == 1 ? 0x03 : 0x14;
    if (length == 0) {
        m.stats.skippedBytes = line.size();
        return m;
    }
    int lastCounter = -1;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] != 0x01) {
            ++m.stats.skippedBytes;
            ++i;
            continue;
        }
        const std::size_t left = line.size() - i;
        if (left >= 2 && line[i + 1] != second) {
            ++m.stats.skippedBytes;
            ++i;
            continue;
        }
        if (left < length) {
            m.waiting = left;
            break;
        }
        DisplayFrame f;
        f.bytes.assign(line.begin() + static_cast<std::ptrdiff_t>(i),
                       line.begin() + static_cast<std::ptrdiff_t>(i + length));
        f.checksumOk = XorAll(f.bytes) == 0;
        if (!f.checksumOk) {
            ++m.stats.checksumErrors;
            ++m.stats.skippedBytes;
            ++i;
            m.frames.push_back(f);
            continue;
        }
        ++m.stats.frames;
        i += length;
        if (protocol == 1) {
            const int counter = f.bytes[2];
            if (lastCounter < 0) {
                f.step = CounterStep::First;
            } else if (counter == (lastCounter + 1) % 256) {
                f.step = CounterStep::Next;
            } else if (counter == lastCounter) {
                f.step = CounterStep::Repeat;
                ++m.stats.repeats;
            } else {
                f.step = CounterStep::Gap;
                f.missed = (counter - lastCounter - 1 + 256) % 256;
                ++m.stats.counterGaps;
                m.stats.missedFrames += static_cast<std::uint64_t>(f.missed);
            }
            lastCounter = counter;
        }
        m.frames.push_back(f);
    }
    return m;
}

void CheckSettings(int protocol, const DisplayFrame& f) {
    const auto& s = f.settings;
    FUZZ_CHECK(s.gearPosition >= -1 && s.gearPosition < 8);
    if (s.gearPosition >= 0) {
        FUZZ_CHECK(protocols::kGearCodes[static_cast<std::size_t>(s.gearPosition)] == s.gearCode);
    } else {
        FUZZ_CHECK(std::find(protocols::kGearCodes.begin(), protocols::kGearCodes.end(), s.gearCode) ==
                   protocols::kGearCodes.end());
    }
    if (protocol == 1) {
        // Unmasking the gear undoes what sealing did for this counter.
        FUZZ_CHECK(s.counter.has_value() && *s.counter == f.bytes[2]);
        FUZZ_CHECK(protocols::HaltenMaskedGear(f.bytes[2], s.gearCode) == f.bytes[5]);
        FUZZ_CHECK(s.maxSpeed == f.bytes[7] && s.ebs == f.bytes[10]);
        FUZZ_CHECK(!s.maxPower && !s.throttle);
    } else {
        FUZZ_CHECK(!s.counter);
        FUZZ_CHECK(s.gearCode == f.bytes[4]);
        FUZZ_CHECK(s.throttle.has_value() && *s.throttle == f.bytes[16] * 256 + f.bytes[17]);
        FUZZ_CHECK(s.maxPower.has_value() && *s.maxPower == f.bytes[13]);
        FUZZ_CHECK(s.maxSpeed == f.bytes[12] && s.ebs == f.bytes[9]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int protocol = (data[0] & 0x03) == 3 ? -1 : (data[0] & 0x03);
    // Frames are at most 20 bytes long: a longer line adds time, not cases.
    const std::vector<std::uint8_t> line(data + 1, data + std::min<std::size_t>(size, kMaxLine + 1));
    const auto index = static_cast<protocols::ProtocolIndex>(protocol);

    kmsim::DisplayDecoder whole(index);
    const std::vector<DisplayFrame> wholeFrames = whole.Feed(line);

    // Piece sizes from a small generator seeded by the control byte.
    kmsim::DisplayDecoder pieces(index);
    std::vector<DisplayFrame> pieceFrames;
    std::uint32_t state = 0x9E3779B9u ^ data[0];
    for (std::size_t at = 0; at < line.size();) {
        state = state * 1664525u + 1013904223u;
        const std::size_t piece = std::min<std::size_t>(line.size() - at, (state >> 24) % 24);
        auto got = pieces.Feed(std::span<const std::uint8_t>(line.data() + at, piece));
        pieceFrames.insert(pieceFrames.end(), got.begin(), got.end());
        at += piece;
    }

    const Model model = ModelDecode(protocol, line);
    const DisplayStats& stats = whole.stats();
    FUZZ_CHECK(SameStats(stats, pieces.stats()));
    FUZZ_CHECK(SameStats(stats, model.stats));
    FUZZ_CHECK(wholeFrames.size() == model.frames.size() && pieceFrames.size() == model.frames.size());

    const std::size_t length = whole.frameLength();
    FUZZ_CHECK(length == (protocol == 1 ? 15u : protocol == 2 ? 20u : 0u));
    std::uint64_t good = 0;
    std::uint64_t bad = 0;
    const DisplayFrame* lastGood = nullptr;
    for (std::size_t k = 0; k < wholeFrames.size(); ++k) {
        const DisplayFrame& f = wholeFrames[k];
        FUZZ_CHECK(SameFrame(f, model.frames[k]) && SameFrame(f, pieceFrames[k]));
        FUZZ_CHECK(f.bytes.size() == length && f.bytes[0] == 0x01);
        FUZZ_CHECK(f.bytes[1] == (protocol == 1 ? 0x03 : 0x14));
        if (f.checksumOk) {
            ++good;
            lastGood = &f;
            CheckSettings(protocol, f);
        } else {
            ++bad;
            FUZZ_CHECK(f.step == CounterStep::None);
        }
    }
    FUZZ_CHECK(stats.frames == good && stats.checksumErrors == bad);
    FUZZ_CHECK(stats.repeats + stats.counterGaps <= stats.frames);

    // Every byte fed is in a good frame, passed over, or still waiting for
    // the rest of a frame it may start.
    FUZZ_CHECK(stats.frames * length + stats.skippedBytes + model.waiting == line.size());
    FUZZ_CHECK(length == 0 ? model.waiting == 0 : model.waiting < length);

    FUZZ_CHECK(whole.lastSettings().has_value() == (lastGood != nullptr));
    if (lastGood) {
        FUZZ_CHECK(whole.lastSettings()->gearCode == lastGood->settings.gearCode);
        FUZZ_CHECK(whole.lastSettings()->counter == lastGood->settings.counter);
    }
    return 0;
}
