#include "platform/ui/qt/UpDownControl.h"

#include <QKeyEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QToolButton>

namespace platform::ui::qt {

namespace {

QToolButton* MakeArrow(QWidget* parent, Qt::ArrowType arrow, const QString& objectName, const QString& accessibleName) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setObjectName(objectName);
    button->setAccessibleName(accessibleName);
    button->setAccessibleDescription(objectName);
    button->setFocusPolicy(Qt::NoFocus);  // the control itself is the tab stop
    button->setAutoRepeat(true);          // held down, the arrow keeps stepping
    button->setAutoRaise(false);
    return button;
}

}  // namespace

UpDownControl::UpDownControl(const QString& name, bool arrowKeys, QWidget* parent)
    : QWidget(parent),
      up_(MakeArrow(this, Qt::UpArrow, name + QStringLiteral("_UP"), QStringLiteral("вверх"))),
      down_(MakeArrow(this, Qt::DownArrow, name + QStringLiteral("_DOWN"), QStringLiteral("вниз"))),
      arrowKeys_(arrowKeys) {
    setFocusPolicy(Qt::StrongFocus);
    connect(up_, &QToolButton::clicked, this, [this] { emit deltaPos(-1); });
    connect(down_, &QToolButton::clicked, this, [this] { emit deltaPos(+1); });
    LayOut();
}

void UpDownControl::keyPressEvent(QKeyEvent* e) {
    if (arrowKeys_ && e->modifiers() == Qt::NoModifier) {
        if (e->key() == Qt::Key_Up) {
            emit deltaPos(-1);
            return;
        }
        if (e->key() == Qt::Key_Down) {
            emit deltaPos(+1);
            return;
        }
    }
    QWidget::keyPressEvent(e);
}

void UpDownControl::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    LayOut();
}

void UpDownControl::LayOut() {
    // A one-pixel margin leaves room for the focus frame.
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    const int upHeight = inner.height() / 2;
    up_->setGeometry(inner.x(), inner.y(), inner.width(), upHeight);
    down_->setGeometry(inner.x(), inner.y() + upHeight, inner.width(), inner.height() - upHeight);
}

void UpDownControl::paintEvent(QPaintEvent*) {
    if (!hasFocus()) return;
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect();
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

void UpDownControl::focusInEvent(QFocusEvent* e) {
    QWidget::focusInEvent(e);
    update();
}

void UpDownControl::focusOutEvent(QFocusEvent* e) {
    QWidget::focusOutEvent(e);
    update();
}

}  // namespace platform::ui::qt
