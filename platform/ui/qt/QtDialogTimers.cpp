// A dialog's timers: Qt timers of the window, which exist only while they
// run, so that an idle window never wakes up.
#include <QTimerEvent>

#include <algorithm>

#include "platform/ui/qt/QtDialogWindow.h"

namespace platform::ui::qt {

void QtDialogWindow::SetTimer(int timerId, int intervalMs) {
    KillTimer(timerId);
    if (const int qtId = startTimer(std::max(1, intervalMs)); qtId != 0) timers_[timerId] = qtId;
}

void QtDialogWindow::KillTimer(int timerId) {
    const auto it = timers_.find(timerId);
    if (it == timers_.end()) return;
    killTimer(it->second);
    timers_.erase(it);
}

bool QtDialogWindow::TimerRunning(int timerId) const { return timers_.count(timerId) != 0; }

void QtDialogWindow::timerEvent(QTimerEvent* e) {
    const auto it =
        std::find_if(timers_.begin(), timers_.end(), [e](const auto& timer) { return timer.second == e->timerId(); });
    if (it == timers_.end()) {
        QDialog::timerEvent(e);
        return;
    }
    // The handler may set or kill timers, this one included.
    const int timerId = it->first;
    owner_.WindowTimer(timerId);
}

}  // namespace platform::ui::qt
