#include <sys/resource.h>

#include "platform/LineSettings.h"
#include "platform/SerialPort.h"
#include "tests/support/PortSandbox.h"
#include "tests/ui/ControllerLine.h"

namespace testing_ui {

namespace {

class PseudoTerminalLine : public ControllerLine {
public:
    ~PseudoTerminalLine() override { sandbox_.Close(); }

    bool Open() {
        sandbox_.Open("zonter-ui");
        return sandbox_.peer != nullptr && !::testing::Test::HasFatalFailure();
    }

    bool Write(const std::vector<std::uint8_t>& bytes) override { return Peer().WriteAll(bytes); }
    std::vector<std::uint8_t> ReadSome(std::size_t max, int ms) override {
        std::vector<std::uint8_t> buf(max);
        buf.resize(Peer().ReadSome(buf.data(), max, ms));
        return buf;
    }
    long long Speed() override { return Peer().SlaveSpeed(); }
    bool Preset(int rate) override {
        auto port = platform::SerialPort::Open(Peer().slavePath());
        platform::LineSettings s;
        return port && platform::BuildLineSettings("baud=" + std::to_string(rate) + " parity=N data=8 stop=1", s) &&
               port->ApplySettings(s);
    }
    // As an unplugged adapter's node goes, COM1 goes with the line: its
    // pseudo-terminal's number may soon be another program's.
    void HangUp() override {
        platform::UnregisterPort(1, Peer().slavePath());
        Peer().HangUp();
    }
    bool Replug() override {
        sandbox_.peer = platform::PseudoTerminal::Open();
        return sandbox_.peer && platform::RegisterPort(1, sandbox_.peer->slavePath());
    }
    std::string Device() const override { return sandbox_.peer ? sandbox_.peer->slavePath() : std::string(); }

private:
    platform::PseudoTerminal& Peer() { return *sandbox_.peer; }

    testing_support::PortSandbox sandbox_;
};

}  // namespace

std::unique_ptr<ControllerLine> OpenControllerLine() {
    auto line = std::make_unique<PseudoTerminalLine>();
    if (!line->Open()) return nullptr;
    return line;
}

void ReadLineArguments(int, char**) {}

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace testing_ui
