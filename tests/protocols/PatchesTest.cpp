#include "protocols/Patches.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "FrameHelpers.h"
#include "protocols/Catalogue.h"

namespace protocols {
namespace {

using test::OutFrame;

enum class Handler { MaxP, Throttle, MaxV, ZeroStart, Cruise, SoftStart, Ebs };

// One expected change of the frame.
struct Edit {
    enum Kind { Store, SetBit, ClearBit };
    std::size_t byte;
    Kind kind;
    std::uint8_t operand;
};

struct PatchCase {
    const char* name;
    Handler handler;
    int protocol;  // the index that decides the layout
    int value;     // flags: non-zero is ticked
    std::vector<Edit> edits;
};

void PrintTo(const PatchCase& c, std::ostream* os) { *os << c.name; }

void Apply(const PatchCase& c, OutFrame& frame) {
    const bool on = c.value != 0;
    switch (c.handler) {
        case Handler::MaxP:
            PatchMaxP(c.protocol, frame, c.value);
            break;
        case Handler::Throttle:
            PatchThrottle(c.protocol, frame, c.value);
            break;
        case Handler::MaxV:
            PatchMaxV(c.protocol, frame, c.value);
            break;
        case Handler::ZeroStart:
            PatchZeroStart(c.protocol, frame, on);
            break;
        case Handler::Cruise:
            PatchCruise(c.protocol, frame, on);
            break;
        case Handler::SoftStart:
            PatchSoftStart(c.protocol, frame, on);
            break;
        case Handler::Ebs:
            PatchEbs(c.protocol, frame, c.value);
            break;
    }
}

OutFrame Expected(OutFrame frame, const std::vector<Edit>& edits) {
    for (const Edit& e : edits) {
        std::uint8_t& b = frame[e.byte];
        switch (e.kind) {
            case Edit::Store:
                b = e.operand;
                break;
            case Edit::SetBit:
                b = static_cast<std::uint8_t>(b | e.operand);
                break;
            case Edit::ClearBit:
                b = static_cast<std::uint8_t>(b & ~e.operand);
                break;
        }
    }
    return frame;
}

class PatchTable : public ::testing::TestWithParam<PatchCase> {};

// Each case runs over frames of all zeros, all ones and random bytes, so that
// a bit patch is seen both setting and clearing and leaving its neighbours.
TEST_P(PatchTable, ChangesExactlyTheListedBytes) {
    const PatchCase& c = GetParam();
    std::mt19937 random(31);
    std::vector<OutFrame> bases{test::FilledOutFrame(0x00), test::FilledOutFrame(0xFF)};
    for (int i = 0; i < 8; ++i) bases.push_back(test::RandomBytes<kOutFrameSize>(random));
    for (const OutFrame& base : bases) {
        OutFrame frame = base;
        Apply(c, frame);
        EXPECT_EQ(frame, Expected(base, c.edits));
    }
}

std::string CaseName(const ::testing::TestParamInfo<PatchCase>& info) { return info.param.name; }

constexpr int kUnknown = 7;

INSTANTIATE_TEST_SUITE_P(
    MaxP, PatchTable,
    ::testing::Values(PatchCase{"Kugoo", Handler::MaxP, kKugooM, 37, {{13, Edit::Store, 37}}},
                      PatchCase{"KugooLowByte", Handler::MaxP, kKugooM, 0x1FF, {{13, Edit::Store, 0xFF}}},
                      PatchCase{"Halten", Handler::MaxP, kHaltenRs, 37, {}},
                      PatchCase{"Test", Handler::MaxP, kTest, 37, {}},
                      PatchCase{"NoSelection", Handler::MaxP, kNoProtocol, 37, {}},
                      PatchCase{"Unknown", Handler::MaxP, kUnknown, 37, {}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Throttle, PatchTable,
    ::testing::Values(
        PatchCase{"Kugoo0", Handler::Throttle, kKugooM, 0, {{16, Edit::Store, 0x00}, {17, Edit::Store, 0x00}}},
        PatchCase{"Kugoo255", Handler::Throttle, kKugooM, 255, {{16, Edit::Store, 0x00}, {17, Edit::Store, 0xFF}}},
        PatchCase{"Kugoo256", Handler::Throttle, kKugooM, 256, {{16, Edit::Store, 0x01}, {17, Edit::Store, 0x00}}},
        PatchCase{"Kugoo1100", Handler::Throttle, kKugooM, 1100, {{16, Edit::Store, 0x04}, {17, Edit::Store, 0x4C}}},
        PatchCase{"Halten", Handler::Throttle, kHaltenRs, 1100, {}},
        PatchCase{"Test", Handler::Throttle, kTest, 1100, {}},
        PatchCase{"NoSelection", Handler::Throttle, kNoProtocol, 1100, {}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    MaxV, PatchTable,
    ::testing::Values(PatchCase{"Halten", Handler::MaxV, kHaltenRs, 90, {{7, Edit::Store, 0x5A}}},
                      PatchCase{"HaltenLowByte", Handler::MaxV, kHaltenRs, 0x1FF, {{7, Edit::Store, 0xFF}}},
                      PatchCase{"Kugoo", Handler::MaxV, kKugooM, 100, {{12, Edit::Store, 0x64}}},
                      PatchCase{"Test", Handler::MaxV, kTest, 90, {}},
                      PatchCase{"NoSelection", Handler::MaxV, kNoProtocol, 90, {}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    ZeroStart, PatchTable,
    ::testing::Values(PatchCase{"HaltenOn", Handler::ZeroStart, kHaltenRs, 1, {{6, Edit::SetBit, 0x02}}},
                      PatchCase{"HaltenOff", Handler::ZeroStart, kHaltenRs, 0, {{6, Edit::ClearBit, 0x02}}},
                      PatchCase{"KugooOn", Handler::ZeroStart, kKugooM, 1, {{5, Edit::SetBit, 0x40}}},
                      PatchCase{"KugooOff", Handler::ZeroStart, kKugooM, 0, {{5, Edit::ClearBit, 0x40}}},
                      PatchCase{"Test", Handler::ZeroStart, kTest, 1, {}},
                      PatchCase{"NoSelection", Handler::ZeroStart, kNoProtocol, 0, {}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Cruise, PatchTable,
    ::testing::Values(PatchCase{"HaltenOn", Handler::Cruise, kHaltenRs, 1, {{6, Edit::SetBit, 0x04}}},
                      PatchCase{"HaltenOff", Handler::Cruise, kHaltenRs, 0, {{6, Edit::ClearBit, 0x04}}},
                      PatchCase{"KugooOn", Handler::Cruise, kKugooM, 1, {{18, Edit::SetBit, 0x40}}},
                      PatchCase{"KugooOff", Handler::Cruise, kKugooM, 0, {{18, Edit::ClearBit, 0x40}}},
                      PatchCase{"Test", Handler::Cruise, kTest, 1, {}},
                      PatchCase{"NoSelection", Handler::Cruise, kNoProtocol, 1, {}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    SoftStart, PatchTable,
    ::testing::Values(PatchCase{"HaltenOn", Handler::SoftStart, kHaltenRs, 1, {{6, Edit::SetBit, 0x08}}},
                      PatchCase{"HaltenOff", Handler::SoftStart, kHaltenRs, 0, {{6, Edit::ClearBit, 0x08}}},
                      PatchCase{"KugooOn", Handler::SoftStart, kKugooM, 1, {{10, Edit::Store, 0x01}}},
                      PatchCase{"KugooOff", Handler::SoftStart, kKugooM, 0, {{10, Edit::Store, 0x00}}},
                      PatchCase{"TestOn", Handler::SoftStart, kTest, 1, {{6, Edit::SetBit, 0x08}}},
                      PatchCase{"NoSelectionOff", Handler::SoftStart, kNoProtocol, 0, {{6, Edit::ClearBit, 0x08}}},
                      PatchCase{"UnknownOn", Handler::SoftStart, kUnknown, 1, {{6, Edit::SetBit, 0x08}}}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Ebs, PatchTable,
    ::testing::Values(PatchCase{"Halten", Handler::Ebs, kHaltenRs, 2, {{10, Edit::Store, 0x02}}},
                      PatchCase{"Kugoo", Handler::Ebs, kKugooM, 2, {{9, Edit::Store, 0x02}}},
                      PatchCase{"KugooLowByte", Handler::Ebs, kKugooM, 258, {{9, Edit::Store, 0x02}}},
                      PatchCase{"Test", Handler::Ebs, kTest, 1, {{10, Edit::Store, 0x01}}},
                      PatchCase{"NoSelectionTyped", Handler::Ebs, kNoProtocol, 7, {{10, Edit::Store, 0x07}}},
                      PatchCase{"UnknownNegative", Handler::Ebs, kUnknown, -1, {{10, Edit::Store, 0xFF}}}),
    CaseName);

}  // namespace
}  // namespace protocols
