#pragma once

#include <cstdint>

namespace kmsim {

// What the simulated controller measures at one moment of a ride.
struct RideSample {
    std::uint16_t speed;       // 0.1 km/h; sent as V/T
    std::uint8_t power;        // percent of the motor's power; sent as P
    std::uint8_t temperature;  // controller heat sink, degrees Celsius
};

// Length of one ride: stand, accelerate, cruise, brake, stand.
inline constexpr double kRideCycleSeconds = 30.0;

// A ride that repeats every kRideCycleSeconds. Each cycle's top speed and
// peak power are drawn from the seed, so the same seed and time always give
// the same sample.
RideSample RideAt(std::uint64_t seed, double seconds);

// A well-mixed 64-bit value for the given seed and stream position
// (splitmix64); the simulator's only source of chance.
std::uint64_t MixBits(std::uint64_t seed, std::uint64_t position);

}  // namespace kmsim
