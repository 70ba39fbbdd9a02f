#include "ui/SpeedLadder.h"

#include <array>

namespace ui {

namespace {

constexpr std::array<int, 8> kLadder{600, 1200, 2400, 4800, 9600, 19200, 38400, 115200};

}  // namespace

int SpeedLadderUp(int speed) {
    for (int rate : kLadder) {
        if (rate > speed) return rate;
    }
    return kLadder.back();
}

int SpeedLadderDown(int speed) {
    // Anything above 38400, 115200 and the rates beyond it included, steps
    // down to 38400: the ladder has no step between 38400 and 115200.
    constexpr int kBelowTop = kLadder[kLadder.size() - 2];
    if (speed > kBelowTop) return kBelowTop;
    int below = kLadder.front();
    for (int rate : kLadder) {
        if (rate < speed) below = rate;
    }
    return below;
}

}  // namespace ui
