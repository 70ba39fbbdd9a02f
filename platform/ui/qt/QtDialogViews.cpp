// The report lists and strip charts of a dialog's window.
#include "platform/ui/qt/QtDialogWindow.h"
#include "platform/ui/qt/ReportList.h"
#include "platform/ui/qt/StripChart.h"

namespace platform::ui::qt {

void QtDialogWindow::SetListColumns(int id, std::span<const ListColumn> columns) {
    auto* list = qobject_cast<ReportList*>(Control(id));
    if (!list) return;
    QStringList titles;
    std::vector<int> widths;
    for (const ListColumn& column : columns) {
        titles.push_back(QString::fromStdString(column.title));
        widths.push_back(units_.X(column.width));
    }
    list->SetColumns(titles, widths);
}

void QtDialogWindow::SetListRowCount(int id, int count, int dropped) {
    if (auto* list = qobject_cast<ReportList*>(Control(id))) list->SetRowCount(count, dropped);
}

int QtDialogWindow::ListRowCount(int id) const {
    const auto* list = qobject_cast<const ReportList*>(Control(id));
    return list ? list->RowCount() : 0;
}

bool QtDialogWindow::ListAtEnd(int id) const {
    const auto* list = qobject_cast<const ReportList*>(Control(id));
    return list && list->AtEnd();
}

void QtDialogWindow::SetChart(int id, const ChartData& chart) {
    if (auto* strip = qobject_cast<StripChart*>(Control(id))) strip->SetData(chart);
}

std::string QtDialogWindow::ChartDescription(int id) const {
    const auto* strip = qobject_cast<const StripChart*>(Control(id));
    return strip ? ChartText(strip->Data()) : std::string();
}

}  // namespace platform::ui::qt
