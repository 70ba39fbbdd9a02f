#include "tools/bench/support/BenchDialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEventLoop>
#include <QTimer>

#include "link/LinkState.h"
#include "res/Resource.h"

namespace bench {

namespace {

QEventLoop* g_waiting = nullptr;

}  // namespace

bool BenchDialog::Refresh(unsigned code, const platform::Event& stop) {
    if (onRefreshAsked) onRefreshAsked(code);
    return CZonterDlg::Refresh(code, stop);
}

void BenchDialog::OnSysCommand(unsigned code, long extra) {
    CZonterDlg::OnSysCommand(code, extra);
    if (onSysCommandDone) onSysCommandDone(code);
}

bool BenchDialog::ShowAndInitialise(int boundMs) {
    ShowModeless();
    return RunEventsUntil([] { return linkcore::Link().Slot(linkcore::WorkerKind::SingleRead).stop != nullptr; },
                          boundMs);
}

QString BenchDialog::Text(int id) const { return QString::fromStdString(GetDlgItemText(id)); }

void BenchDialog::Click(int id) {
    if (auto* b = platform::ui::qt::WidgetAs<QAbstractButton>(*this, id)) b->click();
}

void BenchDialog::Tick(int id, bool on) {
    auto* b = platform::ui::qt::WidgetAs<QAbstractButton>(*this, id);
    if (b && b->isChecked() != on) b->click();
}

void BenchDialog::SelectDecoder(int index) {
    if (auto* c = platform::ui::qt::WidgetAs<QComboBox>(*this, IDC_DECODER)) c->setCurrentIndex(index);
}

bool RunEventsUntil(const std::function<bool()>& done, int boundMs, int pollMs) {
    if (done()) return true;
    QEventLoop loop;
    QEventLoop* outer = g_waiting;
    g_waiting = &loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    bool expired = false;
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        expired = true;
        loop.quit();
    });
    deadline.start(boundMs);
    QTimer poll;
    if (pollMs > 0) {
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done()) loop.quit();
        });
        poll.start(pollMs);
    }
    while (!done() && !expired) loop.exec();
    g_waiting = outer;
    return done();
}

void WakeWaiter() {
    if (g_waiting) g_waiting->quit();
}

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void PreferOffscreenPlatform() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

}  // namespace bench
