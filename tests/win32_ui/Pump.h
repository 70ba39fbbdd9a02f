#pragma once

// Waiting in the Win32 dialog tests: messages are delivered as a modal loop
// delivers them while a condition is awaited, never by sleeping.
#include "platform/ui/win32/Win32Text.h"
#include "tests/support/WindowPump.h"

namespace testing_ui {

using testing_support::PumpUntil;

// Delivers what is queued now, and what that queues in turn.
inline void Drain() { testing_support::PumpQueued(); }

}  // namespace testing_ui
