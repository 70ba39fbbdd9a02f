#pragma once

#include <cstdio>
#include <string>

#include "link/Connection.h"
#include "res/Strings.h"

namespace ui {

// The state line's words for what Connect on COM<portNumber> reported.
[[nodiscard]] inline std::string ConnectStateText(const linkcore::ConnectOutcome& outcome, unsigned portNumber) {
    if (outcome.opened) return res::kConnected;
    char text[64];
    std::snprintf(text, sizeof text, res::kNoAccessFormat, portNumber);
    return text;
}

}  // namespace ui
