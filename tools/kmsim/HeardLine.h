#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "protocols/Catalogue.h"
#include "protocols/Detection.h"
#include "tools/kmsim/ControllerFrames.h"
#include "tools/kmsim/LinePacing.h"
#include "tools/kmsim/WrongRate.h"

// What a listener hears of a simulated line at whatever speed it sets:
// the simulator's controllers through the wrong-rate model, random bytes,
// and a protocol sweep (protocols::Sweep) run on the line's time, as the
// detection dialog and its worker run it. For the detection tests and the
// detection benchmark.
namespace kmsim {

// A byte as a listener at some speed hears it, in ms of line time.
struct Heard {
    std::int64_t atMs;
    std::uint8_t value;
};

// What a listener at `readRate` hears of the line from `fromMs` on.
using Line = std::function<std::vector<Heard>(unsigned readRate, std::int64_t fromMs, std::int64_t toMs)>;

// Bytes reach the reader in packets of this many ms, as from a simulator
// or a USB adapter.
inline constexpr std::int64_t kPacketMs = 10;
// What setting a speed and purging the port take before listening begins.
inline constexpr std::int64_t kSwitchMs = 5;

inline std::int64_t PacketTime(double ms) { return (static_cast<std::int64_t>(ms) / kPacketMs + 1) * kPacketMs; }

// Makes the frames a controller sends, from the line's time in seconds.
using FrameMaker = std::function<std::vector<std::uint8_t>(double seconds)>;
using FrameMakers = std::function<FrameMaker()>;

// A controller sending the frames of `makers()` at `sendRate`, a pause of
// `intervalMs` after each, its first frame `phaseMs` into the line's time.
// Each frame is heard as a UART at the listener's rate reads it
// (ReadAtRate), its bytes at that rate.
inline Line FramesLine(FrameMakers makers, unsigned sendRate, int intervalMs, int phaseMs) {
    return [=](unsigned readRate, std::int64_t fromMs, std::int64_t toMs) {
        const FrameMaker next = makers();
        std::vector<Heard> heard;
        for (double start = phaseMs; start < static_cast<double>(toMs);) {
            const std::vector<std::uint8_t> frame = next(start / 1000.0);
            const double frameMs = frame.size() * kBitsPerByte * 1000.0 / sendRate;
            if (start >= static_cast<double>(fromMs)) {
                const std::vector<std::uint8_t> read = ReadAtRate(frame, sendRate, readRate);
                for (std::size_t i = 0; i < read.size(); ++i) {
                    const double at = start + std::min(frameMs, (i + 1) * kBitsPerByte * 1000.0 / readRate);
                    heard.push_back({PacketTime(at), read[i]});
                }
            }
            start += frameMs + intervalMs;
        }
        return heard;
    };
}

// The simulator's controller of `protocol` (an index with a side) at its
// decoder's speed.
inline Line ControllerLine(int protocol, int intervalMs, std::uint64_t seed, int phaseMs) {
    const FrameMakers makers = [protocol, seed]() -> FrameMaker {
        auto source = std::make_shared<ControllerFrameSource>(protocol, seed);
        return [source](double seconds) { return source->Next(seconds); };
    };
    return FramesLine(makers, protocols::Protocol(protocol).connect.speed, intervalMs, phaseMs);
}

// Random bytes sent back to back at `sendRate`, as a listener at its own
// rate reads them (ReadAtRate); the same seed gives the same line.
inline Line RandomLine(std::uint64_t seed, unsigned sendRate) {
    return [seed, sendRate](unsigned readRate, std::int64_t fromMs, std::int64_t toMs) {
        std::uint64_t state = seed * 6364136223846793005ULL + static_cast<std::uint64_t>(fromMs);
        const double sentMs = kBitsPerByte * 1000.0 / sendRate;
        const std::size_t count = static_cast<std::size_t>(static_cast<double>(toMs - fromMs) / sentMs) + 1;
        std::vector<std::uint8_t> sent(count);
        for (std::uint8_t& b : sent) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            b = static_cast<std::uint8_t>(state >> 56);
        }
        const std::vector<std::uint8_t> read = ReadAtRate(sent, sendRate, readRate);
        std::vector<Heard> heard;
        const double readMs = kBitsPerByte * 1000.0 / readRate;
        for (std::size_t i = 0; i < read.size(); ++i) {
            heard.push_back({PacketTime(static_cast<double>(fromMs) + (i + 1) * readMs), read[i]});
        }
        return heard;
    };
}

struct SweepRun {
    protocols::Finding result;
    bool silent = false;
    std::int64_t foundAtMs = 0;  // when the sweep ended, from its start
};

// The sweep as the dialog and its worker run it, on line time: each speed
// from kSwitchMs after the last window ended, a window listening until it
// has heard enough.
inline SweepRun RunSweep(const Line& line, std::int64_t startMs = 0) {
    protocols::Sweep sweep;
    std::int64_t now = startMs;
    while (!sweep.Done()) {
        const std::int64_t from = now + kSwitchMs;
        protocols::ListenWindow window(sweep.Speed());
        const std::vector<Heard> heard = line(sweep.Speed(), from, from + protocols::kLongListenMs + 1);
        std::size_t next = 0;
        std::int64_t t = from;
        for (;; ++t) {
            while (next < heard.size() && heard[next].atMs <= t) {
                window.Add(heard[next].value, heard[next].atMs - from);
                ++next;
            }
            if (window.Done(t - from)) break;
        }
        now = t;
        sweep.Take(window.Result());
    }
    return {sweep.Result(), sweep.Silent(), now - startMs};
}

}  // namespace kmsim
