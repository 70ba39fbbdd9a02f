#include "tests/support/WindowPump.h"

#include <chrono>

// Brings windows.h, after the neutral headers.
#include "platform/ui/win32/Win32DialogWindow.h"

namespace testing_support {

void StartWindowSystem(int&, char**) { platform::ui::win32::Win32WindowSystem::Install(); }

bool PumpUntil(const std::function<bool()>& condition, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const HWND top = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
            if (!top || !IsDialogMessageW(top, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpQueued() {
    for (int round = 0; round < 5; ++round) PumpUntil([] { return false; }, 10);
}

}  // namespace testing_support
