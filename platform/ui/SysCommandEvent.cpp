#include "platform/ui/SysCommandEvent.h"

#include <utility>

namespace platform::ui {

QEvent::Type SysCommandEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

SysCommandEvent::SysCommandEvent(unsigned code, std::shared_ptr<SysCommandCompletion> completion,
                                 std::shared_ptr<std::atomic<int>> pending)
    : QEvent(EventType()), code_(code), completion_(std::move(completion)), pending_(std::move(pending)) {
    pending_->fetch_add(1);
}

SysCommandEvent::~SysCommandEvent() { Finish(); }

void SysCommandEvent::MarkHandled() {
    completion_->handled.store(true);
    Finish();
}

void SysCommandEvent::Finish() {
    if (finished_) return;
    finished_ = true;
    pending_->fetch_sub(1);
    completion_->done.Set();
}

}  // namespace platform::ui
