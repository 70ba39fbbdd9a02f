#include "tools/kmsim/Ride.h"

#include <algorithm>
#include <cmath>

namespace kmsim {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Phase boundaries within a cycle, in seconds.
constexpr double kStartMoving = 2.0;
constexpr double kReachTop = 10.0;
constexpr double kStartBraking = 20.0;
constexpr double kStopped = 27.0;

template <typename T>
T Clamped(double value, double high) {
    return static_cast<T>(std::lround(std::clamp(value, 0.0, high)));
}

}  // namespace

std::uint64_t MixBits(std::uint64_t seed, std::uint64_t position) {
    std::uint64_t z = seed + (position + 1) * 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

RideSample RideAt(std::uint64_t seed, double seconds) {
    if (!(seconds > 0.0)) seconds = 0.0;
    const double cycles = std::floor(seconds / kRideCycleSeconds);
    const double u = seconds - cycles * kRideCycleSeconds;
    const std::uint64_t draw = MixBits(seed, static_cast<std::uint64_t>(cycles));

    const double top = 150.0 + static_cast<double>(draw % 181);              // 15.0 .. 33.0 km/h
    const double peakPower = 70.0 + static_cast<double>((draw >> 16) % 31);  // 70 .. 100 %

    double speed = 0.0;
    double power = 0.0;
    if (u >= kStartMoving && u < kReachTop) {
        // Pulls hard from standstill and eases off as the speed comes up.
        const double x = (u - kStartMoving) / (kReachTop - kStartMoving);
        speed = top * (1.0 - (1.0 - x) * (1.0 - x));
        power = peakPower * (1.0 - 0.6 * x);
    } else if (u >= kReachTop && u < kStartBraking) {
        const double wave = std::sin(2.0 * kPi * (u - kReachTop) / (kStartBraking - kReachTop));
        speed = top * (1.0 + 0.03 * wave);
        power = 25.0 + 8.0 * wave;
    } else if (u >= kStartBraking && u < kStopped) {
        const double x = (u - kStartBraking) / (kStopped - kStartBraking);
        speed = top * (1.0 - x) * (1.0 - x);
    }
    return RideSample{
        .speed = Clamped<std::uint16_t>(speed, 65535.0),
        .power = Clamped<std::uint8_t>(power, 100.0),
        .temperature = Clamped<std::uint8_t>(30.0 + power / 5.0, 255.0),
    };
}

}  // namespace kmsim
