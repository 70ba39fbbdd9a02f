#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace protocols {

// Index of a decoder in the decoder list; kNoProtocol when nothing is selected.
enum ProtocolIndex : int { kNoProtocol = -1, kTest = 0, kHaltenRs = 1, kKugooM = 2 };

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

// Everything that differs between the decoders.
struct ProtocolInfo {
    ProtocolIndex index;
    std::string_view listEntry;  // empty for "no selection"

    LineMode connect;   // set by Connect
    LineMode runStart;  // set by a run start when the current speed differs

    // Receiving.
    std::size_t rxFrameLength;         // 0: nothing is received
    std::size_t syncCount;             // leading sync bytes of a frame
    std::array<std::uint8_t, 2> sync;  // their values (first syncCount used)
    bool descrambleRx;                 // received frames go through DescrambleRx

    // Display simulation.
    bool simulationAllowed;          // false: a run start switches simulation off
    std::size_t txFrameLength;       // 0: the simulator ends at once
    std::size_t templateValueCount;  // values read by ParseTemplate
    int txPauseMs;                   // sleep after each transmitted frame
    int simulatorRefreshEvery;       // frames between CMD_SHOW_OUT_FRAME
    int autoReadRefreshEvery;        // frames between CMD_SHOW_RX_FRAME

    // Run commands: whether each worker reads anything. With
    // autoReadAndCaptureStopOnly the continuous-read and capture commands stop
    // the running workers and do nothing more.
    bool singleRead;
    bool autoRead;
    bool capture;
    bool autoReadAndCaptureStopOnly;

    // Single-read particulars: a time-out while hunting sets the time-out
    // status; a published frame sets the status to 1; the frame as received is
    // also kept in the raw copy.
    bool singleReadHuntTimeoutIsTimeOut;
    bool singleReadPublishesStatus;
    bool singleReadKeepsRaw;

    ReadWaits singleReadWaits;
    ReadWaits autoReadWaits;
    CaptureWaits captureWaits;

    // Bytes read after the sync bytes.
    constexpr std::size_t RestLength() const { return rxFrameLength - syncCount; }
};

namespace detail {

inline constexpr LineMode kLine1200{"baud=1200 parity=N data=8 stop=1", 1200};
inline constexpr LineMode kLine9600{"baud=9600 parity=N data=8 stop=1", 9600};
inline constexpr LineMode kLineUnchanged{"", 0};

// Answer for -1 and for every index outside the list.
inline constexpr ProtocolInfo kNoSelection{
    .index = kNoProtocol,
    .listEntry = "",
    .connect = kLine1200,
    .runStart = kLineUnchanged,
    .rxFrameLength = 0,
    .syncCount = 0,
    .sync = {0x00, 0x00},
    .descrambleRx = false,
    .simulationAllowed = true,
    .txFrameLength = 0,
    .templateValueCount = 14,
    .txPauseMs = 0,
    .simulatorRefreshEvery = 0,
    .autoReadRefreshEvery = 0,
    .singleRead = false,
    .autoRead = false,
    .capture = false,
    .autoReadAndCaptureStopOnly = false,
    .singleReadHuntTimeoutIsTimeOut = false,
    .singleReadPublishesStatus = false,
    .singleReadKeepsRaw = false,
    .singleReadWaits = {0, 0, 0},
    .autoReadWaits = {0, 0, 0},
    .captureWaits = {0, 0, 0},
};

inline constexpr std::array<ProtocolInfo, kProtocolCount> kCatalogue{{
    {
        .index = kTest,
        .listEntry = " Неизвестный (Test)",
        .connect = kLine1200,
        .runStart = kLineUnchanged,
        .rxFrameLength = 15,
        .syncCount = 0,
        .sync = {0x00, 0x00},
        .descrambleRx = false,
        .simulationAllowed = false,
        .txFrameLength = 0,
        .templateValueCount = 14,
        .txPauseMs = 0,
        .simulatorRefreshEvery = 0,
        .autoReadRefreshEvery = 0,
        .singleRead = true,
        .autoRead = false,
        .capture = false,
        .autoReadAndCaptureStopOnly = true,
        .singleReadHuntTimeoutIsTimeOut = false,
        .singleReadPublishesStatus = true,
        .singleReadKeepsRaw = false,
        .singleReadWaits = {0, 0, 350},
        .autoReadWaits = {0, 0, 0},
        .captureWaits = {0, 0, 0},
    },
    {
        .index = kHaltenRs,
        .listEntry = " Halten RS",
        .connect = kLine1200,
        .runStart = kLine1200,
        .rxFrameLength = 15,
        .syncCount = 1,
        .sync = {0x36, 0x00},
        .descrambleRx = true,
        .simulationAllowed = true,
        .txFrameLength = 15,
        .templateValueCount = 14,
        .txPauseMs = 160,
        .simulatorRefreshEvery = 5,
        .autoReadRefreshEvery = 5,
        .singleRead = true,
        .autoRead = true,
        .capture = true,
        .autoReadAndCaptureStopOnly = false,
        .singleReadHuntTimeoutIsTimeOut = false,
        .singleReadPublishesStatus = false,
        .singleReadKeepsRaw = true,
        .singleReadWaits = {250, 0, 500},
        .autoReadWaits = {500, 0, 500},
        .captureWaits = {250, 200, 500},
    },
    {
        .index = kKugooM,
        .listEntry = " Kugoo M (QS-S4)",
        .connect = kLine9600,
        .runStart = kLine9600,
        .rxFrameLength = 14,
        .syncCount = 2,
        .sync = {0x02, 0x0E},
        .descrambleRx = false,
        .simulationAllowed = true,
        .txFrameLength = 20,
        .templateValueCount = 19,
        .txPauseMs = 80,
        .simulatorRefreshEvery = 10,
        .autoReadRefreshEvery = 10,
        .singleRead = true,
        .autoRead = true,
        .capture = false,
        .autoReadAndCaptureStopOnly = false,
        .singleReadHuntTimeoutIsTimeOut = true,
        .singleReadPublishesStatus = true,
        .singleReadKeepsRaw = false,
        .singleReadWaits = {250, 250, 200},
        .autoReadWaits = {500, 500, 500},
        .captureWaits = {0, 0, 0},
    },
}};

}  // namespace detail

// The catalogue entry of any index; values outside the list answer with the
// "no selection" entry.
[[nodiscard]] constexpr const ProtocolInfo& Protocol(int index) {
    if (index >= 0 && index < kProtocolCount) {
        return detail::kCatalogue[static_cast<std::size_t>(index)];
    }
    return detail::kNoSelection;
}

// The decoder list's entry texts, in list order.
[[nodiscard]] std::array<std::string_view, kProtocolCount> DecoderListEntries();

}  // namespace protocols
