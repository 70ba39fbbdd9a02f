#include "protocols/Patches.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "FrameHelpers.h"
#include "protocols/Catalogue.h"

namespace protocols {
namespace {

using test::OutFrame;

struct PatchCase {
    const char* name;
    Setting setting;  // the setting control whose patch runs
    int protocol;     // the index that decides the layout
    int value;        // flags: non-zero is ticked
    std::vector<test::Edit> edits;
};

void PrintTo(const PatchCase& c, std::ostream* os) { *os << c.name; }

void Apply(const PatchCase& c, OutFrame& frame) {
    const bool on = c.value != 0;
    switch (c.setting) {
        case Setting::MaxP:
            return PatchMaxP(c.protocol, frame, c.value);
        case Setting::Throttle:
            return PatchThrottle(c.protocol, frame, c.value);
        case Setting::MaxV:
            return PatchMaxV(c.protocol, frame, c.value);
        case Setting::ZeroStart:
            return PatchZeroStart(c.protocol, frame, on);
        case Setting::Cruise:
            return PatchCruise(c.protocol, frame, on);
        case Setting::SoftStart:
            return PatchSoftStart(c.protocol, frame, on);
        case Setting::Ebs:
            return PatchEbs(c.protocol, frame, c.value);
    }
}

class PatchTable : public ::testing::TestWithParam<PatchCase> {};

// The rows of the test decoder, no selection and indices outside the list;
// each codec's own rows are in its test file.
TEST_P(PatchTable, ChangesExactlyTheListedBytes) {
    const PatchCase& c = GetParam();
    test::ExpectEdits([&](OutFrame& frame) { Apply(c, frame); }, c.edits);
}

std::string CaseName(const ::testing::TestParamInfo<PatchCase>& info) { return info.param.name; }

constexpr int kUnknown = 7;

using test::Edit;

INSTANTIATE_TEST_SUITE_P(
    Shared, PatchTable,
    ::testing::Values(PatchCase{"MaxPTest", Setting::MaxP, kTest, 37, {}},
                      PatchCase{"MaxPNoSelection", Setting::MaxP, kNoProtocol, 37, {}},
                      PatchCase{"MaxPUnknown", Setting::MaxP, kUnknown, 37, {}},
                      PatchCase{"ThrottleTest", Setting::Throttle, kTest, 1100, {}},
                      PatchCase{"ThrottleNoSelection", Setting::Throttle, kNoProtocol, 1100, {}},
                      PatchCase{"MaxVTest", Setting::MaxV, kTest, 90, {}},
                      PatchCase{"MaxVNoSelection", Setting::MaxV, kNoProtocol, 90, {}},
                      PatchCase{"ZeroStartTest", Setting::ZeroStart, kTest, 1, {}},
                      PatchCase{"ZeroStartNoSelection", Setting::ZeroStart, kNoProtocol, 0, {}},
                      PatchCase{"CruiseTest", Setting::Cruise, kTest, 1, {}},
                      PatchCase{"CruiseNoSelection", Setting::Cruise, kNoProtocol, 1, {}},
                      PatchCase{"SoftStartTestOn", Setting::SoftStart, kTest, 1, {{6, Edit::SetBit, 0x08}}},
                      PatchCase{
                          "SoftStartNoSelectionOff", Setting::SoftStart, kNoProtocol, 0, {{6, Edit::ClearBit, 0x08}}},
                      PatchCase{"SoftStartUnknownOn", Setting::SoftStart, kUnknown, 1, {{6, Edit::SetBit, 0x08}}},
                      PatchCase{"EbsTest", Setting::Ebs, kTest, 1, {{10, Edit::Store, 0x01}}},
                      PatchCase{"EbsNoSelectionTyped", Setting::Ebs, kNoProtocol, 7, {{10, Edit::Store, 0x07}}},
                      PatchCase{"EbsUnknownNegative", Setting::Ebs, kUnknown, -1, {{10, Edit::Store, 0xFF}}}),
    CaseName);

}  // namespace
}  // namespace protocols
