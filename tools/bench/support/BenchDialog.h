#pragma once

#include <QString>

#include <chrono>
#include <functional>

#include "platform/ui/qt/QtDialogWindow.h"
#include "ui/ZonterDlg.h"

namespace bench {

// The main dialog with two observation points and the control actions a
// user would take. Nothing about its behaviour changes.
class BenchDialog : public CZonterDlg {
public:
    // Worker thread: a refresh request is about to go to the window.
    std::function<void(unsigned code)> onRefreshAsked;
    // Dialog thread: a system command (refresh included) has been handled.
    std::function<void(unsigned code)> onSysCommandDone;

    bool Refresh(unsigned code, const platform::Event& stop) override;
    void OnSysCommand(unsigned code, long extra) override;

    // Shows the dialog and runs events until it has initialised (its link
    // objects exist). False when that did not happen within boundMs.
    bool ShowAndInitialise(int boundMs = 5000);

    // The dialog's Qt window and the widget of a control.
    platform::ui::qt::QtDialogWindow& QtWindow() const { return platform::ui::qt::WindowOf(*this); }
    QWidget* Widget(int id) const { return platform::ui::qt::Widget(*this, id); }

    // The text the dialog last gave a control, which a paced paint may
    // not have put on screen yet.
    QString Text(int id) const;
    void Click(int id);
    void Tick(int id, bool on);
    void SelectDecoder(int index);
};

// Runs the event loop until `done()` holds or boundMs has passed.
// `done` is looked at every pollMs (0: never by itself) and whenever
// WakeWaiter() is called on the dialog thread. Returns done().
bool RunEventsUntil(const std::function<bool()>& done, int boundMs, int pollMs = 1);

// Makes the innermost RunEventsUntil look at its condition now.
void WakeWaiter();

// Runs the event loop for `ms` milliseconds.
void RunEventsFor(int ms);

// Sets the offscreen platform unless one was chosen, before the
// application object is made.
void PreferOffscreenPlatform();

}  // namespace bench
