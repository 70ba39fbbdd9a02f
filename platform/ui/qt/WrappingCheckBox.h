#pragma once

#include <QCheckBox>

namespace platform::ui::qt {

// A check box whose caption wraps onto several lines within its rectangle,
// as a multi-line Windows check box does. The box and the caption sit at
// the top when top-aligned, otherwise they are centred vertically. The
// whole rectangle answers to the mouse.
class WrappingCheckBox : public QCheckBox {
    Q_OBJECT

public:
    WrappingCheckBox(const QString& text, bool topAligned, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
    bool hitButton(const QPoint& pos) const override;

private:
    bool topAligned_;
};

}  // namespace platform::ui::qt
