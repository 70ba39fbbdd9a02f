#pragma once

#include <cstddef>
#include <span>

namespace platform {

// A dialog template kept as data: what a Windows .rc DIALOGEX says, in a
// form the dialog base builds widgets from. Positions and sizes are in
// dialog units, converted with the dialog font's metrics as Windows does
// (x * avgCharWidth / 4, y * charHeight / 8).

enum class ControlKind {
    PushButton,
    DefPushButton,
    Label,
    Edit,
    CheckBox,  // automatic check box
    ComboBox,  // drop-down with an editable field
    Slider,    // horizontal trackbar
    UpDown,    // buddy-less up-down that reports the sign of a press
    Icon,      // the application icon
    List,      // report list: columns, rows drawn on demand, marked characters
    Chart,     // strip chart of a few series over a time span
};

enum ControlStyle : unsigned {
    kNoStyle = 0,
    kReadOnly = 1u << 0,
    kCentred = 1u << 1,
    kRightAligned = 1u << 2,
    kHidden = 1u << 3,
    kDisabled = 1u << 4,
    kTickMarks = 1u << 5,  // tick marks at every position, both edges
    kWrap = 1u << 6,       // text wraps (multi-line caption)
    kTopAligned = 1u << 7,
    kVScroll = 1u << 8,
    kAutoHScroll = 1u << 9,
    kBorder = 1u << 10,
    kArrowKeys = 1u << 11,
};

struct ControlTemplate {
    int id;            // control identifier; -1 for static labels
    const char* name;  // "IDC_PORT"; nullptr for labels
    ControlKind kind;
    const char* caption;                      // UTF-8; nullptr for none
    unsigned style;                           // ControlStyle bits
    int x, y, w, h;                           // dialog units
    std::span<const char* const> items = {};  // combo box initialisation data
};

struct DialogTemplate {
    int id;             // IDD_ value
    const char* name;   // "IDD_MAIN"
    const char* title;  // UTF-8
    int w, h;           // dialog units
    const char* fontFace;
    int pointSize;
    bool minimiseBox;
    std::span<const ControlTemplate> controls;  // template order = tab order
};

}  // namespace platform
