#include "platform/ui/qt/ReportList.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>

#include "platform/ui/qt/MarkedCellDelegate.h"

namespace platform::ui::qt {

namespace {

// Pixels between two rows' text lines.
constexpr int kRowLeading = 2;

QFont FixedPitchFont(const QFont& dialogFont) {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (dialogFont.pointSizeF() > 0)
        font.setPointSizeF(dialogFont.pointSizeF());
    else if (dialogFont.pixelSize() > 0)
        font.setPixelSize(dialogFont.pixelSize());
    return font;
}

}  // namespace

ReportList::ReportList(ListRowModel::RowSource rows, QWidget* parent)
    : QTableView(parent), model_(std::move(rows), this), delegate_(new MarkedCellDelegate(model_, this)) {
    setModel(&model_);
    setItemDelegate(delegate_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);  // a scroll position is a top row
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    // The header keeps the dialog's font; the cells line up in a fixed pitch.
    horizontalHeader()->setFont(parent ? parent->font() : font());
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Rows of one height, set here, never measured from their contents.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    setFont(FixedPitchFont(font()));
    FitRowHeight();
}

void ReportList::SetColumns(const QStringList& titles, const std::vector<int>& widths) {
    model_.SetColumns(titles);
    for (int i = 0; i < titles.size() && static_cast<std::size_t>(i) < widths.size(); ++i)
        horizontalHeader()->resizeSection(i, std::max(1, widths[static_cast<std::size_t>(i)]));
}

void ReportList::SetRowCount(int count, int dropped) {
    const bool follow = AtEnd();
    const int top = verticalScrollBar()->value();
    const int gone = std::clamp(dropped, 0, model_.RowCount());
    model_.SetRowCount(count, dropped);
    // The scroll range must be that of the new rows before it is used.
    executeDelayedItemsLayout();
    if (follow)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    else
        verticalScrollBar()->setValue(std::max(0, top - gone));
}

bool ReportList::AtEnd() const {
    const QScrollBar* bar = verticalScrollBar();
    return bar->value() >= bar->maximum();
}

void ReportList::resizeEvent(QResizeEvent* e) {
    // The range still is the old size's here.
    const bool follow = AtEnd();
    QTableView::resizeEvent(e);
    if (follow) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void ReportList::changeEvent(QEvent* e) {
    QTableView::changeEvent(e);
    if (e->type() == QEvent::FontChange) FitRowHeight();
}

void ReportList::FitRowHeight() {
    verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + kRowLeading);
}

}  // namespace platform::ui::qt
