#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocols/Catalogue.h"
#include "tools/kmsim/DisplayDecoder.h"

namespace kmsim {

// What the simulator is doing with the line at present.
enum class LineState {
    Frames,      // the reader's speed is the controller's: frames go out
    Garbled,     // wrong speed: the frames go out as the reader's UART reads them
    Filler,      // wrong speed: 0xFF filler goes out instead
    Mute,        // wrong speed: nothing goes out
    PortClosed,  // the reader closed the port; nothing goes out
    Silenced,    // --silence-after reached; nothing goes out
    Unplugged,   // --unplug-after reached: no line, no COM<n> link
};

struct StatusSnapshot {
    int protocol = protocols::kHaltenRs;  // index of the codec table
    unsigned port = 1;
    std::int64_t lineSpeed = -1;       // as the reader set it; -1 unknown
    std::int64_t controllerSpeed = 0;  // the protocol's own speed
    LineState state = LineState::Frames;
    std::uint64_t framesSent = 0;
    DisplayStats display;
    std::optional<DisplaySettings> settings;  // the last good display frame's
};

// Command-line name of a protocol, its codec's short name: "halten",
// "kugoo", "test".
std::string_view ProtocolName(int protocol);

// Bytes as upper-case hexadecimal pairs separated by single spaces.
std::string HexLine(std::span<const std::uint8_t> bytes);

// "gear=3 zero-start=0 cruise=0 soft-start=1 max-speed=90 ebs=1", with
// "max-power=.. throttle=.." where the protocol carries them.
std::string SettingsText(const DisplaySettings& settings);

// The log line of a decoded display frame: "rx <hex> | <what it says>".
std::string DisplayFrameLogLine(const DisplayFrame& frame);

// One line for people: line state, counts and the settings asked for.
std::string StatusLine(const StatusSnapshot& status);

// The closing line on stdout, key=value pairs after the word "summary".
std::string SummaryLine(const StatusSnapshot& status);

// How the line state reads in the status line and the log.
std::string LineStateText(const StatusSnapshot& status);

}  // namespace kmsim
