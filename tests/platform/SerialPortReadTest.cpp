#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <numeric>
#include <vector>

#include "platform/Event.h"
#include "platform/LineSettings.h"
#include "tests/platform/PortFixture.h"
#include "tests/support/DescriptorLimit.h"

namespace zonter_test {
namespace {

using platform::Event;
using platform::ReadOutcome;

std::vector<std::uint8_t> Sequence(std::size_t n, std::uint8_t first = 0x30) {
    std::vector<std::uint8_t> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

using ReadExactTest = PortFixture;

TEST_F(ReadExactTest, ReadInPiecesCompletesWithTheLastByte) {
    const auto frame = Sequence(14);
    std::array<std::uint8_t, 14> dest{};
    Event stop;
    ReadOutcome outcome = ReadOutcome::TimedOut;
    Background reader([&] { outcome = port_->ReadExact(dest.data(), dest.size(), 5000, &stop); });
    ASSERT_TRUE(reader.WaitUntilBlocked());
    const ThreadProbe probe = reader.probe();
    const std::int64_t before = probe.BytesRead();

    // Each piece is taken before the next is sent, so the read really is
    // assembled from several reads of the line.
    std::size_t sent = 0;
    for (std::size_t piece : {5u, 5u, 3u}) {
        ASSERT_TRUE(peer_->WriteAll(std::span(frame).subspan(sent, piece)));
        sent += piece;
        ASSERT_TRUE(WaitUntil([&] { return probe.BytesRead() - before == static_cast<std::int64_t>(sent); }));
        ASSERT_TRUE(reader.WaitUntilBlocked());
        EXPECT_FALSE(reader.done()) << "completed after " << sent << " bytes";
    }

    const auto start = Clock::now();
    ASSERT_TRUE(peer_->WriteAll(std::span(frame).subspan(13)));
    reader.Join();
    EXPECT_EQ(outcome, ReadOutcome::Completed);
    EXPECT_LT(MsSince(start), 2000);
    EXPECT_TRUE(std::equal(dest.begin(), dest.end(), frame.begin()));
}

TEST_F(ReadExactTest, ShortReadTimesOutAndTheMissingByteGoesToTheNextRead) {
    const auto bytes = Sequence(17);
    ASSERT_TRUE(peer_->WriteAll(std::span(bytes).first(13)));
    ASSERT_TRUE(WaitForPending(13));

    std::array<std::uint8_t, 14> dest{};
    const auto start = Clock::now();
    EXPECT_EQ(port_->ReadExact(dest.data(), dest.size(), 300, nullptr), ReadOutcome::TimedOut);
    EXPECT_GE(MsSince(start), 300);
    EXPECT_TRUE(std::equal(dest.begin(), dest.begin() + 13, bytes.begin()));
    EXPECT_EQ(dest[13], 0);

    ASSERT_TRUE(peer_->WriteAll(std::span(bytes).subspan(13)));
    std::array<std::uint8_t, 4> next{};
    ASSERT_EQ(port_->ReadExact(next.data(), next.size(), 2000, nullptr), ReadOutcome::Completed);
    EXPECT_TRUE(std::equal(next.begin(), next.end(), bytes.begin() + 13));
}

TEST_F(ReadExactTest, BytesBeyondTheCountStayQueued) {
    const auto bytes = Sequence(20);
    ASSERT_TRUE(peer_->WriteAll(bytes));
    ASSERT_TRUE(WaitForPending(20));

    std::array<std::uint8_t, 14> first{};
    ASSERT_EQ(port_->ReadExact(first.data(), first.size(), 1000, nullptr), ReadOutcome::Completed);
    EXPECT_EQ(Pending(), 6);
    std::array<std::uint8_t, 6> rest{};
    ASSERT_EQ(port_->ReadExact(rest.data(), rest.size(), 1000, nullptr), ReadOutcome::Completed);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), bytes.begin()));
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), bytes.begin() + 14));
}

TEST_F(ReadExactTest, StopWakesAPendingReadAndKeepsWhatCameSoFar) {
    std::array<std::uint8_t, 14> dest{};
    Event stop;
    ReadOutcome outcome = ReadOutcome::Completed;
    Background reader([&] { outcome = port_->ReadExact(dest.data(), dest.size(), 10000, &stop); });
    ASSERT_TRUE(reader.WaitUntilBlocked());
    const ThreadProbe probe = reader.probe();
    const std::int64_t before = probe.BytesRead();
    ASSERT_TRUE(peer_->WriteAll(std::vector<std::uint8_t>{0xA1, 0xA2, 0xA3}));
    ASSERT_TRUE(WaitUntil([&] { return probe.BytesRead() - before == 3; }));
    ASSERT_TRUE(reader.WaitUntilBlocked());

    const auto start = Clock::now();
    stop.Set();
    reader.Join();
    EXPECT_EQ(outcome, ReadOutcome::Stopped);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_EQ(dest[0], 0xA1);
    EXPECT_EQ(dest[2], 0xA3);
    EXPECT_EQ(dest[3], 0);
}

// After a partial read the reader waits out the line time of the bytes
// still missing instead of waking for each of them. At 50 bit/s the 11
// missing bytes of a 14-byte frame take 2.2 s of line time.
class SlowLineReadTest : public PortFixture {
protected:
    void SetUp() override {
        PortFixture::SetUp();
        if (HasFatalFailure()) return;
        platform::LineSettings slow;
        ASSERT_TRUE(platform::BuildLineSettings("baud=50 parity=N data=8 stop=1", slow));
        ASSERT_TRUE(port_->ApplySettings(slow));
    }
};

TEST_F(SlowLineReadTest, AStopEndsTheWaitForTheMissingBytesAtOnce) {
    // A single byte: the rest is awaited for its line time. A packet: the
    // rest is awaited by the next packet. A stop ends either wait.
    for (const std::size_t piece : {1u, 3u}) {
        SCOPED_TRACE(piece);
        std::array<std::uint8_t, 14> dest{};
        Event stop;
        ReadOutcome outcome = ReadOutcome::Completed;
        Background reader([&] { outcome = port_->ReadExact(dest.data(), dest.size(), 10000, &stop); });
        ASSERT_TRUE(reader.WaitUntilBlocked());
        const ThreadProbe probe = reader.probe();
        const std::int64_t before = probe.BytesRead();
        ASSERT_TRUE(peer_->WriteAll(Sequence(piece)));
        ASSERT_TRUE(WaitUntil([&] { return probe.BytesRead() - before == static_cast<std::int64_t>(piece); }));
        ASSERT_TRUE(reader.WaitUntilBlocked());

        const auto start = Clock::now();
        stop.Set();
        reader.Join();
        EXPECT_EQ(outcome, ReadOutcome::Stopped);
        EXPECT_LT(MsSince(start), 1000) << "the stop waited for the line time";
        EXPECT_EQ(dest[piece - 1], 0x30 + piece - 1);
        EXPECT_EQ(dest[piece], 0);
    }
}

TEST_F(SlowLineReadTest, TheReadCompletesWithTheNthByteAndLeavesTheRestQueued) {
    // The missing bytes come well before their line time (a pseudo-terminal
    // has none) and before the bound; the read still takes exactly 14.
    for (const int boundMs : {10000, 400}) {
        SCOPED_TRACE(boundMs);
        std::array<std::uint8_t, 14> dest{};
        Event stop;
        ReadOutcome outcome = ReadOutcome::TimedOut;
        Background reader([&] { outcome = port_->ReadExact(dest.data(), dest.size(), boundMs, &stop); });
        ASSERT_TRUE(reader.WaitUntilBlocked());
        const ThreadProbe probe = reader.probe();
        const std::int64_t before = probe.BytesRead();
        const auto bytes = Sequence(17);
        ASSERT_TRUE(peer_->WriteAll(std::span(bytes).first(3)));
        ASSERT_TRUE(WaitUntil([&] { return probe.BytesRead() - before == 3; }));
        ASSERT_TRUE(peer_->WriteAll(std::span(bytes).subspan(3)));
        reader.Join();
        EXPECT_EQ(outcome, ReadOutcome::Completed);
        EXPECT_TRUE(std::equal(dest.begin(), dest.end(), bytes.begin()));
        EXPECT_EQ(Pending(), 3);
        std::array<std::uint8_t, 3> rest{};
        ASSERT_EQ(port_->ReadExact(rest.data(), rest.size(), 1000, nullptr), ReadOutcome::Completed);
        EXPECT_TRUE(std::equal(rest.begin(), rest.end(), bytes.begin() + 14));
    }
}

TEST_F(SlowLineReadTest, AwaitingAFrameWaitsOnlyForWhatIsMissingReadsNothingAndWakesOnAStop) {
    Event stop;
    // What the driver holds already needs no wait, and stays queued.
    ASSERT_TRUE(peer_->WriteAll(Sequence(5)));
    ASSERT_TRUE(WaitUntil([&] { return Pending() == 5; }));
    EXPECT_EQ(port_->AwaitBytes(5, 10000, &stop), 0);
    EXPECT_EQ(Pending(), 5);
    // Missing bytes are waited for at most the bound (at 50 bit/s their
    // line time is far longer), and nothing is read meanwhile.
    EXPECT_EQ(port_->AwaitBytes(14, 50, &stop), 50);
    EXPECT_EQ(Pending(), 5);
    // A stop ends the wait at once.
    int waited = 0;
    Background waiter([&] { waited = port_->AwaitBytes(14, 10000, &stop); });
    ASSERT_TRUE(waiter.WaitUntilBlocked());
    const auto start = Clock::now();
    stop.Set();
    waiter.Join();
    EXPECT_EQ(waited, -1);
    EXPECT_LT(MsSince(start), 1000) << "the stop waited for the line time";
}

TEST_F(SlowLineReadTest, HowTheLineDeliversDecidesWhetherAFrameIsAwaitedByLineTime) {
    Event stop;
    // A read that slept until bytes came, each time taking what one write
    // of the peer delivered.
    const auto wokenRead = [&](std::size_t n, std::initializer_list<std::size_t> pieces) {
        std::vector<std::uint8_t> dest(n);
        ReadOutcome outcome = ReadOutcome::TimedOut;
        Background reader([&] { outcome = port_->ReadExact(dest.data(), n, 10000, &stop); });
        const ThreadProbe probe = reader.probe();
        std::size_t sent = 0;
        for (const std::size_t piece : pieces) {
            ASSERT_TRUE(reader.WaitUntilBlocked());
            const std::int64_t before = probe.BytesRead();
            ASSERT_TRUE(peer_->WriteAll(Sequence(piece)));
            sent += piece;
            // The last piece ends the read (and its thread).
            if (sent < n) {
                ASSERT_TRUE(WaitUntil([&] { return probe.BytesRead() - before == static_cast<std::int64_t>(piece); }));
            }
        }
        reader.Join();
        EXPECT_EQ(outcome, ReadOutcome::Completed);
        EXPECT_EQ(sent, n);
    };
    // Bytes one by one (a sync byte with nothing behind it): the rest of
    // a frame is awaited for its line time, here up to the bound.
    wokenRead(1, {1});
    EXPECT_EQ(port_->AwaitBytes(14, 50, &stop), 50);
    // Bytes in packets: the next packet wakes the read, so nothing is
    // awaited, and a read that is short completes with the next packet.
    wokenRead(5, {3, 2});
    EXPECT_EQ(port_->AwaitBytes(14, 50, &stop), 0);
    EXPECT_EQ(Pending(), 0);
    // A line that trickles again is awaited again.
    wokenRead(1, {1});
    EXPECT_EQ(port_->AwaitBytes(14, 50, &stop), 50);
}

TEST_F(ReadExactTest, AStopAlreadySetWinsOverWaitingBytes) {
    ASSERT_TRUE(peer_->WriteAll(Sequence(14)));
    ASSERT_TRUE(WaitForPending(14));
    Event stop;
    stop.Set();
    std::array<std::uint8_t, 14> dest{};
    EXPECT_EQ(port_->ReadExact(dest.data(), dest.size(), 5000, &stop), ReadOutcome::Stopped);
    EXPECT_EQ(Pending(), 14);
}

// A pseudo-terminal whose peer closed hangs up (POLLHUP, poll(2)): the
// line is gone at once, and stays so without spinning.
TEST_F(ReadExactTest, APeerThatHungUpMakesTheLineGoneAtOnceWithoutSpinning) {
    peer_->HangUp();
    std::array<std::uint8_t, 14> dest{};
    Event stop;

    const double cpuBefore = ProcessCpuMs();
    const auto start = Clock::now();
    EXPECT_EQ(port_->ReadExact(dest.data(), dest.size(), 5000, &stop), ReadOutcome::Gone);
    EXPECT_EQ(port_->ReadExact(dest.data(), dest.size(), 5000, nullptr), ReadOutcome::Gone);
    EXPECT_LT(MsSince(start), 2500);
    EXPECT_LT(ProcessCpuMs() - cpuBefore, 50.0);
    EXPECT_TRUE(port_->Gone());
    EXPECT_FALSE(port_->GoneReason().empty());
}

TEST_F(ReadExactTest, AReadWaitingWhenThePeerHangsUpEndsGoneAtOnce) {
    std::array<std::uint8_t, 14> dest{};
    Event stop;
    ReadOutcome outcome = ReadOutcome::Completed;
    Background reader([&] { outcome = port_->ReadExact(dest.data(), dest.size(), 10000, &stop); });
    ASSERT_TRUE(reader.WaitUntilBlocked());

    const auto start = Clock::now();
    peer_->HangUp();
    reader.Join();
    EXPECT_EQ(outcome, ReadOutcome::Gone);
    EXPECT_LT(MsSince(start), 1000);
}

// A stop event the system refused counts as set: the port neither reads
// nor writes with it, and no bound is waited out.
TEST_F(ReadExactTest, AStopTheSystemRefusedEndsReadsAndWritesAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto child = [&] {
        CHILD_CHECK(peer_->WriteAll(Sequence(4)));
        CHILD_CHECK(WaitForPending(4));
        CHILD_CHECK(testing_support::LeaveSpareDescriptors(0));
        Event refused;
        CHILD_CHECK(!refused.Valid());

        const auto start = Clock::now();
        std::array<std::uint8_t, 4> dest{};
        CHILD_CHECK(port_->ReadExact(dest.data(), dest.size(), 10000, &refused) == ReadOutcome::Stopped);
        CHILD_CHECK(Pending() == 4);
        CHILD_CHECK(!port_->Write(dest.data(), dest.size(), &refused));
        port_->Drain(&refused);
        std::uint8_t sent = 0;
        CHILD_CHECK(peer_->ReadSome(&sent, 1, 0) == 0u);
        CHILD_CHECK(MsSince(start) < 1000);
        std::_Exit(0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST_F(ReadExactTest, WriteFailsOnAHungUpLine) {
    peer_->HangUp();
    Event stop;
    const std::array<std::uint8_t, 3> bytes{1, 2, 3};
    EXPECT_FALSE(port_->Write(bytes.data(), bytes.size(), &stop));
    EXPECT_TRUE(port_->Gone());
}

}  // namespace
}  // namespace zonter_test
