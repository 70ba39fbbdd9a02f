#include "platform/ui/qt/PaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <utility>

namespace platform::ui::qt {

PaintPacer::PaintPacer(QWidget* window, std::function<void()> beforePaint, int intervalMs)
    : QObject(window), window_(window), beforePaint_(std::move(beforePaint)), intervalMs_(intervalMs) {
    intervalEnd_.setSingleShot(true);
    intervalEnd_.setTimerType(Qt::PreciseTimer);
    connect(&intervalEnd_, &QTimer::timeout, this, [this] { EndInterval(); });
    window_->installEventFilter(this);
}

bool PaintPacer::Paced() const {
    return intervalEnd_.isActive() || (sinceLastPaint_.isValid() && sinceLastPaint_.elapsed() < intervalMs_);
}

void PaintPacer::Hold() {
    if (intervalEnd_.isActive()) return;
    const qint64 left = sinceLastPaint_.isValid() ? intervalMs_ - sinceLastPaint_.elapsed() : 0;
    intervalEnd_.start(static_cast<int>(std::max<qint64>(0, left)));
}

bool PaintPacer::eventFilter(QObject* watched, QEvent* e) {
    if (watched != window_ || e->type() != QEvent::UpdateRequest || delivering_) return false;
    // Sent rather than posted (a repaint()), or posted: either way, while
    // paced the request waits for the end of the interval.
    if (Paced()) {
        requestHeld_ = true;
        Hold();
        return true;
    }
    sinceLastPaint_.start();
    return false;
}

void PaintPacer::EndInterval() {
    // What beforePaint changes posts a request of its own unless one is
    // held; that one passes, as the interval is over.
    sinceLastPaint_.invalidate();
    if (beforePaint_) beforePaint_();
    if (!requestHeld_) return;
    requestHeld_ = false;
    sinceLastPaint_.start();
    QEvent request(QEvent::UpdateRequest);
    delivering_ = true;
    QCoreApplication::sendEvent(window_, &request);
    delivering_ = false;
}

}  // namespace platform::ui::qt
