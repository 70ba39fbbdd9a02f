#include "platform/ui/qt/DialogUnits.h"

#include <QFontMetrics>
#include <QStringList>

namespace platform::ui::qt {

namespace {

// a * b / c rounded half away from zero, as MulDiv does.
int MulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(p >= 0 ? (p + half) / c : (p - half) / c);
}

}  // namespace

DialogUnits DialogUnits::ForFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogUnits units;
    units.baseX = (letters / 26 + 1) / 2;
    units.baseY = metrics.height();
    if (units.baseX < 1) units.baseX = 1;
    if (units.baseY < 1) units.baseY = 1;
    return units;
}

int DialogUnits::X(int dlu) const { return MulDiv(dlu, baseX, 4); }

int DialogUnits::Y(int dlu) const { return MulDiv(dlu, baseY, 8); }

QRect DialogUnits::Map(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }

void RegisterDialogFontSubstitutes() {
    static const bool registered = [] {
        const QStringList sans{QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
        QFont::insertSubstitutions(QStringLiteral("Microsoft Sans Serif"), sans);
        QFont::insertSubstitutions(QStringLiteral("MS Shell Dlg"), sans);
        QFont::insertSubstitutions(QStringLiteral("MS Shell Dlg 2"), sans);
        QFont::insertSubstitutions(QStringLiteral("Courier New"),
                                   {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
        return true;
    }();
    (void)registered;
}

}  // namespace platform::ui::qt
