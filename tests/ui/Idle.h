#pragma once

namespace testing_ui {

// Delivers the window system's events for `ms` while otherwise sleeping,
// so that what the process uses meanwhile is the program's own doing.
// Each system has its own (qt/, win32/).
void DeliverEventsFor(int ms);

}  // namespace testing_ui
