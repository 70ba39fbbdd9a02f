#pragma once

#include <cstdio>
#include <string>

#include "link/Connection.h"
#include "res/Strings.h"

namespace ui {

// A state-line text with COM<portNumber> put into `format`.
[[nodiscard]] inline std::string PortStateText(const char* format, unsigned portNumber) {
    char text[64];
    std::snprintf(text, sizeof text, format, portNumber);
    return text;
}

// The state line's words for what Connect on COM<portNumber> reported.
[[nodiscard]] inline std::string ConnectStateText(const linkcore::ConnectOutcome& outcome, unsigned portNumber) {
    if (outcome.opened && outcome.settingsError != 0) return PortStateText(res::kSettingsRefusedFormat, portNumber);
    if (outcome.opened) return res::kConnected;
    return PortStateText(res::kNoAccessFormat, portNumber);
}

// The state line's tooltip after Connect on COM<portNumber>: what COMn
// stood for and, when it could not be opened or set, why: the system's
// own reason, and how to get at a port that the user may not open.
[[nodiscard]] std::string ConnectHint(const linkcore::ConnectOutcome& outcome, unsigned portNumber);

}  // namespace ui
