#include "res/DialogTemplates.h"
#include "res/MonitorStrings.h"
#include "res/Resource.h"

namespace res {

using platform::ControlKind;
using namespace platform;  // style bits

namespace {

// Template order is tab order: the list first, then the live controls,
// the replay and the read-outs.
const ControlTemplate kMonitorControls[] = {
    {IDC_MON_LIST, "IDC_MON_LIST", ControlKind::List, nullptr, kBorder, 6, 6, 508, 168},
    {IDC_MON_PAUSE, "IDC_MON_PAUSE", ControlKind::CheckBox, "Пауза", kNoStyle, 6, 181, 40, 10},
    {IDC_MON_LOG, "IDC_MON_LOG", ControlKind::PushButton, kLogStart, kNoStyle, 50, 179, 76, 14},
    {IDC_MON_OPEN, "IDC_MON_OPEN", ControlKind::PushButton, kOpenStart, kNoStyle, 228, 179, 72, 14},
    {IDC_MON_BACK, "IDC_MON_BACK", ControlKind::PushButton, "←", kDisabled, 304, 179, 18, 14},
    {IDC_MON_FORWARD, "IDC_MON_FORWARD", ControlKind::PushButton, "→", kDisabled, 324, 179, 18, 14},
    {IDC_MON_PLAY, "IDC_MON_PLAY", ControlKind::PushButton, kPlay, kDisabled, 346, 179, 58, 14},
    {IDC_MON_REPLAY, "IDC_MON_REPLAY", ControlKind::Label, "", kNoStyle, 408, 181, 106, 8},
    {IDC_MON_RX_COUNTERS, "IDC_MON_RX_COUNTERS", ControlKind::Label, "", kWrap, 6, 198, 254, 18},
    {IDC_MON_TX_COUNTERS, "IDC_MON_TX_COUNTERS", ControlKind::Label, "", kWrap, 264, 198, 250, 18},
    {IDC_MON_CHART, "IDC_MON_CHART", ControlKind::Chart, nullptr, kBorder, 6, 220, 508, 86},
    {IDC_MON_STATUS, "IDC_MON_STATUS", ControlKind::Label, "", kNoStyle, 6, 311, 508, 8},
};

const DialogTemplate kMonitor{IDD_MONITOR, "IDD_MONITOR", kMonitorTitle,   520, 324, "MS Shell Dlg",
                              8,           true,          kMonitorControls};

}  // namespace

const DialogTemplate& MonitorDialogTemplate() { return kMonitor; }

}  // namespace res
