#pragma once

#include "platform/ui/DialogTemplate.h"

// The dialog templates of the program, kept as data.
namespace res {

const platform::DialogTemplate& MainDialogTemplate();     // IDD_MAIN
const platform::DialogTemplate& SpeedDialogTemplate();    // IDD_SPEED
const platform::DialogTemplate& AboutDialogTemplate();    // IDD_ABOUT
const platform::DialogTemplate& MonitorDialogTemplate();  // IDD_MONITOR
const platform::DialogTemplate& DetectDialogTemplate();   // IDD_DETECT

// The decoder list's initialisation data, in list order.
extern const char* const kDecoderItems[3];

}  // namespace res
