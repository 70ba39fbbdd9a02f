#include "platform/ui/qt/OwnerModal.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>

#include <algorithm>
#include <vector>

namespace platform::ui::qt {

namespace {

bool IsInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
    }
}

// Keeps input away from the windows whose modal loops run, as a disabled
// window on Windows gets none.
class InputGate : public QObject {
public:
    static InputGate& Instance() {
        static InputGate* gate = [] {
            auto* made = new InputGate;
            qApp->installEventFilter(made);
            return made;
        }();
        return *gate;
    }

    std::vector<const QWidget*> blocked;  // one entry per loop over it
    std::vector<QPointer<QWidget>> running;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (blocked.empty() || !watched->isWidgetType() || !IsInput(e->type())) return false;
        return !TakesInput(static_cast<QWidget*>(watched));
    }
};

}  // namespace

bool TakesInput(const QWidget* widget) {
    const auto& blocked = InputGate::Instance().blocked;
    return std::find(blocked.begin(), blocked.end(), widget->window()) == blocked.end();
}

QWidget* RunningModalWindow() {
    auto& running = InputGate::Instance().running;
    for (auto it = running.rbegin(); it != running.rend(); ++it)
        if (*it && (*it)->isVisible()) return *it;
    return nullptr;
}

void RunOverOwner(QDialog* window, QWidget* owner) {
    InputGate& gate = InputGate::Instance();
    const QWidget* blocked = owner ? owner->window() : nullptr;
    if (blocked) gate.blocked.push_back(blocked);
    gate.running.emplace_back(window);

    QEventLoop loop;
    bool ended = false;
    const auto end = [&] {
        ended = true;
        loop.quit();
    };
    QObject::connect(window, &QDialog::finished, &loop, end);
    QObject::connect(window, &QObject::destroyed, &loop, end);
    const QPointer<QDialog> alive(window);
    window->show();
    if (!ended) loop.exec(QEventLoop::DialogExec);
    if (alive) QObject::disconnect(window, nullptr, &loop, nullptr);

    // Loops nest: this one is the innermost.
    gate.running.pop_back();
    if (blocked) gate.blocked.pop_back();
}

}  // namespace platform::ui::qt
