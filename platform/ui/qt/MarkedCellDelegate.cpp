#include "platform/ui/qt/MarkedCellDelegate.h"

#include <QApplication>
#include <QPainter>

#include <algorithm>
#include <vector>

#include "platform/ui/qt/ListRowModel.h"

namespace platform::ui::qt {

MarkedCellDelegate::MarkedCellDelegate(const ListRowModel& model, QObject* parent)
    : QStyledItemDelegate(parent), model_(model) {}

void MarkedCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int row = index.row(), column = index.column();
    const QString text = model_.CellText(row, column);

    // The cell's background, selection and focus as the style draws them.
    QStyleOptionViewItem opt = option;
    opt.features &= ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration |
                      QStyleOptionViewItem::HasCheckIndicator);
    opt.text.clear();
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = option.rect.adjusted(margin, 0, -margin, 0);
    const QFontMetrics metrics(option.font);
    const auto xOf = [&](int chars) { return textRect.left() + metrics.horizontalAdvance(text.left(chars)); };
    // Where the marked characters of this cell are, clamped to its text.
    std::vector<QRect> marked;
    for (const TextMark& m : model_.Row(row).marks) {
        if (m.column != column || m.count <= 0) continue;
        const int first = std::clamp(m.first, 0, static_cast<int>(text.size()));
        const int last = std::clamp(m.first + m.count, first, static_cast<int>(text.size()));
        if (last > first)
            marked.emplace_back(QPoint(xOf(first), option.rect.top()), QPoint(xOf(last) - 1, option.rect.bottom()));
    }

    constexpr int kFlags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->setFont(option.font);
    painter->setClipRect(option.rect);
    for (const QRect& r : marked) painter->fillRect(r, kMarkColour);
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(textRect, kFlags, text);
    // On the marks' light background, selected text keeps the plain colour.
    if (selected) {
        painter->setPen(option.palette.color(group, QPalette::Text));
        for (const QRect& r : marked) {
            painter->setClipRect(r & option.rect);
            painter->drawText(textRect, kFlags, text);
        }
    }
    painter->restore();
}

}  // namespace platform::ui::qt
