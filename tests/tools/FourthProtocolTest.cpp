// A protocol of the test's own, added the way every protocol is: a codec
// registered in the codec table and a controller side registered with the
// simulator. It then runs end to end through the real workers and the real
// simulator on a pseudo-terminal, without any other file knowing of it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "link/Connection.h"
#include "link/LinkState.h"
#include "link/RefreshCodes.h"
#include "platform/Event.h"
#include "platform/PortNames.h"
#include "protocols/Checksum.h"
#include "protocols/Codecs.h"
#include "protocols/FrameText.h"
#include "protocols/GearCodes.h"
#include "protocols/Patches.h"
#include "protocols/RxLines.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/WaitFor.h"
#include "tests/tools/SimulatorProcess.h"
#include "tools/kmsim/ControllerSide.h"
#include "tools/kmsim/HeardLine.h"
#include "tools/kmsim/Simulator.h"
#include "workers/RunControl.h"

namespace {

// Controller frames: A5 5A, V/T in bytes 2-3, P in byte 4, the gear
// position asked for in byte 5, XOR of the whole frame 0 in byte 7.
constexpr std::size_t kRxLength = 8;
constexpr std::uint8_t kSync0 = 0xA5, kSync1 = 0x5A;
constexpr std::size_t kRxVtHigh = 2, kRxVtLow = 3, kRxP = 4, kRxGearEcho = 5, kRxChecksum = 7;
// Display frames: C3 0A, gear code 2, max speed 3, flags 4 (0x01 zero
// start, 0x02 cruise, 0x04 soft start), EBS 5, throttle 6-7, max power 8,
// XOR in byte 9.
constexpr std::size_t kTxLength = 10;
constexpr std::uint8_t kTxStart0 = 0xC3, kTxStart1 = 0x0A;
constexpr std::size_t kTxGear = 2, kTxMaxV = 3, kTxFlags = 4, kTxEbs = 5, kTxThrottle = 6, kTxMaxP = 8, kTxSum = 9;
constexpr char kTemplateFormat[] = "C3 0A %.2X %.2X %.2X %.2X %.2X %.2X %.2X";

const protocols::ProtocolInfo& FourthInfo(int index) {
    static const protocols::ProtocolInfo info{
        .index = static_cast<protocols::ProtocolIndex>(index),
        .name = "fourth",
        .listEntry = " Fourth",
        .connect = {"baud=4800 parity=N data=8 stop=1", 4800},
        .runStart = {"baud=4800 parity=N data=8 stop=1", 4800},
        .rxFrameLength = kRxLength,
        .syncCount = 2,
        .sync = {kSync0, kSync1},
        .txFrameLength = kTxLength,
        .templateValueCount = kTxLength - 1,
        .txPauseMs = 40,
        .simulatorRefreshEvery = 4,
        .autoReadRefreshEvery = 4,
        .singleRead = true,
        .autoRead = true,
        .singleReadWaits = {250, 250, 300},
        .autoReadWaits = {500, 500, 500},
    };
    return info;
}

class FourthCodec final : public protocols::Codec {
public:
    explicit FourthCodec(int index) : Codec(FourthInfo(index)) {}

    std::optional<protocols::RxLines> ShowRx(protocols::ConstRxFrameSpan rx, protocols::ConstRxFrameSpan,
                                             std::string_view) const override {
        protocols::RxLines lines;
        lines.raw = protocols::HexBytes(rx.first(kRxLength));
        lines.hasValues = true;
        lines.vt = rx[kRxVtHigh] * 256 + rx[kRxVtLow];
        lines.p = rx[kRxP];
        return lines;
    }

    bool CheckControllerFrame(std::span<const std::uint8_t> frame) const override {
        return protocols::XorOf(frame) == 0;
    }

    std::optional<std::string> BuildTemplate(const protocols::TemplateSettings& s) const override {
        char text[sizeof kTemplateFormat];
        std::snprintf(text, sizeof text, kTemplateFormat, unsigned{protocols::GearCodeForPosition(s.gear)},
                      unsigned(s.maxV & 0xFF), Flags(s.zeroStart, s.cruise, s.softStart), unsigned(s.ebs & 0xFF),
                      unsigned(s.throttle >> 8 & 0xFF), unsigned(s.throttle & 0xFF), unsigned(s.maxP & 0xFF));
        return text;
    }

    void Patch(protocols::Setting setting, protocols::OutFrameSpan f, int v) const override {
        using protocols::Setting;
        const auto bit = [&](std::uint8_t b) {
            f[kTxFlags] = static_cast<std::uint8_t>(v ? f[kTxFlags] | b : f[kTxFlags] & ~b);
        };
        switch (setting) {
            case Setting::MaxV:
                f[kTxMaxV] = static_cast<std::uint8_t>(v);
                break;
            case Setting::MaxP:
                f[kTxMaxP] = static_cast<std::uint8_t>(v);
                break;
            case Setting::Ebs:
                f[kTxEbs] = static_cast<std::uint8_t>(v);
                break;
            case Setting::Throttle:
                f[kTxThrottle] = static_cast<std::uint8_t>(v >> 8);
                f[kTxThrottle + 1] = static_cast<std::uint8_t>(v);
                break;
            case Setting::ZeroStart:
                bit(0x01);
                break;
            case Setting::Cruise:
                bit(0x02);
                break;
            case Setting::SoftStart:
                bit(0x04);
                break;
        }
    }

    void Seal(protocols::OutFrameSpan f, std::uint8_t gearCode) const override {
        f[kTxGear] = gearCode;
        f[kTxSum] = protocols::XorOf(f.first(kTxSum));
    }

    static unsigned Flags(int zeroStart, int cruise, int softStart) {
        return (zeroStart ? 0x01u : 0u) | (cruise ? 0x02u : 0u) | (softStart ? 0x04u : 0u);
    }
};

class FourthFrames final : public kmsim::ControllerFrames {
public:
    std::vector<std::uint8_t> Next(std::uint64_t, const kmsim::RideSample& ride, std::uint8_t gearEcho) override {
        std::vector<std::uint8_t> f(kRxLength, 0x00);
        f[0] = kSync0;
        f[1] = kSync1;
        f[kRxVtHigh] = static_cast<std::uint8_t>(ride.speed >> 8);
        f[kRxVtLow] = static_cast<std::uint8_t>(ride.speed);
        f[kRxP] = ride.power;
        f[kRxGearEcho] = gearEcho;
        f[kRxChecksum] = protocols::XorOf(std::span(f).first(kRxChecksum));
        return f;
    }
};

class FourthSide final : public kmsim::ControllerSide {
public:
    explicit FourthSide(const protocols::Codec& codec) : codec_(codec) {}
    const protocols::Codec& Codec() const override { return codec_; }
    std::string_view Help() const override { return "        fourth  the test's own protocol\n"; }
    std::unique_ptr<kmsim::ControllerFrames> NewFrames(std::uint64_t) const override {
        return std::make_unique<FourthFrames>();
    }
    kmsim::DisplayFraming Display() const override { return {kTxLength, kTxStart0, kTxStart1, false}; }
    kmsim::DisplaySettings DecodeDisplay(std::span<const std::uint8_t> f) const override {
        kmsim::DisplaySettings s;
        s.gearCode = f[kTxGear];
        s.gearPosition = kmsim::GearPositionOf(s.gearCode);
        s.maxSpeed = f[kTxMaxV];
        s.zeroStart = (f[kTxFlags] & 0x01) != 0;
        s.cruise = (f[kTxFlags] & 0x02) != 0;
        s.softStart = (f[kTxFlags] & 0x04) != 0;
        s.ebs = f[kTxEbs];
        s.throttle = f[kTxThrottle] * 256 + f[kTxThrottle + 1];
        s.maxPower = f[kTxMaxP];
        return s;
    }

private:
    const protocols::Codec& codec_;
};

// The two registrations a new protocol needs.
int RegisterFourth() {
    static const int index = [] {
        static const FourthCodec codec(static_cast<int>(protocols::Codecs().size()));
        static const FourthSide side(codec);
        const int registered = protocols::RegisterCodec(codec);
        kmsim::RegisterControllerSide(side);
        return registered;
    }();
    return index;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(FourthProtocol, TakesTheNextIndexAndIsFoundByItsName) {
    const int index = RegisterFourth();
    EXPECT_EQ(index, protocols::kProtocolCount);
    EXPECT_EQ(protocols::Protocol(index).name, "fourth");
    EXPECT_EQ(kmsim::ProtocolNamed("fourth"), index);
    EXPECT_EQ(protocols::DecoderListEntries().back(), " Fourth");
}

// Its speed joins the sweep's first ones, and listening finds it through
// the wrong-rate model like any built-in protocol.
TEST(FourthProtocol, IsFoundByListeningAtItsSpeed) {
    const int fourth = RegisterFourth();
    const std::vector<unsigned> speeds = protocols::SweepSpeeds();
    EXPECT_EQ(std::vector<unsigned>(speeds.begin(), speeds.begin() + 3), (std::vector<unsigned>{1200, 9600, 4800}));
    for (const int phase : {0, 30, 70}) {
        const auto run = kmsim::RunSweep(kmsim::ControllerLine(fourth, 40, 1, phase), phase + 1);
        ASSERT_EQ(run.result.kind, protocols::Finding::Kind::Protocol) << phase;
        EXPECT_EQ(run.result.protocol, fourth);
        EXPECT_EQ(run.result.speed, 4800u);
        EXPECT_EQ(run.result.errors, 0);
        EXPECT_LE(run.foundAtMs, 1500) << phase;
    }
}

TEST(FourthProtocol, ReadsContinuouslyAndSimulatesTheDisplayEndToEnd) {
    const int fourth = RegisterFourth();
    kmsim_test::ScratchDir dir;
    platform::SetPortDirectoryOnly(true);
    platform::SetPortDirectory(dir / "ports");

    // The simulator plays the fourth protocol's controller on COM1.
    kmsim::Options options;
    options.protocol = fourth;
    options.port = 1;
    options.portDirectory = dir / "ports";
    options.quiet = true;
    options.logPath = dir / "sim.log";
    options.intervalMs = 20;
    platform::Event quit;
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    std::thread simulator([&] { kmsim::RunSimulator(options, quit, out, out); });
    ASSERT_TRUE(testing_support::WaitFor([] { return platform::ResolveComPort(1).has_value(); }));

    linkcore::LinkState link;
    testing_support::FakeWindow window(link);
    ASSERT_TRUE(linkcore::CreateSyncObjects(link, &window));
    ASSERT_TRUE(linkcore::Connect(link, 1, fourth).opened);
    EXPECT_EQ(link.lineSpeed, 4800);

    // "Авто. чтен." with "имит. БК": the display frames from the generated
    // template, a continuous read of the controller's frames.
    workers::StopForRun(link);
    workers::BeginRun(link, fourth);
    const protocols::TemplateSettings start{fourth, 3, 0, 0, 1, 1, 90, 1, 0};
    workers::StartSimulator(link, *protocols::BuildTemplate(start), fourth);
    workers::StartAutoRead(link);

    ASSERT_TRUE(window.WaitForRequests(CMD_SHOW_RX_FRAME, 2, 10000));
    EXPECT_EQ(window.Statuses(CMD_SHOW_RX_FRAME), (std::vector<int>{4, 8}));
    ASSERT_TRUE(window.WaitForRequests(CMD_SHOW_OUT_FRAME, 1, 10000));

    // A setting patched while frames go out reaches the controller.
    {
        platform::LockHold hold(*link.outLock, 200);
        ASSERT_TRUE(hold.held());
        protocols::PatchMaxV(fourth, link.outFrame, 77);
    }
    const std::string log = dir / "sim.log";
    EXPECT_TRUE(testing_support::WaitFor(
        [&] {
            return FileText(log).find("gear=3 zero-start=0 cruise=0 soft-start=1 max-speed=77") != std::string::npos;
        },
        10000))
        << FileText(log);
    // The controller echoes the gear asked for; the read frames fit the codec.
    EXPECT_TRUE(testing_support::WaitFor([&] {
        platform::LockHold hold(*link.rxLock, 200);
        return hold.held() && link.rxFrame[kRxGearEcho] == 3;
    }));
    {
        platform::LockHold hold(*link.rxLock, 200);
        ASSERT_TRUE(hold.held());
        const std::span<const std::uint8_t> frame(link.rxFrame.data(), kRxLength);
        EXPECT_EQ(protocols::CodecAt(fourth).FitControllerFrame(frame), protocols::FrameFit::Valid);
        const auto lines = protocols::ShowRxLines(fourth, link.rxFrame, link.rawRxFrame, "");
        ASSERT_TRUE(lines && lines->hasValues);
        EXPECT_EQ(lines->p, link.rxFrame[kRxP]);
    }

    workers::StopForRun(link);
    linkcore::Disconnect(link);
    linkcore::ReleaseSyncObjects(link);
    quit.Set();
    simulator.join();

    std::rewind(out);
    char line[1024];
    std::string summary;
    while (std::fgets(line, sizeof line, out)) {
        if (std::string(line).rfind("summary ", 0) == 0) summary = line;
    }
    std::fclose(out);
    EXPECT_NE(summary.find("protocol=fourth"), std::string::npos) << summary;
    EXPECT_NE(summary.find("checksum-errors=0"), std::string::npos) << summary;
    EXPECT_EQ(summary.find("display-frames=0 "), std::string::npos) << summary;
    platform::SetPortDirectory("");
    platform::SetPortDirectoryOnly(false);
}

}  // namespace
