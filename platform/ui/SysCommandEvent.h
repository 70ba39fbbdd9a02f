#pragma once

#include <QEvent>

#include <atomic>
#include <memory>

#include "platform/Event.h"

namespace platform::ui {

// What a thread waiting on a system command shares with the dialog: the
// completion event outlives both the request and a waiter that gave up.
struct SysCommandCompletion {
    platform::Event done;
    std::atomic<bool> handled{false};
};

// A system command posted to a dialog from another thread. However the
// event ends — served, or dropped with its dialog — it sets `done`, so the
// waiter never hangs; `handled` tells the two apart.
class SysCommandEvent : public QEvent {
public:
    static QEvent::Type EventType();

    SysCommandEvent(unsigned code, std::shared_ptr<SysCommandCompletion> completion,
                    std::shared_ptr<std::atomic<int>> pending);
    ~SysCommandEvent() override;

    unsigned Code() const { return code_; }
    void MarkHandled();

private:
    void Finish();

    unsigned code_;
    bool finished_ = false;
    std::shared_ptr<SysCommandCompletion> completion_;
    std::shared_ptr<std::atomic<int>> pending_;
};

}  // namespace platform::ui
