#pragma once

#include <QTableView>

#include <functional>
#include <vector>

#include "platform/ui/qt/ListRowModel.h"

namespace platform::ui::qt {

class MarkedCellDelegate;

// A report list: a header of columns over rows the dialog draws on demand,
// one line each in a fixed-pitch font. Only the rows in view are asked for
// and painted. A list showing its last row follows new rows; one scrolled
// up keeps showing the same rows when old ones are dropped at the top.
class ReportList : public QTableView {
    Q_OBJECT

public:
    ReportList(ListRowModel::RowSource rows, QWidget* parent);

    ListRowModel& Rows() { return model_; }
    // Column titles with their widths in pixels.
    void SetColumns(const QStringList& titles, const std::vector<int>& widths);
    void SetRowCount(int count, int dropped);
    int RowCount() const { return model_.RowCount(); }
    // True when the last row is in view (an empty list is at its end).
    bool AtEnd() const;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void updateGeometries() override;
    bool event(QEvent* e) override;

private:
    void FitRowHeight();
    // Runs `layout` without the scroll bars' frames being repainted for a
    // change of places between the two alone.
    void KeepingBarsStill(const std::function<void()>& layout);

    ListRowModel model_;
    MarkedCellDelegate* delegate_;
};

}  // namespace platform::ui::qt
