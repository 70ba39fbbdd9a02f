#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace protocols {

// Index of a decoder in the decoder list; kNoProtocol when nothing is
// selected. The codec table (Codecs.cpp) lists the built-in decoders in
// this order; a registered codec takes the next free index.
enum ProtocolIndex : int { kNoProtocol = -1, kTest = 0, kHaltenRs = 1, kKugooM = 2 };

// Decoders built in.
inline constexpr int kProtocolCount = 3;

// Mode string of a line speed; every decoder uses 8 data bits, no parity and
// one stop bit.
inline constexpr char kLineModeFormat[] = "baud=%u parity=N data=8 stop=1";

// kLineModeFormat filled with the given speed.
[[nodiscard]] std::string LineModeString(unsigned speed);

// A line speed together with its mode string. A speed of 0 means the speed
// is left as it is.
struct LineMode {
    std::string_view mode;  // mode string, "" when the speed is left alone
    unsigned speed;
};

// Wait bounds in ms of the reads that make up one received frame; 0 where the
// step does not exist for the decoder.
struct ReadWaits {
    int firstSync;   // each single byte read while hunting the first sync byte
    int secondSync;  // the byte that must be the second sync byte
    int rest;        // the remaining bytes of the frame, in one read
};

// Wait bounds in ms of the sixty-second capture's reads.
struct CaptureWaits {
    int syncByte;        // each single byte read while hunting frame 0
    int firstFrameRest;  // the rest of frame 0
    int laterFrame;      // each whole frame after frame 0
};

// Line modes the decoders share.
inline constexpr LineMode kLine1200{"baud=1200 parity=N data=8 stop=1", 1200};
inline constexpr LineMode kLine9600{"baud=9600 parity=N data=8 stop=1", 9600};
inline constexpr LineMode kLineUnchanged{"", 0};

// The catalogue data of a decoder: everything about it that is a number or
// a text. What it does with its frames is its codec's (Codec.h). A member
// left out is the answer of a decoder that reads and sends nothing.
struct ProtocolInfo {
    ProtocolIndex index = kNoProtocol;
    std::string_view name{};       // short name for tools and reports; empty for "no selection"
    std::string_view listEntry{};  // empty for "no selection"

    LineMode connect = kLine1200;        // set by Connect
    LineMode runStart = kLineUnchanged;  // set by a run start when the current speed differs

    // Receiving.
    std::size_t rxFrameLength = 0;       // 0: nothing is received
    std::size_t syncCount = 0;           // leading sync bytes of a frame
    std::array<std::uint8_t, 2> sync{};  // their values (first syncCount used)

    // Display simulation.
    std::size_t txFrameLength = 0;        // 0: the simulator ends at once
    std::size_t templateValueCount = 14;  // values read by ParseTemplate
    int txPauseMs = 0;                    // sleep after each transmitted frame
    int simulatorRefreshEvery = 0;        // frames between CMD_SHOW_OUT_FRAME
    int autoReadRefreshEvery = 0;         // frames between CMD_SHOW_RX_FRAME

    // Run commands: whether each worker reads anything.
    bool singleRead = false;
    bool autoRead = false;
    bool capture = false;

    ReadWaits singleReadWaits{};
    ReadWaits autoReadWaits{};
    CaptureWaits captureWaits{};

    // Bytes read after the sync bytes.
    constexpr std::size_t RestLength() const { return rxFrameLength - syncCount; }
};

// The catalogue entry of any index, from the codec table (Codecs.h); values
// outside the list answer with the "no selection" entry.
[[nodiscard]] const ProtocolInfo& Protocol(int index);

// The decoder list's entry texts, in list order.
[[nodiscard]] std::vector<std::string_view> DecoderListEntries();

}  // namespace protocols
