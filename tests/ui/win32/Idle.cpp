#include "tests/ui/Idle.h"

#include "tests/support/WindowPump.h"

namespace testing_ui {

// The pump sleeps in the system's wait for messages between deliveries.
void DeliverEventsFor(int ms) {
    testing_support::PumpUntil([] { return false; }, ms);
}

}  // namespace testing_ui
