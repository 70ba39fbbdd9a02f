#include "tests/support/WindowPump.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QThread>

#include "platform/ui/qt/QtDialogWindow.h"

namespace testing_support {

void StartWindowSystem(int& argc, char** argv) {
    // Listing the tests at build time runs without a display as well.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Kept to the process's end and never destroyed: as a static it would
    // go after Qt's own statics, and its destructor would crash the exit.
    static QApplication* const app = new QApplication(argc, argv);
    (void)app;
    platform::ui::qt::QtWindowSystem::Install();
}

bool PumpUntil(const std::function<bool()>& condition, int ms) {
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired()) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::yieldCurrentThread();
    }
    return true;
}

void PumpQueued() {
    for (int round = 0; round < 20; ++round) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace testing_support
