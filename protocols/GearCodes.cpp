#include "protocols/GearCodes.h"

#include <algorithm>

namespace protocols {

std::uint8_t GearCodeForPosition(int position) {
    const int last = static_cast<int>(kGearCodes.size()) - 1;
    return kGearCodes[static_cast<std::size_t>(std::clamp(position, 0, last))];
}

}  // namespace protocols
