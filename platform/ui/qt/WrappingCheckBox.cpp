#include "platform/ui/qt/WrappingCheckBox.h"

#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include <algorithm>

namespace platform::ui::qt {

WrappingCheckBox::WrappingCheckBox(const QString& text, bool topAligned, QWidget* parent)
    : QCheckBox(text, parent), topAligned_(topAligned) {}

void WrappingCheckBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);

    const int indicatorWidth = style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this);
    const int indicatorHeight = style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this);
    const int spacing = style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);

    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic;
    QRect textRect = rect();
    textRect.setLeft(indicatorWidth + spacing);
    const QRect textBounds = fontMetrics().boundingRect(textRect, flags, text());
    const int blockHeight = std::max(textBounds.height(), indicatorHeight);
    const int top = topAligned_ ? 0 : std::max(0, (height() - blockHeight) / 2);

    QStyleOptionButton indicator = option;
    const int lineHeight = fontMetrics().height();
    const int indicatorTop = top + std::max(0, (lineHeight - indicatorHeight) / 2);
    indicator.rect = QRect(0, indicatorTop, indicatorWidth, indicatorHeight);
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, indicator);

    textRect.setTop(top);
    painter.drawItemText(textRect, flags, option.palette, isEnabled(), text(), QPalette::WindowText);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = fontMetrics().boundingRect(textRect, flags, text()).adjusted(-1, 0, 1, 0) & rect();
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool WrappingCheckBox::hitButton(const QPoint& pos) const { return rect().contains(pos); }

}  // namespace platform::ui::qt
