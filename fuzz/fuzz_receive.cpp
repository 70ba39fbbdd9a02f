// Byte stream from the controller → receive passes. The workers' pass
// (workers/FrameHunt.cpp) is linked against the ReadExact defined here,
// which serves the fuzz input as the line and reports a time-out once it is
// used up. Each pass is compared with a plain model of the framing: the
// reads it asks for, its result, the bytes it consumes and what it leaves
// in the 15-byte receive buffer.
//
// Input: byte 0 steers the run (bit 7: a stop signal comes, after as many
// reads as bits 0..5 say; bit 6: single-read instead of continuous-read
// wait bounds); the rest, up to 1024 bytes, is the line.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "link/LinkState.h"
#include "link/PortOps.h"
#include "platform/Event.h"
#include "protocols/Codecs.h"
#include "protocols/HaltenRs.h"
#include "workers/FrameHunt.h"

namespace {

using platform::ReadOutcome;
using workers::PassResult;

constexpr std::size_t kBufferSize = 15;
constexpr std::size_t kMaxLine = 1024;

struct Read {
    std::size_t offset;  // into the receive buffer
    std::size_t count;
    int boundMs;
    bool operator==(const Read&) const = default;
};

// The line as ReadExact sees it.
struct Line {
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
    int readsBeforeStop = -1;  // -1: no stop signal
    const std::uint8_t* buffer = nullptr;
    const platform::Event* stop = nullptr;
    const linkcore::LinkState* state = nullptr;
    std::vector<Read> reads;
};

Line g_line;

// Framing of each decoder as the workers read it: sync bytes, then the rest.
struct Framing {
    std::vector<std::uint8_t> sync;
    std::size_t length;
};

Framing FramingOf(int protocol) {
    switch (protocol) {
        case 0:
            return {{}, 15};
        case 1:
            return {{0x36}, 15};
        default:
            return {{0x02, 0x0E}, 14};
    }
}

struct ModelPass {
    PassResult result;
    std::vector<Read> reads;
};

// One pass of the model over the same line state, writing into its own copy
// of the buffer: every sync byte is read by itself and tested once, a wrong
// one ends the pass (a wrong second byte is not tried as a first), then the
// rest comes in one read.
ModelPass ModelOnePass(const Framing& framing, const protocols::ReadWaits& waits, std::size_t& pos,
                       int& readsBeforeStop, const std::uint8_t* line, std::size_t lineSize,
                       std::array<std::uint8_t, kBufferSize>& buffer) {
    ModelPass pass{PassResult::Frame, {}};
    // A read: false when it ended without all its bytes, with the result set.
    const auto read = [&](std::size_t offset, std::size_t count, int bound, PassResult onTimeOut) {
        pass.reads.push_back({offset, count, bound});
        if (readsBeforeStop == 0) {
            pass.result = PassResult::Stopped;
            return false;
        }
        if (readsBeforeStop > 0) --readsBeforeStop;
        const std::size_t got = std::min(count, lineSize - pos);
        std::copy(line + pos, line + pos + got, buffer.begin() + static_cast<std::ptrdiff_t>(offset));
        pos += got;
        if (got < count) {
            pass.result = onTimeOut;
            return false;
        }
        return true;
    };

    for (std::size_t i = 0; i < framing.sync.size(); ++i) {
        const bool first = i == 0;
        if (!read(i, 1, first ? waits.firstSync : waits.secondSync,
                  first ? PassResult::FirstSyncTimeOut : PassResult::TimeOut)) {
            return pass;
        }
        if (buffer[i] != framing.sync[i]) {
            pass.result = PassResult::NotASync;
            return pass;
        }
    }
    const std::size_t syncCount = framing.sync.size();
    if (read(syncCount, framing.length - syncCount, waits.rest, PassResult::TimeOut)) pass.result = PassResult::Frame;
    return pass;
}

// Descrambling takes the key off bytes 3, 4, 5 and 7 to 12; adding it back
// gives the frame as it came off the line.
void CheckDescrambleRoundTrip(const std::uint8_t* raw) {
    std::array<std::uint8_t, kBufferSize> plain;
    std::copy(raw, raw + kBufferSize, plain.begin());
    protocols::DescrambleRx(plain);
    const std::uint8_t key = raw[13];
    FUZZ_CHECK(plain[13] == key);
    for (std::size_t i = 0; i < kBufferSize; ++i) {
        const bool scrambled = (i >= 3 && i <= 5) || (i >= 7 && i <= 12);
        const std::uint8_t rescrambled = scrambled ? static_cast<std::uint8_t>(plain[i] + key) : plain[i];
        FUZZ_CHECK(rescrambled == raw[i]);
    }
    FUZZ_CHECK(protocols::HaltenVt(plain) == plain[7] * 256 + plain[8]);
    FUZZ_CHECK(protocols::HaltenP(plain) == plain[10]);
}

void RunProtocol(int protocolIndex, const std::uint8_t* line, std::size_t lineSize, int readsBeforeStop,
                 bool singleReadWaits) {
    const protocols::ProtocolInfo& protocol = protocols::Protocol(protocolIndex);
    const protocols::ReadWaits& waits = singleReadWaits ? protocol.singleReadWaits : protocol.autoReadWaits;
    const Framing framing = FramingOf(protocolIndex);
    FUZZ_CHECK(protocol.syncCount == framing.sync.size());
    FUZZ_CHECK(protocol.rxFrameLength == framing.length);

    static const platform::Event stop;
    // Exactly the 15 bytes of the receive buffer: ASan reports any byte beyond.
    const auto buffer = std::make_unique<std::uint8_t[]>(kBufferSize);
    std::array<std::uint8_t, kBufferSize> modelBuffer;
    std::fill_n(buffer.get(), kBufferSize, 0xC3);
    modelBuffer.fill(0xC3);

    static linkcore::LinkState state;
    g_line = Line{line, lineSize, 0, readsBeforeStop, buffer.get(), &stop, &state, {}};
    std::size_t modelPos = 0;
    int modelReadsBeforeStop = readsBeforeStop;

    // Every pass that neither times out nor stops consumes a byte, so the
    // number of passes is bounded by the line.
    for (std::size_t passes = 0;; ++passes) {
        FUZZ_CHECK(passes <= lineSize + 1);
        const std::size_t start = g_line.pos;
        g_line.reads.clear();

        const PassResult result = workers::ReadFramePass(state, protocol, waits, buffer.get(), stop);
        const ModelPass model =
            ModelOnePass(framing, waits, modelPos, modelReadsBeforeStop, line, lineSize, modelBuffer);

        FUZZ_CHECK(result == model.result);
        FUZZ_CHECK(g_line.reads == model.reads);
        FUZZ_CHECK(g_line.pos == modelPos);
        FUZZ_CHECK(std::equal(modelBuffer.begin(), modelBuffer.end(), buffer.get()));

        if (result == PassResult::NotASync) {
            FUZZ_CHECK(g_line.pos > start);
            // A Kugoo M pass that saw 0x02 and then a wrong byte has used up
            // both: the wrong byte is not looked at again as a first sync.
            if (protocolIndex == 2 && line[start] == 0x02) {
                FUZZ_CHECK(g_line.pos == start + 2 && line[start + 1] != 0x0E);
            } else {
                FUZZ_CHECK(g_line.pos == start + 1);
            }
        }
        if (result == PassResult::Frame) {
            FUZZ_CHECK(g_line.pos == start + framing.length);
            FUZZ_CHECK(std::equal(framing.sync.begin(), framing.sync.end(), buffer.get()));
            FUZZ_CHECK(std::equal(line + start, line + start + framing.length, buffer.get()));
            std::array<std::uint8_t, kBufferSize> probe{};
            if (protocols::CodecAt(protocolIndex).DecodeRx(probe)) CheckDescrambleRoundTrip(buffer.get());
        }

        const bool lineUsedUp = g_line.pos == lineSize;
        if (result == PassResult::Stopped) break;
        if ((result == PassResult::FirstSyncTimeOut || result == PassResult::TimeOut) && lineUsedUp) break;
    }
}

}  // namespace

namespace linkcore {

platform::ReadOutcome ReadExact(LinkState& s, std::uint8_t* dest, std::size_t n, int boundMs,
                                const platform::Event& stop) {
    Line& line = g_line;
    FUZZ_CHECK(&s == line.state);
    FUZZ_CHECK(&stop == line.stop);
    FUZZ_CHECK(n >= 1);
    FUZZ_CHECK(dest >= line.buffer && dest + n <= line.buffer + kBufferSize);
    line.reads.push_back({static_cast<std::size_t>(dest - line.buffer), n, boundMs});

    if (line.readsBeforeStop == 0) return ReadOutcome::Stopped;
    if (line.readsBeforeStop > 0) --line.readsBeforeStop;
    // Like the port: the bytes that came are in dest even when the bound runs out.
    const std::size_t got = std::min(n, line.size - line.pos);
    if (got > 0) std::memcpy(dest, line.bytes + line.pos, got);
    line.pos += got;
    return got == n ? ReadOutcome::Completed : ReadOutcome::TimedOut;
}

// This line never goes: its end is a silence, which the reads report.
bool LineGone(const LinkState& s) {
    FUZZ_CHECK(&s == g_line.state);
    return false;
}

// The wait for a frame's line time reads nothing; on this line every byte
// is there already, as on a line whose driver holds the whole frame.
int AwaitBytes(LinkState& s, std::size_t count, int boundMs, const platform::Event& stop) {
    FUZZ_CHECK(&s == g_line.state);
    FUZZ_CHECK(&stop == g_line.stop);
    FUZZ_CHECK(count >= 1 && boundMs >= 0);
    return 0;
}

}  // namespace linkcore

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t control = data[0];
    const int readsBeforeStop = (control & 0x80) ? (control & 0x3F) : -1;
    const bool singleReadWaits = (control & 0x40) != 0;
    // The line itself lives in a buffer of its own size so that a read past
    // its end is an ASan report too.
    // Frames are at most 15 bytes long: a longer line adds time, not cases.
    const std::vector<std::uint8_t> line(data + 1, data + std::min<std::size_t>(size, kMaxLine + 1));

    for (const int protocol : {0, 1, 2}) {
        RunProtocol(protocol, line.data(), line.size(), readsBeforeStop, singleReadWaits);
    }
    return 0;
}
