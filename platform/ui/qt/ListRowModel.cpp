#include "platform/ui/qt/ListRowModel.h"

#include <algorithm>

namespace platform::ui::qt {

namespace {

// Rows kept between questions: more than a tall list shows at once.
constexpr std::size_t kCachedRows = 256;

}  // namespace

ListRowModel::ListRowModel(RowSource rows, QObject* parent) : QAbstractTableModel(parent), source_(std::move(rows)) {}

void ListRowModel::SetColumns(const QStringList& titles) {
    beginResetModel();
    titles_ = titles;
    cache_.clear();
    endResetModel();
}

void ListRowModel::SetRowCount(int count, int dropped) {
    count = std::max(0, count);
    dropped = std::clamp(dropped, 0, rows_);
    // The dialog's rows moved or changed: what is kept no longer matches
    // the row numbers.
    cache_.clear();
    if (dropped > 0) {
        beginRemoveRows({}, 0, dropped - 1);
        rows_ -= dropped;
        endRemoveRows();
    }
    if (count > rows_) {
        beginInsertRows({}, rows_, count - 1);
        rows_ = count;
        endInsertRows();
    } else if (count < rows_) {
        beginRemoveRows({}, count, rows_ - 1);
        rows_ = count;
        endRemoveRows();
    } else if (dropped == 0 && rows_ > 0 && !titles_.isEmpty()) {
        emit dataChanged(index(0, 0), index(rows_ - 1, static_cast<int>(titles_.size()) - 1));
    }
}

const ListRow& ListRowModel::Row(int row) const {
    static const ListRow kNone;
    if (row < 0 || row >= rows_) return kNone;
    if (const auto it = cache_.find(row); it != cache_.end()) return it->second;
    if (cache_.size() >= kCachedRows) cache_.clear();
    return cache_.emplace(row, source_(row)).first->second;
}

QString ListRowModel::CellText(int row, int column) const {
    const ListRow& r = Row(row);
    if (column < 0 || static_cast<std::size_t>(column) >= r.cells.size()) return QString();
    return QString::fromStdString(r.cells[static_cast<std::size_t>(column)]);
}

int ListRowModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int ListRowModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant ListRowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return CellText(index.row(), index.column());
        case Qt::AccessibleDescriptionRole:
            // Which characters are highlighted, for assistive tools.
            return QString::fromStdString(MarksText(Row(index.row()), index.column()));
        default:
            return {};
    }
}

QVariant ListRowModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section >= 0 && section < titles_.size() ? QVariant(titles_[section]) : QVariant();
}

Qt::ItemFlags ListRowModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

}  // namespace platform::ui::qt
