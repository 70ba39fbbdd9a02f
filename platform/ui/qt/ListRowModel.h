#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <functional>
#include <unordered_map>

#include "platform/ui/Views.h"

namespace platform::ui::qt {

// A report list's rows as an item model. The rows stay with the dialog:
// the model asks for a row when a view draws it or an assistive tool
// reads it, and keeps only the last few it was asked for, so that the
// several roles of one painted row cost one question.
class ListRowModel : public QAbstractTableModel {
public:
    using RowSource = std::function<ListRow(int row)>;

    explicit ListRowModel(RowSource rows, QObject* parent = nullptr);

    void SetColumns(const QStringList& titles);
    // The list now holds `count` rows, the first `dropped` of the old ones
    // gone: views see the drop at the top and the new rows at the end.
    void SetRowCount(int count, int dropped);
    int RowCount() const { return rows_; }

    // Row `row` as the dialog gives it; an empty row outside the list. The
    // reference holds until the model's next question or change.
    const ListRow& Row(int row) const;
    QString CellText(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    RowSource source_;
    QStringList titles_;
    int rows_ = 0;
    mutable std::unordered_map<int, ListRow> cache_;
};

}  // namespace platform::ui::qt
