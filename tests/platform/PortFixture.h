#pragma once

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <memory>
#include <string>

#include "platform/PortNames.h"
#include "platform/PseudoTerminal.h"
#include "platform/SerialPort.h"
#include "tests/platform/TestSupport.h"

namespace zonter_test {

// A pseudo-terminal registered as COM1 in a private port directory, with
// the port opened through that name; the test plays the controller on the
// master side.
class PortFixture : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetPortDirectoryOnly(true);
        platform::SetPortDirectory(dir_ / "ports");
        peer_ = platform::PseudoTerminal::Open();
        ASSERT_TRUE(peer_);
        ASSERT_TRUE(platform::RegisterPort(1, peer_->slavePath()));
        const auto path = platform::ResolveComPort(1);
        ASSERT_TRUE(path);
        portPath_ = *path;
        platform::OpenFailure failure;
        port_ = platform::SerialPort::Open(portPath_, &failure);
        ASSERT_TRUE(port_) << "open failed: " << static_cast<int>(failure.kind) << ", errno " << failure.systemError;
    }

    void TearDown() override {
        port_.reset();
        peer_.reset();
        platform::SetPortDirectory("");
    }

    // Bytes waiting for the port's next reads: in its read-ahead and in
    // the driver's input queue.
    int Pending() const {
        int n = -1;
        ioctl(port_->handle(), FIONREAD, &n);
        return n < 0 ? n : n + static_cast<int>(port_->ReadAhead());
    }

    bool WaitForPending(int n) {
        return WaitUntil([&] { return Pending() == n; });
    }

    TempDir dir_;
    std::unique_ptr<platform::PseudoTerminal> peer_;
    std::unique_ptr<platform::SerialPort> port_;
    std::string portPath_;
};

}  // namespace zonter_test
