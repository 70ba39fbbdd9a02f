#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace platform::ui::qt {

// Paints a window at most once per interval.
//
// Qt paints a window when its posted update request arrives, once for each
// turn of the event loop that changed something. Worker refreshes come up
// to 150 times a second; painting each one costs the dialog's thread far
// more than the refresh itself, and nobody reads a value that changes
// faster than the interval. The pacer holds a request that comes sooner
// than the interval after the last paint, and delivers it when the
// interval is over. Qt keeps every region marked dirty meanwhile and posts
// no further request, so the delayed paint covers every change since the
// last one: a change is never lost, only shown up to one interval later.
// The first change after a quiet spell is painted at once. The timer runs
// only while a paint is held, so an idle window never wakes.
//
// `beforePaint` runs at the end of each held interval, before the paint:
// the window applies there what it deferred while paced (see Paced).
class PaintPacer : public QObject {
public:
    // One frame of a 60 Hz screen: a change is on screen within a frame.
    static constexpr int kDefaultIntervalMs = 16;

    // Watches `window` (a top-level widget), whose child the pacer becomes.
    PaintPacer(QWidget* window, std::function<void()> beforePaint, int intervalMs = kDefaultIntervalMs);

    // True while a change would be painted only at the end of the interval.
    bool Paced() const;
    // Makes sure the end of the current interval comes: `beforePaint`, and
    // the paint if one is held. Call only while Paced().
    void Hold();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void EndInterval();

    QWidget* window_;
    std::function<void()> beforePaint_;
    const int intervalMs_;
    QElapsedTimer sinceLastPaint_;  // invalid once an interval is over
    QTimer intervalEnd_;
    bool requestHeld_ = false;
    bool delivering_ = false;
};

}  // namespace platform::ui::qt
