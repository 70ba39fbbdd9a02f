// A pull that meets a box without an integer: one message, focus on the
// box, and the exchange stops there.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QSlider>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "QtDialogs.h"
#include "WaitUntil.h"

namespace testing_ui {
namespace {

int VisibleMessageBoxes() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(w) && w->isVisible()) ++n;
    }
    return n;
}

TEST(IntegerPull, FailureShowsOneMessageAndStopsAtTheBox) {
    PanelDialog panel;
    panel.UpdateData(false);
    WidgetAs<QLineEdit>(panel, IDC_NAME)->setText(QStringLiteral("before"));
    WidgetAs<QLineEdit>(panel, IDC_PORT)->setText(QStringLiteral("abc"));
    WidgetAs<QCheckBox>(panel, IDC_FLAG)->setChecked(true);
    WidgetAs<QLineEdit>(panel, IDC_COUNT)->setText(QStringLiteral("99"));

    int boxesSeen = 0;
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    ModalWatcher closer([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        ++boxesSeen;
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });

    EXPECT_FALSE(panel.UpdateData(true));
    EXPECT_EQ(boxesSeen, 1);
    EXPECT_EQ(text, QStringLiteral("Введите целое число."));
    EXPECT_EQ(title, QStringLiteral("Панель"));
    EXPECT_EQ(icon, QMessageBox::Warning);

    // Earlier members updated, the failing one and later ones kept.
    EXPECT_EQ(panel.name, "before");
    EXPECT_EQ(panel.port, 1);
    EXPECT_EQ(panel.flag, 0);
    EXPECT_EQ(panel.count, 0);

    auto* port = WidgetAs<QLineEdit>(panel, IDC_PORT);
    EXPECT_EQ(WindowOf(panel).focusWidget(), port);
    EXPECT_EQ(port->selectedText(), QStringLiteral("abc"));

    // The next push writes the kept number back.
    panel.UpdateData(false);
    EXPECT_EQ(port->text(), QStringLiteral("1"));
}

TEST(IntegerPull, EmptyBoxFails) {
    PanelDialog panel;
    panel.UpdateData(false);
    WidgetAs<QLineEdit>(panel, IDC_COUNT)->clear();
    ModalWatcher closer([](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) box->button(QMessageBox::Ok)->click();
    });
    EXPECT_FALSE(panel.UpdateData(true));
    EXPECT_EQ(WindowOf(panel).focusWidget(), Widget(panel, IDC_COUNT));
}

TEST(IntegerPull, AtMostOneMessageBoxWhileAnotherPullFails) {
    PanelDialog panel;
    SmallDialog other;
    panel.UpdateData(false);
    other.UpdateData(false);
    WidgetAs<QLineEdit>(panel, IDC_PORT)->setText(QStringLiteral("abc"));
    WidgetAs<QLineEdit>(other, IDC_VALUE)->setText(QStringLiteral("xyz"));

    {
        int firstBoxes = 0;
        int extraBoxes = 0;
        int innerBoxesOpen = -1;
        bool innerSelf = true, innerOther = true;
        QWidget* first = nullptr;
        ModalWatcher closer([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return;
            if (first && box != first) {  // a second box: count it and get rid of it
                ++extraBoxes;
                box->button(QMessageBox::Ok)->click();
                return;
            }
            first = box;
            ++firstBoxes;
            // Inside the box's own loop: the same dialog and another one pull again.
            innerSelf = panel.UpdateData(true);
            innerOther = other.UpdateData(true);
            innerBoxesOpen = VisibleMessageBoxes();
            box->button(QMessageBox::Ok)->click();
        });

        EXPECT_FALSE(panel.UpdateData(true));
        EXPECT_EQ(firstBoxes, 1);
        EXPECT_FALSE(innerSelf);
        EXPECT_FALSE(innerOther);
        EXPECT_EQ(innerBoxesOpen, 1);
        EXPECT_EQ(extraBoxes, 0);
    }

    // With the first box closed, the next failure shows its message again.
    int later = 0;
    ModalWatcher closer([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            ++later;
            box->button(QMessageBox::Ok)->click();
        }
    });
    EXPECT_FALSE(other.UpdateData(true));
    EXPECT_EQ(later, 1);
}

TEST(IntegerPull, RefreshServedInsideTheMessageBoxFailsQuietly) {
    PanelDialog panel;
    panel.ShowModeless();
    panel.UpdateData(false);
    WidgetAs<QLineEdit>(panel, IDC_PORT)->setText(QStringLiteral("abc"));

    std::vector<bool> pullsInRefresh;
    panel.onSysCommand = [&](unsigned) { pullsInRefresh.push_back(panel.UpdateData(true)); };

    std::thread worker;
    std::atomic<bool> workerDone{false};
    std::atomic<bool> workerResult{false};
    int boxes = 0;
    ModalWatcher closer([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return;
        if (!worker.joinable()) {
            ++boxes;
            worker = std::thread([&] {
                workerResult = panel.SendSysCommand(113, nullptr, 5000);
                workerDone = true;
            });
            return;
        }
        if (workerDone) box->button(QMessageBox::Ok)->click();
    });

    EXPECT_FALSE(panel.UpdateData(true));
    worker.join();
    EXPECT_TRUE(workerResult);
    EXPECT_EQ(boxes, 1);
    ASSERT_EQ(pullsInRefresh.size(), 1u);
    EXPECT_FALSE(pullsInRefresh[0]);
    EXPECT_EQ(VisibleMessageBoxes(), 0);
}

}  // namespace
}  // namespace testing_ui
