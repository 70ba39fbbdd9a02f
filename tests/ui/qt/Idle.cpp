#include "tests/ui/Idle.h"

#include <QEventLoop>
#include <QTimer>

namespace testing_ui {

void DeliverEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace testing_ui
