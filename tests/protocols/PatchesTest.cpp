#include "protocols/Patches.h"

#include <gtest/gtest.h>

#include "FrameHelpers.h"
#include "protocols/Catalogue.h"

namespace protocols {
namespace {

using test::OutFrame;

class PatchTable : public ::testing::TestWithParam<test::PatchRow> {};

// The rows of the test decoder, no selection and indices outside the list;
// each codec's own rows are in its test file and run by index there too.
TEST_P(PatchTable, ChangesExactlyTheListedBytes) {
    const test::PatchRow& c = GetParam();
    test::ExpectEdits([&](OutFrame& frame) { test::PatchByIndex(c, frame); }, c.edits);
}

constexpr int kUnknown = 7;

using test::Edit;
using Row = test::PatchRow;

INSTANTIATE_TEST_SUITE_P(
    Shared, PatchTable,
    ::testing::Values(
        Row{"MaxPTest", Setting::MaxP, 37, {}, kTest}, Row{"MaxPNoSelection", Setting::MaxP, 37, {}, kNoProtocol},
        Row{"MaxPUnknown", Setting::MaxP, 37, {}, kUnknown}, Row{"ThrottleTest", Setting::Throttle, 1100, {}, kTest},
        Row{"ThrottleNoSelection", Setting::Throttle, 1100, {}, kNoProtocol},
        Row{"MaxVTest", Setting::MaxV, 90, {}, kTest}, Row{"MaxVNoSelection", Setting::MaxV, 90, {}, kNoProtocol},
        Row{"ZeroStartTest", Setting::ZeroStart, 1, {}, kTest},
        Row{"ZeroStartNoSelection", Setting::ZeroStart, 0, {}, kNoProtocol},
        Row{"CruiseTest", Setting::Cruise, 1, {}, kTest}, Row{"CruiseNoSelection", Setting::Cruise, 1, {}, kNoProtocol},
        Row{"SoftStartTestOn", Setting::SoftStart, 1, {{6, Edit::SetBit, 0x08}}, kTest},
        Row{"SoftStartNoSelectionOff", Setting::SoftStart, 0, {{6, Edit::ClearBit, 0x08}}, kNoProtocol},
        Row{"SoftStartUnknownOn", Setting::SoftStart, 1, {{6, Edit::SetBit, 0x08}}, kUnknown},
        Row{"EbsTest", Setting::Ebs, 1, {{10, Edit::Store, 0x01}}, kTest},
        Row{"EbsNoSelectionTyped", Setting::Ebs, 7, {{10, Edit::Store, 0x07}}, kNoProtocol},
        Row{"EbsUnknownNegative", Setting::Ebs, -1, {{10, Edit::Store, 0xFF}}, kUnknown}),
    test::PatchRowName);

}  // namespace
}  // namespace protocols
