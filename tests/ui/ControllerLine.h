#pragma once

// The controller's end of the line the tool knows as COM1. On Linux it is a
// pseudo-terminal in a temporary port directory (posix/); under Wine a
// pseudo-terminal outside Wine mapped into the prefix as COM1, played by
// line_peer.py on the program's request (win32/).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testing_ui {

class ControllerLine {
public:
    virtual ~ControllerLine() = default;

    // Hands the bytes to the tool's side of the line.
    virtual bool Write(const std::vector<std::uint8_t>& bytes) = 0;
    // Waits up to ms for bytes the tool sent; at most `max` of them.
    virtual std::vector<std::uint8_t> ReadSome(std::size_t max, int ms) = 0;
    // The bit rate the tool's side set last; -1 when it cannot be read.
    virtual long long Speed() = 0;
    // Leaves the line at `rate`, as another program would have.
    virtual bool Preset(int rate) = 0;
    // Pulls the adapter: the tool's side loses the line.
    virtual void HangUp() = 0;
    // Plugs a new line in under the same number.
    virtual bool Replug() = 0;
    // The device the tool opens for COM1.
    virtual std::string Device() const = 0;
};

// A fresh line for one test, nothing waiting in either direction; null
// (and a test failure) when none can be made.
std::unique_ptr<ControllerLine> OpenControllerLine();

// Takes what the program's command line says about the line.
void ReadLineArguments(int argc, char** argv);

// CPU seconds this process has used so far.
double ProcessCpuSeconds();

}  // namespace testing_ui
