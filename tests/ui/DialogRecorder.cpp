#include "tests/ui/DialogRecorder.h"

#include <QObject>

#include <map>

#include "platform/ui/qt/QtDialogWindow.h"

namespace testing_ui {

namespace {

using platform::ui::DialogBase;
using platform::ui::DialogWindow;

// Windows live on the GUI thread only, so the map needs no lock.
std::map<const QObject*, DialogBase*>& Owners() {
    static std::map<const QObject*, DialogBase*> owners;
    return owners;
}

class RecordingWindowSystem : public platform::ui::WindowSystem {
public:
    explicit RecordingWindowSystem(platform::ui::WindowSystem& inner) : inner_(inner) {}

    std::unique_ptr<DialogWindow> CreateDialogWindow(DialogBase& owner, const platform::DialogTemplate& tmpl,
                                                     DialogWindow* parent) override {
        std::unique_ptr<DialogWindow> window = inner_.CreateDialogWindow(owner, tmpl, parent);
        if (auto* qt = dynamic_cast<platform::ui::qt::QtDialogWindow*>(window.get())) {
            const QObject* key = qt;
            Owners()[key] = &owner;
            QObject::connect(qt, &QObject::destroyed, [key] { Owners().erase(key); });
        }
        return window;
    }

private:
    platform::ui::WindowSystem& inner_;
};

}  // namespace

void InstallDialogRecorder() {
    static RecordingWindowSystem recorder(platform::ui::CurrentWindowSystem());
    platform::ui::InstallWindowSystem(&recorder);
}

DialogBase* DialogOf(const QWidget* window) {
    const auto it = Owners().find(window);
    return it == Owners().end() ? nullptr : it->second;
}

}  // namespace testing_ui
