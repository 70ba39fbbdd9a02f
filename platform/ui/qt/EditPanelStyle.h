#pragma once

class QStyle;

namespace platform::ui::qt {

// The application's style, except that an edit box's panel (its frame and
// background) is drawn once per look and then copied from a pixmap. The
// panel is redrawn with every new text, and the stock style strokes its
// rounded frame anew each time, which costs more than the text itself.
// One shared style for every edit box; it lives as long as the
// application.
QStyle* EditPanelStyle();

}  // namespace platform::ui::qt
