#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "platform/ui/qt/OwnerModal.h"

namespace testing_ui {

// Processes events until `condition` holds or `ms` ran out.
template <class Condition>
bool WaitUntil(Condition condition, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::yieldCurrentThread();
    }
    return true;
}

// Delivers whatever is queued now, including what that queues in turn.
inline void DrainEvents() {
    for (int round = 0; round < 20; ++round) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Watches for the innermost modal window while some modal
// loop runs, and hands each one it sees to `action` (which usually closes
// it). Polls from a timer, so it works inside nested event loops.
class ModalWatcher : public QObject {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> action) : action_(std::move(action)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) modal = platform::ui::qt::RunningModalWindow();
            if (modal && modal->isVisible() && modal != ignored_) action_(modal);
        });
        timer_.start();
    }
    // A modal widget this watcher leaves alone (the dialog under test).
    void Ignore(QWidget* widget) { ignored_ = widget; }

private:
    std::function<void(QWidget*)> action_;
    QWidget* ignored_ = nullptr;
    QTimer timer_;
};

}  // namespace testing_ui
