#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>

#include "platform/Event.h"
#include "platform/LineSettings.h"
#include "platform/LineTime.h"
#include "platform/SerialPort.h"

namespace testing_support {

// For a port on a driver that takes a frame at once and then reports an
// empty output queue, as a buffering (USB) adapter does: the frame still
// takes its line time from the write's start, and Drain waits for it.
inline void ExpectAFrameTakesItsLineTime(platform::SerialPort& port) {
    platform::LineSettings slow;
    ASSERT_TRUE(platform::BuildLineSettings("baud=1200 parity=N data=8 stop=1", slow));
    ASSERT_TRUE(port.ApplySettings(slow));
    const std::array<std::uint8_t, 14> frame{};
    const auto lineTime = std::chrono::microseconds(platform::LineTimeUs(frame.size(), 1200));
    platform::Event stop;
    const auto begun = std::chrono::steady_clock::now();
    ASSERT_TRUE(port.Write(frame.data(), frame.size(), &stop));
    EXPECT_EQ(port.QueuedOutputTime(), std::chrono::microseconds::zero());
    EXPECT_GE(port.LineFreeAt() - begun, lineTime);
    port.Drain(&stop);
    EXPECT_GE(std::chrono::steady_clock::now() - begun, lineTime);
}

}  // namespace testing_support
