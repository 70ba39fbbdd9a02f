#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace app {

// The tool reads no settings from its command line; it only answers
// --version and --help, and does so before any window system is touched,
// so both work on a machine without a display.

// "zonter 2.0".
std::string VersionText();

// What the tool is, how COMn finds a device, and where the simulator is.
std::string HelpText();

// Answers the arguments after the program name. Returns the exit status
// when the program should end here (0 for --version or --help, 2 for
// anything else), or nothing when there are no arguments and the dialog
// should open.
std::optional<int> AnswerCommandLine(std::span<const std::string_view> args, std::FILE* out, std::FILE* err);

}  // namespace app
