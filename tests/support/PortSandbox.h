#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/PortNames.h"
#include "platform/PseudoTerminal.h"

namespace testing_support {

// A temporary folder whose port directory holds COM1, a pseudo-terminal;
// `peer` is the controller's end of that line. Only this directory is
// searched, so no test ever opens a real device.
class PortSandbox {
public:
    // Call from SetUp (uses ASSERT).
    void Open(const char* prefix) {
        std::string tmpl = std::string("/tmp/") + prefix + "-XXXXXX";
        dir_ = mkdtemp(tmpl.data());
        platform::SetPortDirectory(dir_ + "/ports");
        platform::SetPortDirectoryOnly(true);
        peer = platform::PseudoTerminal::Open();
        ASSERT_TRUE(peer);
        ASSERT_TRUE(platform::RegisterPort(1, peer->slavePath()));
    }

    void Close() {
        peer.reset();
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    const std::string& dir() const { return dir_; }

    std::unique_ptr<platform::PseudoTerminal> peer;

private:
    std::string dir_;
};

}  // namespace testing_support
