#pragma once

#include <QFont>
#include <QRect>

namespace platform::ui::qt {

// The base units of a dialog font, derived as Windows derives them: the
// horizontal unit is the average width of the 52 Latin letters (rounded),
// the vertical unit the font's line height. A dialog unit is a quarter of
// the horizontal and an eighth of the vertical base unit.
struct DialogUnits {
    int baseX = 4;
    int baseY = 8;

    static DialogUnits ForFont(const QFont& font);

    int X(int dlu) const;  // horizontal dialog units -> pixels
    int Y(int dlu) const;  // vertical dialog units -> pixels
    QRect Map(int x, int y, int w, int h) const;
};

// Registers the fonts that stand in for the Windows dialog and fixed-pitch
// faces ("Microsoft Sans Serif", "MS Shell Dlg", "Courier New"). Idempotent.
void RegisterDialogFontSubstitutes();

}  // namespace platform::ui::qt
