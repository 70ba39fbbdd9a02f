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
    // Rows dropped from under the current row move it along; the view
    // would scroll to it, only to be scrolled back below.
    const bool autoScrolls = hasAutoScroll();
    setAutoScroll(false);
    model_.SetRowCount(count, dropped);
    setAutoScroll(autoScrolls);
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

void ReportList::updateGeometries() {
    KeepingBarsStill([this] { QTableView::updateGeometries(); });
}

bool ReportList::event(QEvent* e) {
    // A change in a bar's range lays the bars out again from a queued call.
    if (e->type() != QEvent::MetaCall) return QTableView::event(e);
    bool handled = false;
    KeepingBarsStill([this, e, &handled] { handled = QTableView::event(e); });
    return handled;
}

void ReportList::KeepingBarsStill(const std::function<void()>& layout) {
    // Each layout raises both scroll bars' frames, one after the other, so
    // each time both change places and are marked for repainting, though
    // neither covers the other: with every batch of rows the bars would be
    // painted afresh unchanged. While both already lie above the rest and
    // keep their places and sizes, their swap is kept from marking them; a
    // change in a bar's range or value still repaints it.
    QWidget* bars[] = {horizontalScrollBar()->parentWidget(), verticalScrollBar()->parentWidget()};
    // Stacking is among widgets only; other objects among the children
    // do not count.
    const auto topmost = [this, &bars](const QWidget* bar) {
        const QObjectList& children = this->children();
        for (qsizetype k = children.indexOf(bar) + 1; k < children.size(); ++k)
            if (children[k]->isWidgetType() && children[k] != bars[0] && children[k] != bars[1]) return false;
        return children.contains(bar);
    };
    const bool still = bars[0] != bars[1] && topmost(bars[0]) && topmost(bars[1]);
    QRect before[2];
    bool shown[2];
    for (int i = 0; i < 2; ++i) {
        before[i] = bars[i]->geometry();
        shown[i] = bars[i]->isVisible();
        if (still) bars[i]->setAttribute(Qt::WA_UpdatesDisabled, true);
    }
    layout();
    if (!still) return;
    for (int i = 0; i < 2; ++i) {
        bars[i]->setAttribute(Qt::WA_UpdatesDisabled, false);
        if (bars[i]->geometry() != before[i] || bars[i]->isVisible() != shown[i]) bars[i]->update();
    }
}

void ReportList::changeEvent(QEvent* e) {
    QTableView::changeEvent(e);
    if (e->type() == QEvent::FontChange) FitRowHeight();
}

void ReportList::FitRowHeight() {
    verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + kRowLeading);
}

}  // namespace platform::ui::qt
