#include "protocols/HaltenMask.h"

#include <algorithm>
#include <iterator>

namespace protocols {
namespace {

constexpr std::uint8_t kTable[] = {
#include "protocols/HaltenMaskTable.inc"
};
// A replaced table must still hold exactly one entry per counter value.
static_assert(std::size(kTable) == kHaltenMaskSize, "the mask table needs 128 bytes");

constexpr std::array<std::uint8_t, kHaltenMaskSize> MakeMask() {
    std::array<std::uint8_t, kHaltenMaskSize> mask{};
    std::copy(std::begin(kTable), std::end(kTable), mask.begin());
    return mask;
}

}  // namespace

const std::array<std::uint8_t, kHaltenMaskSize> kHaltenMask = MakeMask();

}  // namespace protocols
