#include "platform/ui/qt/EditPanelStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>

namespace platform::ui::qt {

namespace {

class CachedEditPanelStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
        if (element != PE_PanelLineEdit || !frame || option->rect.isEmpty()) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        // Everything the panel's look depends on.
        const QString key = QStringLiteral("zonter-edit-panel-%1x%2-%3-%4-%5-%6-%7-%8-%9")
                                .arg(option->rect.width())
                                .arg(option->rect.height())
                                .arg(static_cast<unsigned>(option->state))
                                .arg(option->palette.cacheKey())
                                .arg(static_cast<int>(option->direction))
                                .arg(frame->lineWidth)
                                .arg(frame->midLineWidth)
                                .arg(static_cast<int>(frame->features))
                                .arg(ratio);
        QPixmap panel;
        if (!QPixmapCache::find(key, &panel)) {
            panel = QPixmap((QSizeF(option->rect.size()) * ratio).toSize());
            panel.setDevicePixelRatio(ratio);
            panel.fill(Qt::transparent);
            QStyleOptionFrame atOrigin(*frame);
            atOrigin.rect = QRect(QPoint(0, 0), option->rect.size());
            QPainter onPanel(&panel);
            QProxyStyle::drawPrimitive(element, &atOrigin, &onPanel, widget);
            onPanel.end();
            QPixmapCache::insert(key, panel);
        }
        painter->drawPixmap(option->rect.topLeft(), panel);
    }
};

}  // namespace

QStyle* EditPanelStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new CachedEditPanelStyle;
        style->setParent(qApp);  // goes with the application
    }
    return style;
}

}  // namespace platform::ui::qt
