#include "link/RefreshRequest.h"

#include "link/LinkState.h"
#include "link/RefreshCodes.h"

namespace linkcore {

bool RefreshRequest(LinkState& s, unsigned code, const platform::Event& stop) {
    RefreshSink* window = s.mainWindow.load();
    if (!window) return false;
    return window->Refresh(code, stop);
}

void NotifyCaptureEnded(LinkState& s, const std::string& message) {
    if (RefreshSink* window = s.mainWindow.load()) window->CaptureEnded(message);
}

bool LineGone(const LinkState& s) {
    const platform::SerialPort* port = s.port.load();
    return port != nullptr && port->Gone();
}

void ReportLineGone(LinkState& s, const platform::Event& stop) {
    static_cast<void>(RefreshRequest(s, CMD_LINE_GONE, stop));
}

}  // namespace linkcore
