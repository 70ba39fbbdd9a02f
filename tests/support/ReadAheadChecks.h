#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/Event.h"
#include "platform/SerialPort.h"
#include "tests/support/WaitFor.h"

namespace testing_support {

// The driver under a port, as a test scripts it on either system.
class ScriptedLine {
public:
    virtual ~ScriptedLine() = default;
    // One arrival of bytes; returns once the driver holds them (or the port
    // has taken them).
    virtual void Deliver(std::span<const std::uint8_t> bytes) = 0;
    // The bytes the port's reads have taken from the driver so far.
    [[nodiscard]] virtual std::size_t Taken() = 0;
    // The system's reads of the port so far.
    [[nodiscard]] virtual int Reads() = 0;
};

// A port just opened on a scripted driver.
struct ScriptedPort {
    platform::SerialPort* port = nullptr;
    ScriptedLine* line = nullptr;
};

// How the line delivers the frames the reads ask for.
struct DeliveryRow {
    const char* pattern;
    std::vector<std::size_t> before;  // arrivals before the first read
    std::vector<std::size_t> during;  // arrivals each once the port took the one before
    int frames;                       // the 14-byte reads that complete
    int mostReads;                    // the system reads they may take
};

// How the read after the frames ends; each row leaves 5 bytes of a next
// frame on the line (in the read-ahead or the driver).
enum class ReadEnd { Completed, TimedOut, Stopped, Purged };
inline const char* const kReadEndNames[] = {"completed", "timed out", "stopped", "purged"};

// Reads served from the read-ahead, over delivery patterns and endings:
// every byte comes once and in order, a read takes the system's reads
// only for what came in separate arrivals, nothing is written into a
// caller's buffer after its read ended, and a purge leaves nothing behind.
// `open` gives a fresh port on a fresh scripted driver.
inline void ExpectTheReadAheadServesEveryDelivery(const std::function<ScriptedPort()>& open) {
    using platform::ReadOutcome;
    static constexpr std::size_t kFrame = 14;
    static constexpr std::size_t kTail = 5;  // bytes of the next frame after the last one read
    static constexpr std::size_t kLate = 9;  // bytes that come after the ending
    static constexpr std::uint8_t kUntouched = 0xEE;
    const DeliveryRow rows[] = {
        {"whole frames, an arrival each", {}, {14, 14, 14 + kTail}, 3, 3},
        {"single bytes", {}, std::vector<std::size_t>(kFrame + kTail, 1), 1, 14},
        {"frames split across arrivals", {}, {5, 12, 11, kTail}, 2, 3},
        {"a burst of three frames in one arrival", {3 * kFrame + kTail}, {}, 3, 1},
    };
    const ReadEnd ends[] = {ReadEnd::Completed, ReadEnd::TimedOut, ReadEnd::Stopped, ReadEnd::Purged};
    for (const DeliveryRow& row : rows) {
        for (const ReadEnd end : ends) {
            SCOPED_TRACE(std::string(row.pattern) + ", then " + kReadEndNames[static_cast<int>(end)]);
            const ScriptedPort opened = open();
            ASSERT_TRUE(opened.port && opened.line);
            platform::SerialPort& port = *opened.port;
            ScriptedLine& line = *opened.line;

            const std::size_t framed = row.frames * kFrame;
            std::vector<std::uint8_t> bytes(framed + kTail + kLate + kFrame);
            for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(1 + i % 200);
            std::size_t fed = 0;
            const auto deliver = [&](std::size_t k) {
                line.Deliver(std::span<const std::uint8_t>(bytes).subspan(fed, k));
                fed += k;
            };
            for (const std::size_t k : row.before) deliver(k);

            platform::Event stop;
            std::vector<std::uint8_t> frames(framed, kUntouched);
            std::vector<ReadOutcome> outcomes(row.frames, ReadOutcome::TimedOut);
            std::atomic<bool> done{false};
            std::thread reader([&] {
                for (int f = 0; f < row.frames; ++f) {
                    outcomes[f] = port.ReadExact(frames.data() + f * kFrame, kFrame, 10000, &stop);
                }
                done = true;
            });
            // No ASSERT here: the reader must be joined whatever happens.
            for (const std::size_t k : row.during) {
                deliver(k);
                EXPECT_TRUE(WaitFor([&] { return line.Taken() >= fed || done; }));
            }
            reader.join();
            for (const ReadOutcome outcome : outcomes) EXPECT_EQ(outcome, ReadOutcome::Completed);
            EXPECT_TRUE(std::equal(frames.begin(), frames.end(), bytes.begin()));
            EXPECT_LE(line.Reads(), row.mostReads);
            ASSERT_EQ(fed, framed + kTail);

            std::vector<std::uint8_t> dest(kFrame, kUntouched);
            const auto tail = bytes.begin() + static_cast<std::ptrdiff_t>(framed);
            // What a read that ended short took: a start of the tail, and
            // nothing written beyond it.
            const auto taken = [&] {
                const auto untouched = std::find(dest.begin(), dest.end(), kUntouched);
                EXPECT_TRUE(std::equal(dest.begin(), untouched, tail));
                EXPECT_TRUE(std::all_of(untouched, dest.end(), [](std::uint8_t b) { return b == kUntouched; }));
                return static_cast<std::size_t>(untouched - dest.begin());
            };
            // Bytes that come after a read ended go to the next read, after
            // what the ended read left.
            const auto nextReadTakesTheRest = [&](std::size_t took) {
                const std::vector<std::uint8_t> before = dest;
                deliver(kLate);
                std::vector<std::uint8_t> next(kTail - took + kLate, kUntouched);
                EXPECT_EQ(port.ReadExact(next.data(), next.size(), 10000, &stop), ReadOutcome::Completed);
                EXPECT_TRUE(std::equal(next.begin(), next.end(), tail + static_cast<std::ptrdiff_t>(took)));
                EXPECT_EQ(dest, before);
            };
            const auto start = std::chrono::steady_clock::now();
            switch (end) {
                case ReadEnd::Completed:
                    EXPECT_EQ(port.ReadExact(dest.data(), kTail, 10000, &stop), ReadOutcome::Completed);
                    EXPECT_EQ(taken(), kTail);
                    break;
                case ReadEnd::TimedOut:
                    EXPECT_EQ(port.ReadExact(dest.data(), kFrame, 200, &stop), ReadOutcome::TimedOut);
                    EXPECT_EQ(taken(), kTail);
                    nextReadTakesTheRest(kTail);
                    break;
                case ReadEnd::Stopped: {
                    // A stop may win over bytes the driver still holds; what
                    // the read took is a start of the tail either way.
                    stop.Set();
                    EXPECT_EQ(port.ReadExact(dest.data(), kFrame, 10000, &stop), ReadOutcome::Stopped);
                    EXPECT_LT(MillisSince(start), 2000);
                    stop.Reset();
                    nextReadTakesTheRest(taken());
                    break;
                }
                case ReadEnd::Purged: {
                    port.Purge();
                    EXPECT_EQ(port.ReadAhead(), 0u);
                    fed += kLate;  // fresh bytes after the purge: the last frame's worth
                    deliver(kFrame);
                    EXPECT_EQ(port.ReadExact(dest.data(), kFrame, 10000, &stop), ReadOutcome::Completed);
                    EXPECT_TRUE(std::equal(dest.begin(), dest.end(), bytes.end() - kFrame));
                    break;
                }
            }
        }
    }
}

}  // namespace testing_support
