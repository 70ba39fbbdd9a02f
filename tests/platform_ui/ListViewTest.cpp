// Report lists: rows fetched from the dialog only as they come into view,
// following new rows or holding still while rows are dropped, marked
// characters drawn and told to assistive tools.
#include <QAccessible>
#include <QFontInfo>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>

#include <gtest/gtest.h>

#include "ViewDialog.h"
#include "WaitUntil.h"
#include "platform/ui/qt/MarkedCellDelegate.h"
#include "platform/ui/qt/ReportList.h"

namespace testing_ui {
namespace {

using platform::ui::qt::MarkedCellDelegate;
using platform::ui::qt::ReportList;

constexpr int kManyRows = 10000;

ReportList* ListOf(const ViewDialog& dialog) { return WidgetAs<ReportList>(dialog, IDC_ROWS); }

// Paints the list's rows now, as a screen update would.
QImage Painted(ReportList* list) { return list->viewport()->grab().toImage(); }

bool RowInView(ReportList* list, int row) {
    const QRect cell = list->visualRect(list->model()->index(row, 0));
    return cell.isValid() && list->viewport()->rect().contains(cell);
}

// Rows in view, counting a partly shown one at the bottom.
int RowsInView(ReportList* list) {
    return list->viewport()->height() / list->verticalHeader()->defaultSectionSize() + 1;
}

TEST(ReportList, ColumnsTakeTheirWidthInDialogUnitsAndCellsAFixedPitch) {
    ViewDialog dialog;
    dialog.ShowModeless();
    ReportList* list = ListOf(dialog);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->model()->columnCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(list->horizontalHeader()->sectionSize(i), WindowOf(dialog).Units().X(kViewColumns[i].width)) << i;
        EXPECT_EQ(list->model()->headerData(i, Qt::Horizontal).toString().toStdString(), kViewColumns[i].title);
    }
    EXPECT_TRUE(QFontInfo(list->font()).fixedPitch()) << QFontInfo(list->font()).family().toStdString();
}

TEST(ReportList, OnlyTheRowsInViewAreAskedFor) {
    ViewDialog dialog;
    dialog.ShowModeless();
    ReportList* list = ListOf(dialog);
    dialog.Append(kManyRows);
    EXPECT_EQ(dialog.Window().ListRowCount(IDC_ROWS), kManyRows);
    Painted(list);
    ASSERT_FALSE(dialog.asked.empty());
    const int shown = RowsInView(list);
    ASSERT_LT(shown, 100);
    // A new list follows its rows: the last ones are the ones painted.
    EXPECT_TRUE(dialog.asked.count(kManyRows - 1));
    EXPECT_GE(*dialog.asked.begin(), kManyRows - shown);
    EXPECT_LE(static_cast<int>(dialog.asked.size()), shown);
    // One question per row, however many roles and cells a painted row has.
    EXPECT_EQ(dialog.asks, static_cast<int>(dialog.asked.size()));

    dialog.asked.clear();
    list->scrollToTop();
    Painted(list);
    EXPECT_TRUE(dialog.asked.count(0));
    EXPECT_LT(*dialog.asked.rbegin(), shown);

    // A batch of new rows, with as many old ones dropped, while the user
    // reads the top: the rows asked for are still only those in view.
    dialog.asked.clear();
    dialog.Append(80, 80);
    Painted(list);
    EXPECT_LE(static_cast<int>(dialog.asked.size()), shown);
    EXPECT_LT(*dialog.asked.rbegin(), shown);
}

TEST(ReportList, AListAtItsEndStaysThereWhenItGrowsTaller) {
    ViewDialog dialog;
    dialog.ShowModeless();
    ReportList* list = ListOf(dialog);
    dialog.Append(1000);
    list->resize(list->width(), list->height() * 2);
    EXPECT_TRUE(RowInView(list, 999));
    EXPECT_TRUE(dialog.Window().ListAtEnd(IDC_ROWS));
}

// Counts the paint events a widget receives.
class PaintCount : public QObject {
public:
    explicit PaintCount(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++count;
        return false;
    }
};

// Rows passing through a full list at its end, as many coming as going,
// leave both scroll bars as they are: neither is painted again, with or
// without a current row among those dropped, and the newest row stays in
// view. Rows only coming move the vertical bar, and the horizontal one is
// still left as it is.
TEST(ReportList, RowsPassingThroughAListRepaintOnlyTheBarThatChanges) {
    for (const bool current : {false, true}) {
        ViewDialog dialog;
        dialog.ShowModeless();
        ReportList* list = ListOf(dialog);
        list->horizontalHeader()->resizeSection(1, list->width() * 2);
        dialog.Append(500);
        if (current) {
            list->setCurrentIndex(list->model()->index(0, 0));
            list->scrollToBottom();
        }
        ASSERT_TRUE(WaitUntil(
            [&] { return list->horizontalScrollBar()->isVisible() && list->verticalScrollBar()->isVisible(); }));
        PaintCount hbar(list->horizontalScrollBar()), vbar(list->verticalScrollBar()), rows(list->viewport());
        // Whatever was still to be painted goes with the first batch's rows.
        dialog.Append(10, 10);
        ASSERT_TRUE(WaitUntil([&] { return rows.count > 0; }));
        hbar.count = vbar.count = rows.count = 0;
        for (int batch = 1; batch <= 3; ++batch) {
            dialog.Append(10, 10);
            ASSERT_TRUE(WaitUntil([&] { return rows.count >= batch; })) << current;
        }
        EXPECT_EQ(hbar.count, 0) << current;
        EXPECT_EQ(vbar.count, 0) << current;
        EXPECT_TRUE(RowInView(list, 499)) << current;
        dialog.Append(10);
        EXPECT_TRUE(WaitUntil([&] { return vbar.count > 0; })) << current;
        EXPECT_TRUE(RowInView(list, 509)) << current;
        EXPECT_EQ(hbar.count, 0) << current;
    }

    // Scrolled back from the newest rows, the top row stays while new rows
    // come: the value keeps, the range grows, and the thumb shrinks.
    ViewDialog dialog;
    dialog.ShowModeless();
    ReportList* list = ListOf(dialog);
    dialog.Append(500);
    ASSERT_TRUE(WaitUntil([&] { return list->verticalScrollBar()->isVisible(); }));
    list->verticalScrollBar()->setValue(0);
    PaintCount vbar(list->verticalScrollBar()), rows(list->viewport());
    ASSERT_TRUE(WaitUntil([&] { return rows.count > 0; }));
    vbar.count = 0;
    dialog.Append(10);
    EXPECT_TRUE(WaitUntil([&] { return vbar.count > 0; }));
    EXPECT_TRUE(RowInView(list, 0));
    EXPECT_EQ(list->verticalScrollBar()->value(), 0);
}

TEST(ReportList, MarkedCharactersAreToldToAssistiveTools) {
    ViewDialog dialog;
    dialog.marks = {{1, 6, 2}, {1, 15, 2}, {0, 0, 1}, {2, 0, 0}};
    dialog.ShowModeless();
    dialog.Append(20);
    ReportList* list = ListOf(dialog);

    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(list);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->text(QAccessible::Name), QStringLiteral("IDC_ROWS"));
    QAccessibleTableInterface* cells = table->tableInterface();
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->rowCount(), 20);
    EXPECT_EQ(cells->columnDescription(1), QStringLiteral("Байты"));
    const struct {
        int row, column;
        const char* name;
        const char* description;
    } expected[] = {
        {0, 0, "row 00000", "0+1"},
        {0, 1, "A5 01 02 03 04 05 06 07", "6+2 15+2"},
        {19, 2, "", ""},  // an empty mark marks nothing
    };
    for (const auto& e : expected) {
        QAccessibleInterface* cell = cells->cellAt(e.row, e.column);
        ASSERT_NE(cell, nullptr) << e.row << "," << e.column;
        EXPECT_EQ(cell->text(QAccessible::Name).toStdString(), e.name);
        EXPECT_EQ(cell->text(QAccessible::Description).toStdString(), e.description);
    }
}

// The runs of mark-coloured pixels along one pixel line: (start, length).
std::vector<std::pair<int, int>> MarkRuns(const QImage& image, int y, int left, int right) {
    std::vector<std::pair<int, int>> runs;
    for (int x = left; x < right; ++x) {
        if (image.pixelColor(x, y) != MarkedCellDelegate::kMarkColour) continue;
        if (!runs.empty() && runs.back().first + runs.back().second == x)
            ++runs.back().second;
        else
            runs.emplace_back(x, 1);
    }
    return runs;
}

TEST(ReportList, MarkedCharactersAreDrawnOnTheHighlight) {
    ViewDialog dialog;
    dialog.marks = {{1, 6, 2}, {1, 15, 2}};
    dialog.ShowModeless();
    dialog.Append(5);
    ReportList* list = ListOf(dialog);
    const QImage image = Painted(list);
    const QFontMetricsF metrics(list->font());
    const auto width = [&](int chars) { return metrics.horizontalAdvance(QString(chars, QLatin1Char('0'))); };
    const int y = list->rowViewportPosition(1) + 1;  // above the text of the second row
    const int left = list->columnViewportPosition(1);
    const int right = left + list->columnWidth(1);

    const auto runs = MarkRuns(image, y, left, right);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_NEAR(runs[0].second, width(2), 1.5);
    EXPECT_NEAR(runs[1].second, width(2), 1.5);
    EXPECT_NEAR(runs[1].first - runs[0].first, width(15) - width(6), 1.5);
    // The other cells have no marks.
    EXPECT_TRUE(MarkRuns(image, y, 0, left).empty());
}

}  // namespace
}  // namespace testing_ui
