#include <cstdio>
#include <cstdlib>

#include "platform/ui/DialogWindow.h"

namespace platform::ui {

namespace {

WindowSystem* installed = nullptr;

}  // namespace

void InstallWindowSystem(WindowSystem* system) { installed = system; }

WindowSystem* InstalledWindowSystem() { return installed; }

WindowSystem& CurrentWindowSystem() {
    if (!installed) {
        // A start-up that forgot its window system: nothing can be shown.
        std::fputs("zonter: no window system installed\n", stderr);
        std::abort();
    }
    return *installed;
}

}  // namespace platform::ui
