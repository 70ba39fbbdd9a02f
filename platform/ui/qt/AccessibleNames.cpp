#include "platform/ui/qt/AccessibleNames.h"

#include <algorithm>

namespace platform::ui::qt {

namespace {

using platform::ControlKind;
using platform::ControlTemplate;

// How far above a control a label may end and still name it, in dialog units.
constexpr int kLabelAboveReach = 12;
// The visible height of a drop-down combo box; its template height counts the list.
constexpr int kComboFieldHeight = 14;

bool HasWords(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

QString CaptionOf(const ControlTemplate& c) {
    return c.caption ? StripMnemonics(QString::fromUtf8(c.caption)).trimmed() : QString();
}

// A static label with words in it, the kind that names its neighbours.
bool IsNamingLabel(const ControlTemplate& c) {
    return c.kind == ControlKind::Label && c.id == -1 && HasWords(CaptionOf(c));
}

QString AsName(const QString& labelText) {
    QString name = labelText.trimmed();
    while (name.endsWith(QLatin1Char(':')) || name.endsWith(QLatin1Char('='))) name.chop(1);
    return name.trimmed();
}

int VisibleHeight(const ControlTemplate& c) {
    return c.kind == ControlKind::ComboBox ? std::min(c.h, kComboFieldHeight) : c.h;
}

const ControlTemplate* LabelOnTheLeft(std::span<const ControlTemplate> controls, const ControlTemplate& c) {
    const ControlTemplate* best = nullptr;
    const int top = c.y, bottom = c.y + VisibleHeight(c);
    for (const ControlTemplate& l : controls) {
        if (!IsNamingLabel(l)) continue;
        const bool sameRow = l.y < bottom && l.y + l.h > top;
        const bool onTheLeft = l.x + l.w <= c.x + 2 && l.x < c.x;
        if (sameRow && onTheLeft && (!best || l.x + l.w > best->x + best->w)) best = &l;
    }
    return best;
}

const ControlTemplate* LabelAbove(std::span<const ControlTemplate> controls, const ControlTemplate& c) {
    const ControlTemplate* best = nullptr;
    for (const ControlTemplate& l : controls) {
        if (!IsNamingLabel(l)) continue;
        const int gap = c.y - (l.y + l.h);
        const bool above = gap >= -1 && gap <= kLabelAboveReach;
        const bool overlaps = l.x < c.x + c.w && l.x + l.w > c.x;
        if (above && overlaps && (!best || l.y + l.h > best->y + best->h)) best = &l;
    }
    return best;
}

const ControlTemplate* LabelBefore(std::span<const ControlTemplate> controls, std::size_t index) {
    for (std::size_t i = index; i-- > 0;) {
        if (IsNamingLabel(controls[i])) return &controls[i];
    }
    return nullptr;
}

}  // namespace

QString StripMnemonics(const QString& caption) {
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) out += caption[++i];
            continue;
        }
        out += caption[i];
    }
    return out;
}

std::vector<QString> AccessibleNames(const platform::DialogTemplate& tmpl) {
    std::vector<QString> names;
    names.reserve(tmpl.controls.size());
    for (std::size_t i = 0; i < tmpl.controls.size(); ++i) {
        const ControlTemplate& c = tmpl.controls[i];
        const QString caption = CaptionOf(c);
        // Lists and charts have no caption to read; tools find them by identifier.
        if ((c.kind == ControlKind::List || c.kind == ControlKind::Chart) && c.name) {
            names.push_back(QString::fromUtf8(c.name));
            continue;
        }
        // A label names itself; a value label's name follows its text later.
        if (c.kind == ControlKind::Label || (c.kind != ControlKind::ComboBox && HasWords(caption))) {
            names.push_back(caption);
            continue;
        }
        const ControlTemplate* label = LabelOnTheLeft(tmpl.controls, c);
        if (!label) label = LabelAbove(tmpl.controls, c);
        if (!label) label = LabelBefore(tmpl.controls, i);
        names.push_back(label ? AsName(CaptionOf(*label)) : caption);
    }
    return names;
}

}  // namespace platform::ui::qt
