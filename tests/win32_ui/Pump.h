#pragma once

// Waiting in the Win32 dialog tests: messages are delivered as a modal loop
// delivers them while a condition is awaited, never by sleeping.
#include <chrono>

#include "platform/ui/win32/Win32Text.h"

namespace testing_ui {

// Delivers queued messages as the modal loop does, until `condition`
// holds or `ms` ran out.
template <class Condition>
bool PumpUntil(Condition condition, int ms = 10000) {
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

// Delivers what is queued now, and what that queues in turn.
inline void Drain() {
    for (int round = 0; round < 5; ++round) PumpUntil([] { return false; }, 10);
}

}  // namespace testing_ui
