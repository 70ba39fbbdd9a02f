#include "link/RefreshRequest.h"

#include "link/LinkState.h"

namespace linkcore {

bool RefreshRequest(unsigned code, const platform::Event& stop) {
    RefreshSink* window = Link().mainWindow.load();
    if (!window) return false;
    return window->Refresh(code, stop);
}

void NotifyCaptureEnded(const std::string& message) {
    if (RefreshSink* window = Link().mainWindow.load()) window->CaptureEnded(message);
}

}  // namespace linkcore
