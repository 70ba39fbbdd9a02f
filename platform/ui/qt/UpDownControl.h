#pragma once

#include <QWidget>

class QToolButton;

namespace platform::ui::qt {

// A buddy-less up-down control: two stacked arrow buttons that report only
// the sign of a press, as a Windows up-down with its default range does
// (the range runs from 100 down to 0, so the up arrow proposes a negative
// change). It keeps no value of its own. Takes the keyboard focus; with
// arrow keys enabled, Up and Down press the arrows.
class UpDownControl : public QWidget {
    Q_OBJECT

public:
    // `name` is the control identifier; the arrows are named <name>_UP and
    // <name>_DOWN.
    UpDownControl(const QString& name, bool arrowKeys, QWidget* parent = nullptr);

    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

signals:
    // -1 for the up arrow, +1 for the down arrow.
    void deltaPos(int delta);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void LayOut();

    QToolButton* up_;
    QToolButton* down_;
    bool arrowKeys_;
};

}  // namespace platform::ui::qt
