#pragma once

// The window system a dialog test runs on, seen from the test: start it,
// and deliver its events while waiting for a condition. Each system has its
// own implementation (qt/, win32/); the tests above it are the same.
#include <functional>

namespace testing_support {

// Makes the window system (and, for Qt, its application object) and
// installs it for the dialogs. Call once from main, after gtest's own
// initialisation.
void StartWindowSystem(int& argc, char** argv);

// Delivers the window system's events, as a modal loop would, until
// `condition` holds or `ms` ran out; true when it holds.
bool PumpUntil(const std::function<bool()>& condition, int ms = 10000);

// Delivers what is queued now, and what that queues in turn.
void PumpQueued();

}  // namespace testing_support
