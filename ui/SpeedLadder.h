#pragma once

// The line-speed dialog's arrows step through a ladder of standard rates;
// a value off the ladder snaps onto it with the first press, in the
// direction of the press. There is no step between 38400 and 115200.
namespace ui {

int SpeedLadderUp(int speed);    // smallest ladder rate above, 115200 at the top
int SpeedLadderDown(int speed);  // largest ladder rate below, 600 at the bottom

}  // namespace ui
