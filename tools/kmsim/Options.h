#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocols/Catalogue.h"
#include "tools/kmsim/LineFaults.h"

namespace kmsim {

// What the simulator does when the reader's speed is not the controller's.
enum class MismatchMode {
    Garbled,  // each frame as a UART at the reader's speed reads it (WrongRate.h)
    Filler,   // 0xFF bytes in place of each frame, at the reader's speed
    Mute,     // nothing at all
};

struct Options {
    int protocol = protocols::kHaltenRs;  // index of the codec table, with a controller side
    unsigned port = 1;
    unsigned mirrorPort = 0;    // --mirror-port: a second line fed the same bytes; 0 none
    std::string portDirectory;  // empty: the tool's default
    int intervalMs = 0;         // pause after each frame's line time
    std::uint64_t seed = 1;
    std::string logPath;  // empty: no log
    bool quiet = false;
    MismatchMode mismatch = MismatchMode::Garbled;
    LineFaults faults;
    std::optional<std::uint64_t> frameLimit;  // --frames
    bool help = false;
};

// Pause between frames when --interval is not given.
int DefaultIntervalMs(int protocol);

struct ParsedOptions {
    std::optional<Options> options;  // nothing when the arguments are wrong
    std::string error;               // why, for the user
};

// Reads the arguments after the program name. Options take their value as
// the next argument or after '='.
ParsedOptions ParseOptions(std::span<const std::string_view> args);

// The --help text.
std::string HelpText(std::string_view program);

}  // namespace kmsim
