// The setting controls of the main dialog, driven as a user drives them:
// sliders moved, boxes ticked, arrows pressed. activeProtocol is set
// directly to stand for "during a run of" that protocol.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <map>
#include <thread>
#include <vector>

#include "protocols/Catalogue.h"
#include "protocols/Checksum.h"
#include "protocols/HaltenMask.h"
#include "tests/ui/DialogHarness.h"

namespace {

using namespace testing_ui;
using linkcore::Link;
using platform::ui::Notification;

using Frame = std::array<std::uint8_t, 20>;
using Changes = std::map<int, int>;  // byte position -> new value

constexpr int kTest = protocols::kTest;
constexpr int kHalten = protocols::kHaltenRs;
constexpr int kKugoo = protocols::kKugooM;

// Holds outLock from a thread of its own, as a busy simulator would, until
// released or destroyed.
class OutLockHolder {
public:
    OutLockHolder()
        : thread_([this] {
              held_ = Link().outLock->Acquire(2000);
              taken_ = true;
              release_.get_future().wait();
              if (held_) Link().outLock->Release();
          }) {
        PumpUntil([this] { return taken_.load(); });
    }
    ~OutLockHolder() { Release(); }
    bool held() const { return held_; }
    void Release() {
        if (!thread_.joinable()) return;
        release_.set_value();
        thread_.join();
    }

private:
    std::promise<void> release_;
    std::atomic<bool> taken_{false};
    std::atomic<bool> held_{false};
    std::thread thread_;
};

class Settings : public DialogHarness {
protected:
    static void RunOf(int protocol) { Link().activeProtocol.store(protocol); }

    static Frame OutFrame() {
        platform::LockHold hold(*Link().outLock, 2000);
        EXPECT_TRUE(hold.held());
        return Link().outFrame;
    }
    static void Seed(std::size_t index, std::uint8_t value) {
        platform::LockHold hold(*Link().outLock, 2000);
        ASSERT_TRUE(hold.held());
        Link().outFrame[index] = value;
    }
    static std::uint8_t GearCode() {
        platform::LockHold hold(*Link().outLock, 2000);
        EXPECT_TRUE(hold.held());
        return Link().gearCode;
    }
    static Changes Diff(const Frame& before, const Frame& after) {
        Changes changes;
        for (std::size_t i = 0; i < before.size(); ++i)
            if (before[i] != after[i]) changes[static_cast<int>(i)] = after[i];
        return changes;
    }

    // Frame changes made by `action`.
    template <class Action>
    Changes ChangesBy(Action action) {
        const Frame before = OutFrame();
        action();
        PumpQueued();
        return Diff(before, OutFrame());
    }
};

// --- start-up ---------------------------------------------------------------

TEST_F(Settings, FirstDrawingFillsTheValueBoxesAndPatchesNothing) {
    EXPECT_EQ(Text(IDC_GEAR_CODE), "5");
    EXPECT_EQ(Text(IDC_MAXP_VAL), "1");
    EXPECT_EQ(Text(IDC_THROTTLE_VAL), "0");
    EXPECT_EQ(Text(IDC_MAXV_VAL), "90");
    EXPECT_EQ(Text(IDC_PORT), "1");
    EXPECT_EQ(Text(IDC_EBS), "1");
    EXPECT_TRUE(Checked(IDC_SOFT_START));
    EXPECT_EQ(Link().activeProtocol.load(), 0);
    EXPECT_EQ(OutFrame(), Frame{});
    EXPECT_EQ(GearCode(), 0x05);

    // Every showing draws every slider again; before any run that still
    // patches no byte.
    HideWindow(*dlg);
    dlg->ShowModeless();
    PumpQueued();
    EXPECT_EQ(OutFrame(), Frame{});
    EXPECT_EQ(Text(IDC_GEAR_CODE), "5");
}

TEST_F(Settings, ARedrawPatchesTheSliderBytesOfTheActiveRunAgain) {
    RunOf(kKugoo);
    Seed(12, 0xEE);
    Seed(13, 0xEE);
    Seed(16, 0xEE);
    Seed(17, 0xEE);
    const Changes changes = ChangesBy([&] {
        HideWindow(*dlg);
        dlg->ShowModeless();
    });
    EXPECT_EQ(changes, (Changes{{12, 90}, {13, 1}, {16, 0}, {17, 0}}));
}

// --- patch table ------------------------------------------------------------

TEST_F(Settings, GearSetsTheGearCodeInEveryProtocolAndNoFrameByte) {
    const char* const texts[8] = {"1", "2", "3", "5", "7", "A", "D", "F"};
    const std::uint8_t codes[8] = {0x01, 0x02, 0x03, 0x05, 0x07, 0x0A, 0x0D, 0x0F};
    for (int protocol : {kTest, kHalten, kKugoo}) {
        RunOf(protocol);
        for (int position = 0; position < 8; ++position) {
            SCOPED_TRACE(testing::Message() << "protocol " << protocol << ", gear " << position);
            const Changes changes = ChangesBy([&] { MoveSlider(IDC_GEAR, position); });
            EXPECT_EQ(Text(IDC_GEAR_CODE), texts[position]);
            EXPECT_EQ(GearCode(), codes[position]);
            EXPECT_TRUE(changes.empty());
        }
    }
}

TEST_F(Settings, ThrottleGoesOutHighByteFirstInAKugooRunOnly) {
    RunOf(kKugoo);
    EXPECT_EQ(ChangesBy([&] { MoveSlider(IDC_THROTTLE, 1100); }), (Changes{{16, 0x04}, {17, 0x4C}}));
    EXPECT_EQ(Text(IDC_THROTTLE_VAL), "1100");
    EXPECT_EQ(ChangesBy([&] { MoveSlider(IDC_THROTTLE, 300); }), (Changes{{16, 0x01}, {17, 0x2C}}));

    for (int protocol : {kHalten, kTest}) {
        SCOPED_TRACE(protocol);
        RunOf(protocol);
        EXPECT_EQ(ChangesBy([&] { MoveSlider(IDC_THROTTLE, 1100); }), Changes{});
        EXPECT_EQ(Text(IDC_THROTTLE_VAL), "1100");
        MoveSlider(IDC_THROTTLE, 0);
        EXPECT_EQ(Text(IDC_THROTTLE_VAL), "0");
    }
}

TEST_F(Settings, MaxPowerPatchesByte13InAKugooRunOnly) {
    RunOf(kKugoo);
    EXPECT_EQ(ChangesBy([&] { MoveSlider(IDC_MAXP, 77); }), (Changes{{13, 77}}));
    EXPECT_EQ(Text(IDC_MAXP_VAL), "77");

    for (int protocol : {kHalten, kTest}) {
        SCOPED_TRACE(protocol);
        RunOf(protocol);
        EXPECT_EQ(ChangesBy([&] { MoveSlider(IDC_MAXP, 100); }), Changes{});
        EXPECT_EQ(Text(IDC_MAXP_VAL), "100");
        MoveSlider(IDC_MAXP, 0);
        EXPECT_EQ(Text(IDC_MAXP_VAL), "0");
    }
}

TEST_F(Settings, MaxSpeedPatchesByte7ForHaltenAnd12ForKugoo) {
    RunOf(kHalten);
    EXPECT_EQ(ChangesBy([&] { MoveSlider(IDC_MAXV, 55); }), (Changes{{7, 55}}));
    EXPECT_EQ(Text(IDC_MAXV_VAL), "55");

    RunOf(kKugoo);
    EXPECT_EQ(ChangesBy([&] { MoveSlider(IDC_MAXV, 100); }), (Changes{{12, 100}}));
    EXPECT_EQ(Text(IDC_MAXV_VAL), "100");

    RunOf(kTest);
    EXPECT_EQ(ChangesBy([&] { MoveSlider(IDC_MAXV, 0); }), Changes{});
    EXPECT_EQ(Text(IDC_MAXV_VAL), "0");
}

TEST_F(Settings, ZeroStartSetsAndClearsItsBitAndLeavesTheOthers) {
    RunOf(kHalten);
    Seed(6, 0xFC);
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_ZERO_START, true); }), (Changes{{6, 0xFE}}));
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_ZERO_START, false); }), (Changes{{6, 0xFC}}));

    RunOf(kKugoo);
    Seed(5, 0x81);
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_ZERO_START, true); }), (Changes{{5, 0xC1}}));
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_ZERO_START, false); }), (Changes{{5, 0x81}}));

    RunOf(kTest);
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_ZERO_START, true); }), Changes{});
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_ZERO_START, false); }), Changes{});
}

TEST_F(Settings, CruiseFollowsTheDecoderListNotTheRun) {
    // Kugoo M in the list during a Halten RS run: the Kugoo byte, which the
    // Halten frame never sends, takes the bit.
    RunOf(kHalten);
    Seed(6, 0x08);
    SelectDecoder(2);
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_CRUISE, true); }), (Changes{{18, 0x40}}));
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_CRUISE, false); }), (Changes{{18, 0x00}}));

    // And the other way round.
    RunOf(kKugoo);
    SelectDecoder(1);
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_CRUISE, true); }), (Changes{{6, 0x0C}}));
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_CRUISE, false); }), (Changes{{6, 0x08}}));

    SelectDecoder(0);
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_CRUISE, true); }), Changes{});
}

TEST_F(Settings, SoftStartIsAByteInAKugooRunAndABitOtherwise) {
    RunOf(kKugoo);
    Seed(6, 0x0F);
    Seed(10, 0x55);
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_SOFT_START, false); }), (Changes{{10, 0}}));
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_SOFT_START, true); }), (Changes{{10, 1}}));
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_SOFT_START, false); }), (Changes{{10, 0}}));

    RunOf(kHalten);
    Seed(6, 0x07);
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_SOFT_START, true); }), (Changes{{6, 0x0F}}));
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_SOFT_START, false); }), (Changes{{6, 0x07}}));

    // A run of the test decoder patches the Halten RS bit as well.
    RunOf(kTest);
    EXPECT_EQ(ChangesBy([&] { Tick(IDC_SOFT_START, true); }), (Changes{{6, 0x0F}}));
}

TEST_F(Settings, EbsGoesToByte9ForKugooAndByte10Otherwise) {
    RunOf(kKugoo);
    Seed(10, 1);  // soft start's byte keeps its value
    EXPECT_EQ(ChangesBy([&] { Arrow(IDC_EBS_SPIN, true); }), (Changes{{9, 2}}));
    EXPECT_EQ(Text(IDC_EBS), "2");

    RunOf(kHalten);
    Seed(10, 0x55);
    EXPECT_EQ(ChangesBy([&] { Arrow(IDC_EBS_SPIN, false); }), (Changes{{10, 1}}));
    EXPECT_EQ(Text(IDC_EBS), "1");

    RunOf(kTest);
    Seed(10, 0x55);
    EXPECT_EQ(ChangesBy([&] { Arrow(IDC_EBS_SPIN, false); }), (Changes{{10, 0}}));
    EXPECT_EQ(Text(IDC_EBS), "0");
}

// --- up-down bounds -------------------------------------------------------

TEST_F(Settings, PortArrowsStayWithin1To10AndStepTypedValues) {
    RunOf(kKugoo);
    const Changes changes = ChangesBy([&] {
        for (int expected = 2; expected <= 12; ++expected) {
            Arrow(IDC_PORT_SPIN, true);
            EXPECT_EQ(Text(IDC_PORT), std::to_string(std::min(expected, 10)));
        }
        for (int expected = 9; expected >= -1; --expected) {
            Arrow(IDC_PORT_SPIN, false);
            EXPECT_EQ(Text(IDC_PORT), std::to_string(std::max(expected, 1)));
        }
    });
    EXPECT_TRUE(changes.empty());  // the port number is for the next Connect only
    EXPECT_EQ(dlg->m_portNumber, 1);

    // The bounds hold for the arrows only: typed values beyond them are
    // stepped towards the range, never away from it.
    SetText(IDC_PORT, "15");
    Arrow(IDC_PORT_SPIN, false);
    EXPECT_EQ(Text(IDC_PORT), "14");
    SetText(IDC_PORT, "15");
    Arrow(IDC_PORT_SPIN, true);
    EXPECT_EQ(Text(IDC_PORT), "15");
    SetText(IDC_PORT, "0");
    Arrow(IDC_PORT_SPIN, true);
    EXPECT_EQ(Text(IDC_PORT), "1");
    SetText(IDC_PORT, "0");
    Arrow(IDC_PORT_SPIN, false);
    EXPECT_EQ(Text(IDC_PORT), "0");

    // A change of 0 leaves the number alone.
    SetText(IDC_PORT, "4");
    dlg->Notify(Notification::UpDownStep, IDC_PORT_SPIN, 0);
    EXPECT_EQ(Text(IDC_PORT), "4");
    dlg->Notify(Notification::UpDownStep, IDC_PORT_SPIN, -1);
    EXPECT_EQ(Text(IDC_PORT), "5");
}

TEST_F(Settings, EbsArrowsStayWithin0To2AndPatchOnEveryPress) {
    RunOf(kKugoo);
    Arrow(IDC_EBS_SPIN, true);
    EXPECT_EQ(Text(IDC_EBS), "2");
    // At the bound the value stays, and the byte is written all the same.
    Seed(9, 0xEE);
    EXPECT_EQ(ChangesBy([&] { Arrow(IDC_EBS_SPIN, true); }), (Changes{{9, 2}}));
    EXPECT_EQ(Text(IDC_EBS), "2");

    for (const char* expected : {"1", "0", "0"}) {
        dlg->Notify(Notification::UpDownStep, IDC_EBS_SPIN, +1);
        EXPECT_EQ(Text(IDC_EBS), expected);
    }
    EXPECT_EQ(OutFrame()[9], 0);

    SetText(IDC_EBS, "7");
    Arrow(IDC_EBS_SPIN, false);
    EXPECT_EQ(Text(IDC_EBS), "6");
    EXPECT_EQ(OutFrame()[9], 6);

    SetText(IDC_EBS, "7");
    Arrow(IDC_EBS_SPIN, true);
    EXPECT_EQ(Text(IDC_EBS), "7");
    EXPECT_EQ(OutFrame()[9], 7);

    // Only the low byte goes into the frame.
    SetText(IDC_EBS, "300");
    Arrow(IDC_EBS_SPIN, true);
    EXPECT_EQ(Text(IDC_EBS), "300");
    EXPECT_EQ(OutFrame()[9], 0x2C);
}

// --- counter button ---------------------------------------------------------

TEST_F(Settings, CounterButtonWritesTheLinkStatusWithATrailingBlank) {
    EXPECT_FALSE(Window().Shown(IDC_COUNTER_BTN));
    const std::pair<int, const char*> cases[] = {{-1, "-1 "}, {0, "0 (TimeOut)"}, {17, "17 "}, {300, "300 "}};
    for (const auto& [status, text] : cases) {
        Link().linkStatus.store(status);
        dlg->OnCounterClicked();
        EXPECT_EQ(Text(IDC_COUNTER), text) << status;
    }
    // Through the message map, as the button's click would.
    Link().linkStatus.store(0);
    dlg->Notify(Notification::Clicked, IDC_COUNTER_BTN);
    EXPECT_EQ(Text(IDC_COUNTER), "0 (TimeOut)");
    EXPECT_FALSE(Enabled(IDC_CAPTURE));  // unlike a refresh, the button enables nothing
}

// --- a busy outLock ---------------------------------------------------------

TEST_F(Settings, AHeldOutLockSkipsThePatchButNotTheValue) {
    RunOf(kKugoo);
    {
        OutLockHolder holder;
        ASSERT_TRUE(holder.held());
        MoveSlider(IDC_THROTTLE, 500);
        EXPECT_EQ(Text(IDC_THROTTLE_VAL), "500");
        MoveSlider(IDC_GEAR, 7);
        EXPECT_EQ(Text(IDC_GEAR_CODE), "F");
        Arrow(IDC_EBS_SPIN, true);
        EXPECT_EQ(Text(IDC_EBS), "2");
        Tick(IDC_ZERO_START, true);
    }
    EXPECT_EQ(OutFrame(), Frame{});
    EXPECT_EQ(GearCode(), 0x05);

    // The sliders catch up at their next drawing; the check box and the
    // EBS byte only when their handler runs again.
    MoveSlider(IDC_THROTTLE, 501);
    MoveSlider(IDC_GEAR, 6);
    EXPECT_EQ(OutFrame(), (Frame{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0xF5, 0, 0}));
    EXPECT_EQ(GearCode(), 0x0D);
    Tick(IDC_ZERO_START, false);
    Tick(IDC_ZERO_START, true);
    EXPECT_EQ(OutFrame()[5], 0x40);
}

// --- with the simulator sending to the peer -------------------------------

class SettingsOnTheLine : public Settings {
protected:
    // The next whole display frame from the line.
    std::vector<std::uint8_t> NextFrame(std::size_t length) {
        std::vector<std::uint8_t> frame = Receive(length);
        EXPECT_EQ(frame.size(), length);
        if (frame.size() == length) {
            EXPECT_EQ(protocols::XorOf(frame), 0);
        }
        return frame;
    }

    // Reads frames until `wanted` holds for one, within ms.
    template <class Wanted>
    bool FrameComes(std::size_t length, Wanted wanted, int ms = 5000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < deadline) {
            const std::vector<std::uint8_t> frame = NextFrame(length);
            if (frame.size() != length) return false;
            if (wanted(frame)) return true;
        }
        return false;
    }

    // Reads until the line has been quiet for a while.
    void DrainLine() {
        for (int round = 0; round < 50; ++round) {
            if (Receive(256, 300).empty()) return;
        }
        ADD_FAILURE() << "the line never fell quiet";
    }
};

TEST_F(SettingsOnTheLine, KugooThrottleReachesTheNextFramesAndUntickingStopsThem) {
    Connect(2);
    Tick(IDC_SIMULATE, true);
    Click(IDC_READ_AUTO);
    ASSERT_EQ(Link().activeProtocol.load(), kKugoo);

    const std::vector<std::uint8_t> first = NextFrame(20);
    ASSERT_EQ(first.size(), 20u);
    EXPECT_EQ(first[16], 0x00);
    EXPECT_EQ(first[17], 0x00);

    MoveSlider(IDC_THROTTLE, 1100);
    EXPECT_TRUE(FrameComes(20, [](const std::vector<std::uint8_t>& f) { return f[16] == 0x04 && f[17] == 0x4C; }));
    // Once there, it stays.
    const std::vector<std::uint8_t> later = NextFrame(20);
    ASSERT_EQ(later.size(), 20u);
    EXPECT_EQ(later[16], 0x04);
    EXPECT_EQ(later[17], 0x4C);

    Tick(IDC_SIMULATE, false);
    EXPECT_EQ(Window().SliderPos(IDC_THROTTLE), 0);
    EXPECT_EQ(Text(IDC_THROTTLE_VAL), "0");
    DrainLine();
    EXPECT_TRUE(Receive(1, 500).empty());
    // The slider's redraw at 0 put the throttle bytes back as well.
    EXPECT_EQ(OutFrame()[16], 0x00);
    EXPECT_EQ(OutFrame()[17], 0x00);
}

TEST_F(SettingsOnTheLine, HaltenGearReachesTheMaskedGearByte) {
    Connect(1);
    Tick(IDC_SIMULATE, true);
    Click(IDC_READ_AUTO);
    ASSERT_EQ(Link().activeProtocol.load(), kHalten);

    auto maskedGear = [](const std::vector<std::uint8_t>& f, std::uint8_t code) {
        return f[5] == static_cast<std::uint8_t>(protocols::kHaltenMask[f[2] & 0x7F] + code);
    };
    const std::vector<std::uint8_t> first = NextFrame(15);
    ASSERT_EQ(first.size(), 15u);
    EXPECT_TRUE(maskedGear(first, 0x05));

    MoveSlider(IDC_GEAR, 7);
    EXPECT_EQ(Text(IDC_GEAR_CODE), "F");
    EXPECT_TRUE(FrameComes(15, [&](const std::vector<std::uint8_t>& f) { return maskedGear(f, 0x0F); }));
    // The following frames, with their own counters, keep the new gear.
    for (int i = 0; i < 3; ++i) {
        const std::vector<std::uint8_t> frame = NextFrame(15);
        ASSERT_EQ(frame.size(), 15u);
        EXPECT_TRUE(maskedGear(frame, 0x0F)) << "counter " << int(frame[2]);
    }
}

}  // namespace
