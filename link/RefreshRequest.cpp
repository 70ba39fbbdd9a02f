#include "link/RefreshRequest.h"

#include "link/LinkState.h"

namespace linkcore {

bool RefreshRequest(LinkState& s, unsigned code, const platform::Event& stop) {
    RefreshSink* window = s.mainWindow.load();
    if (!window) return false;
    return window->Refresh(code, stop);
}

void NotifyCaptureEnded(LinkState& s, const std::string& message) {
    if (RefreshSink* window = s.mainWindow.load()) window->CaptureEnded(message);
}

}  // namespace linkcore
