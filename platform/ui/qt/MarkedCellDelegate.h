#pragma once

#include <QColor>
#include <QStyledItemDelegate>

namespace platform::ui::qt {

class ListRowModel;

// Draws a report list's cell: its text on one line, clipped to the cell,
// with the characters the row marks on a highlight background.
class MarkedCellDelegate : public QStyledItemDelegate {
public:
    // The background of marked characters.
    static inline const QColor kMarkColour{0xff, 0xd5, 0x80};

    MarkedCellDelegate(const ListRowModel& model, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const ListRowModel& model_;
};

}  // namespace platform::ui::qt
