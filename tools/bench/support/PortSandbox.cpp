#include "tools/bench/support/PortSandbox.h"

#include <termios.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/PortNames.h"

namespace bench {

PortSandbox::PortSandbox() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zonter-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    portDir_ = root_ + "/ports";
    platform::SetPortDirectory(portDir_);
    platform::SetPortDirectoryOnly(true);
}

PortSandbox::~PortSandbox() {
    platform::SetPortDirectory("");
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}

std::unique_ptr<platform::PseudoTerminal> PortSandbox::OpenPeer(unsigned n) { return OpenRawLine(n); }

std::unique_ptr<platform::PseudoTerminal> OpenRawLine(unsigned n) {
    auto peer = platform::PseudoTerminal::Open();
    if (!peer) return nullptr;
    // Until the tool opens the slave it would echo what the controller
    // sends; a real line does not.
    termios t{};
    if (::tcgetattr(peer->masterFd(), &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(peer->masterFd(), TCSANOW, &t);
    }
    if (!platform::RegisterPort(n, peer->slavePath())) return nullptr;
    return peer;
}

}  // namespace bench
