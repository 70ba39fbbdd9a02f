#pragma once

#include <memory>
#include <string>

#include "platform/PseudoTerminal.h"

namespace bench {

// A private port directory for the length of a benchmark: COM<n> names
// resolve only there, so no benchmark ever opens a real device.
class PortSandbox {
public:
    PortSandbox();
    ~PortSandbox();
    PortSandbox(const PortSandbox&) = delete;
    PortSandbox& operator=(const PortSandbox&) = delete;

    const std::string& portDirectory() const { return portDir_; }
    const std::string& root() const { return root_; }

    // A new pseudo-terminal in raw mode whose slave is registered as COM<n>
    // (replacing an earlier one); the caller plays the controller on its
    // master. Nothing when no pseudo-terminal could be had.
    std::unique_ptr<platform::PseudoTerminal> OpenPeer(unsigned n = 1);

private:
    std::string root_;
    std::string portDir_;
};

// A new pseudo-terminal in raw mode whose slave is registered as COM<n>
// in the current port directory; nothing when either cannot be had.
std::unique_ptr<platform::PseudoTerminal> OpenRawLine(unsigned n);

}  // namespace bench
