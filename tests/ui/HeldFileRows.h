#pragma once

#include <vector>

#include "platform/FileCalls.h"

namespace testing_ui {

// The tries of a move into place: the first, and one after each paced wait.
inline constexpr int kHeldTries = 1 + platform::kHeldRetryMs / platform::kHeldRetryPaceMs;

// What becomes of a capture or a log whose move into place is refused.
enum class Held {
    Placed,         // it stands under its name, and no temporary file is left
    KeptVisible,    // it stays whole under its name's "-временный" form
    KeptTemporary,  // it stays whole in the temporary file
};

// A system's documented answer to the move of a file just written, while
// another program holds it, and what Zonter must make of it.
struct HeldFileRow {
    const char* source;     // where the answer is documented
    int error;              // the system's error number for the refusal
    int refusals;           // moves refused before one goes through (kEveryMove: none does)
    bool stopWhileWaiting;  // the capture is stopped during the first wait
    Held outcome;
};

// Each system's rows: posix/ and win32/.
const std::vector<HeldFileRow>& HeldFileRows();

}  // namespace testing_ui
