#include "platform/PortDescription.h"

namespace platform {

// Linux names a port by its device path, which the tooltip already shows.
std::string PortFriendlyName(unsigned) { return {}; }

}  // namespace platform
