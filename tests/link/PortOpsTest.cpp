#include <gtest/gtest.h>

#include <chrono>

#include "link/Connection.h"
#include "link/PortOps.h"
#include "platform/Event.h"
#include "platform/LineTime.h"
#include "protocols/Catalogue.h"
#include "tests/support/LinkHarness.h"

namespace {

using namespace testing_support;
using linkcore::SendClock;

class PortOps : public LinkHarness {};

// A pseudo-terminal, like a buffering USB adapter, takes a frame at once
// and holds none of it in an output queue: the frame's send time still
// comes no earlier than its line time from the write's start, and the
// flush and the end of sending wait until then.
TEST_F(PortOps, AFrameIsSentNoEarlierThanItsLineTimeFromTheWrite) {
    ASSERT_TRUE(Connect(protocols::kHaltenRs));
    ASSERT_EQ(link.lineSpeed, 1200);
    constexpr std::size_t n = 14;
    const auto lineTime = std::chrono::microseconds(platform::LineTimeUs(n, 1200));
    platform::Event stop;

    const SendClock::time_point begun = SendClock::now();
    const std::chrono::microseconds took = linkcore::SendFrameStart(link, n, stop);
    EXPECT_GE(took, lineTime);
    EXPECT_GE(linkcore::SendFrameFlush(link, begun + took, stop) - begun, lineTime);
    EXPECT_EQ(Receive(n).size(), n);

    // The end of sending, alone and as Disconnect's first step before the
    // port's own settings go back.
    for (const bool disconnect : {false, true}) {
        const SendClock::time_point again = SendClock::now();
        static_cast<void>(linkcore::SendFrameStart(link, n, stop));
        if (disconnect) {
            linkcore::Disconnect(link);
        } else {
            linkcore::FinishSending(link);
        }
        EXPECT_GE(SendClock::now() - again, lineTime) << (disconnect ? "Disconnect" : "FinishSending");
    }
}

}  // namespace
