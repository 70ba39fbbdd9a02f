#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/ui/ControllerLine.h"
#include "tests/win32/LinePeer.h"

namespace testing_ui {

namespace {

using zonter_test::LinePeer;

// The line of line_peer.py, which maps its pseudo-terminal into the prefix
// under the COM name it passes on the command line (--port=COM1).
class PeerLine : public ControllerLine {
public:
    bool Write(const std::vector<std::uint8_t>& bytes) override {
        LinePeer::Send(bytes);
        return !::testing::Test::HasFailure();
    }
    std::vector<std::uint8_t> ReadSome(std::size_t max, int ms) override { return LinePeer::Receive(max, ms); }
    long long Speed() override {
        std::istringstream line(LinePeer::Line());  // "9600 8N1"
        long long rate = -1;
        line >> rate;
        return rate;
    }
    bool Preset(int rate) override {
        LinePeer::Ask("preset " + std::to_string(rate) + " 8N1");
        return !::testing::Test::HasFailure();
    }
    void HangUp() override { LinePeer::Unplug(); }
    bool Replug() override {
        LinePeer::Fresh();
        return !::testing::Test::HasFailure();
    }
    std::string Device() const override { return LinePeer::PortName(); }
};

}  // namespace

std::unique_ptr<ControllerLine> OpenControllerLine() {
    LinePeer::Fresh();
    if (::testing::Test::HasFailure()) return nullptr;
    return std::make_unique<PeerLine>();
}

void ReadLineArguments(int argc, char** argv) { LinePeer::TakePortArgument(argc, argv); }

double ProcessCpuSeconds() { return LinePeer::Cpu().process / 1000.0; }

}  // namespace testing_ui
