#include "platform/ui/qt/QtDialogWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QThread>

#include <utility>

#include "platform/ui/qt/ControlText.h"
#include "platform/ui/qt/OwnerModal.h"
#include "platform/ui/qt/PaintPacer.h"

namespace platform::ui::qt {

namespace {

bool IsEnterKey(const QKeyEvent* e) {
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    const bool plain =
        e->modifiers() == Qt::NoModifier || (e->modifiers() == Qt::KeypadModifier && e->key() == Qt::Key_Enter);
    return enter && plain;
}

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A task posted to the dialog's thread. Deleting the event unrun (its
// window went first) destroys the task unrun.
class TaskEvent : public QEvent {
public:
    explicit TaskEvent(std::function<void()> task) : QEvent(Type()), task_(std::move(task)) {}
    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    void Run() {
        const std::function<void()> task = std::move(task_);
        task_ = nullptr;
        task();
    }

private:
    std::function<void()> task_;
};

}  // namespace

QtDialogWindow::QtDialogWindow(DialogBase& owner, const DialogTemplate& tmpl, QWidget* parent)
    : QDialog(parent), owner_(owner), tmpl_(tmpl) {
    Build();
    pacer_ = new PaintPacer(this, [this] { ApplyPendingTexts(); });
}

QtDialogWindow::~QtDialogWindow() = default;

QWidget* QtDialogWindow::Control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

int QtDialogWindow::RunModal() {
    setResult(0);
    RunOverOwner(this, parentWidget());
    return result();
}

void QtDialogWindow::ShowModeless() { show(); }

bool QtDialogWindow::Visible() const { return isVisible(); }

void QtDialogWindow::End(int result) { done(result); }

int QtDialogWindow::Result() const { return result(); }

std::string QtDialogWindow::Title() const { return windowTitle().toStdString(); }

bool QtDialogWindow::HasControl(int id) const { return Control(id) != nullptr; }

std::string QtDialogWindow::Text(int id) const {
    if (const auto pending = pendingTexts_.find(id); pending != pendingTexts_.end())
        return pending->second.toStdString();
    const QWidget* control = Control(id);
    return control ? ControlText(control).toStdString() : std::string();
}

namespace {

// Texts that only the program sets: a read-only box or a label.
bool ProgramSetsTextOnly(const QWidget* control) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(control)) return edit->isReadOnly();
    return qobject_cast<const QLabel*>(control) != nullptr;
}

}  // namespace

void QtDialogWindow::SetText(int id, std::string_view text) {
    QWidget* control = Control(id);
    if (!control) return;
    const QString value = FromUtf8(text);
    // Laying a new text out costs more than the rest of a refresh; while
    // the window's paints are paced, a box the user cannot type into takes
    // its text with the next paint, and only the last of several.
    if (isVisible() && pacer_->Paced() && ProgramSetsTextOnly(control)) {
        if (ControlText(control) == value) {
            pendingTexts_.erase(id);
        } else {
            pendingTexts_[id] = value;
            pacer_->Hold();
        }
        return;
    }
    pendingTexts_.erase(id);
    SetControlText(control, value);
}

void QtDialogWindow::ApplyPendingTexts() {
    std::map<int, QString> pending;
    pending.swap(pendingTexts_);
    for (const auto& [id, text] : pending) {
        if (QWidget* control = Control(id)) SetControlText(control, text);
    }
}

void QtDialogWindow::ApplyPendingText(int id) {
    const auto pending = pendingTexts_.find(id);
    if (pending == pendingTexts_.end()) return;
    const QString text = std::move(pending->second);
    pendingTexts_.erase(pending);
    if (QWidget* control = Control(id)) SetControlText(control, text);
}

bool QtDialogWindow::Enabled(int id) const {
    const QWidget* control = Control(id);
    return control && control->isEnabled();
}

void QtDialogWindow::Enable(int id, bool enable) {
    if (QWidget* control = Control(id)) control->setEnabled(enable);
}

bool QtDialogWindow::Shown(int id) const {
    const QWidget* control = Control(id);
    return control && !control->isHidden();
}

void QtDialogWindow::Show(int id, bool show) {
    if (QWidget* control = Control(id)) control->setHidden(!show);
}

int QtDialogWindow::Check(int id) const {
    const auto* box = qobject_cast<const QCheckBox*>(Control(id));
    if (!box) return 0;
    switch (box->checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
    }
}

void QtDialogWindow::SetCheck(int id, int state) {
    auto* box = qobject_cast<QCheckBox*>(Control(id));
    if (!box) return;
    if (state == 2) {
        box->setCheckState(Qt::PartiallyChecked);  // turns the box three-state
    } else {
        box->setCheckState(state == 1 ? Qt::Checked : Qt::Unchecked);
        box->setTristate(false);
    }
}

void QtDialogWindow::SetSliderRange(int id, int low, int high) {
    if (auto* slider = qobject_cast<QSlider*>(Control(id))) slider->setRange(low, high);
}

int QtDialogWindow::SliderPos(int id) const {
    const auto* slider = qobject_cast<const QSlider*>(Control(id));
    return slider ? slider->value() : 0;
}

void QtDialogWindow::SetSliderPos(int id, int pos) {
    if (auto* slider = qobject_cast<QSlider*>(Control(id))) slider->setValue(pos);
}

int QtDialogWindow::Selection(int id) const {
    const auto* combo = qobject_cast<const QComboBox*>(Control(id));
    return combo ? combo->currentIndex() : -1;
}

void QtDialogWindow::SetSelection(int id, int index) {
    auto* combo = qobject_cast<QComboBox*>(Control(id));
    if (!combo) return;
    const int selected = (index >= 0 && index < combo->count()) ? index : -1;
    // The same index again changes nothing but costs a relayout of the box.
    if (combo->currentIndex() != selected) combo->setCurrentIndex(selected);
    // Selecting also puts the item's text into the edit field, even when the
    // index did not change.
    if (combo->isEditable()) {
        const QString text = selected >= 0 ? combo->itemText(selected) : QString();
        if (combo->currentText() != text) combo->setEditText(text);
    }
}

int QtDialogWindow::ItemCount(int id) const {
    const auto* combo = qobject_cast<const QComboBox*>(Control(id));
    return combo ? combo->count() : 0;
}

void QtDialogWindow::SetFocus(int id) {
    ApplyPendingText(id);
    if (QWidget* control = Control(id)) control->setFocus(Qt::OtherFocusReason);
}

void QtDialogWindow::SelectAllText(int id) {
    ApplyPendingText(id);
    if (auto* edit = qobject_cast<QLineEdit*>(Control(id))) edit->selectAll();
}

void QtDialogWindow::SetToolTip(int id, std::string_view text) {
    if (QWidget* control = Control(id)) control->setToolTip(FromUtf8(text));
}

void QtDialogWindow::SetFont(int id, const Font& font) {
    QWidget* control = Control(id);
    if (!control) return;
    QFont qfont(QString::fromUtf8(font.face));
    if (font.fixedPitch) {
        qfont.setStyleHint(QFont::TypeWriter);
        qfont.setFixedPitch(true);
    }
    qfont.setPixelSize(font.pixelHeight);
    control->setFont(qfont);
}

void QtDialogWindow::SetIcon(std::span<const std::uint8_t> png) {
    QPixmap pixmap;
    if (pixmap.loadFromData(png.data(), static_cast<uint>(png.size()), "PNG")) setWindowIcon(QIcon(pixmap));
}

void QtDialogWindow::MessageBox(const char* name, std::string_view text) {
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Warning, windowTitle(), FromUtf8(text), QMessageBox::Ok, this);
    box->setObjectName(QString::fromLatin1(name));
    box->setWindowModality(Qt::NonModal);  // the loop below takes the input from this window only
    const QPointer<QDialog> outer = std::exchange(box_, box.data());
    const QPointer<QtDialogWindow> self(this);
    RunOverOwner(box, this);
    if (self) box_ = outer;
    delete box.data();  // already gone if the dialog went while it was open
}

void QtDialogWindow::CloseBox() {
    if (box_) box_->reject();
}

void QtDialogWindow::Post(std::function<void()> task) {
    QCoreApplication::postEvent(this, new TaskEvent(std::move(task)));
}

bool QtDialogWindow::OnDialogThread() const { return QThread::currentThread() == thread(); }

void QtDialogWindow::accept() { owner_.Notify(Notification::Clicked, DialogBase::kIdOk); }

void QtDialogWindow::reject() { owner_.WindowCloseRequested(); }

void QtDialogWindow::done(int result) {
    QDialog::done(result);
    owner_.WindowEnded();
}

void QtDialogWindow::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (owner_.WindowShown()) FocusFirstControl();
}

bool QtDialogWindow::event(QEvent* e) {
    if (e->type() == TaskEvent::Type()) {
        static_cast<TaskEvent*>(e)->Run();
        return true;
    }
    if (e->type() == QEvent::WindowIconChange || e->type() == QEvent::ApplicationWindowIconChange) RefreshIcons();
    return QDialog::event(e);
}

void QtDialogWindow::PressEnter() {
    // Enter presses the focused push button, else the default button, else
    // issues IDOK.
    if (auto* focused = qobject_cast<QPushButton*>(focusWidget()); focused && focused->isVisible()) {
        if (focused->isEnabled()) focused->click();
        return;
    }
    for (std::size_t i = 0; i < tmpl_.controls.size(); ++i) {
        if (tmpl_.controls[i].kind != ControlKind::DefPushButton) continue;
        auto* button = qobject_cast<QPushButton*>(templateOrder_[i]);
        if (button && button->isVisible()) {
            if (button->isEnabled()) button->click();
            return;
        }
    }
    owner_.WindowNotify(Notification::Clicked, DialogBase::kIdOk);
}

void QtDialogWindow::keyPressEvent(QKeyEvent* e) {
    if (RunKeyCommand(e)) return;
    if (IsEnterKey(e)) {
        PressEnter();
        return;
    }
    if (e->matches(QKeySequence::Cancel)) {
        owner_.WindowNotify(Notification::Clicked, DialogBase::kIdCancel);
        return;
    }
    e->ignore();
}

bool QtDialogWindow::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == this &&
        RunKeyCommand(static_cast<QKeyEvent*>(e)))
        return true;
    // An editable combo box keeps Enter and Esc to itself; in a dialog they
    // belong to the dialog.
    if (e->type() == QEvent::KeyPress && qobject_cast<QComboBox*>(watched) &&
        static_cast<QWidget*>(watched)->window() == this) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (IsEnterKey(key) || key->matches(QKeySequence::Cancel)) {
            keyPressEvent(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

std::unique_ptr<DialogWindow> QtWindowSystem::CreateDialogWindow(DialogBase& owner, const DialogTemplate& tmpl,
                                                                 DialogWindow* parent) {
    return std::make_unique<QtDialogWindow>(owner, tmpl, dynamic_cast<QtDialogWindow*>(parent));
}

void QtWindowSystem::Install() {
    static QtWindowSystem system;
    InstallWindowSystem(&system);
}

QtDialogWindow& WindowOf(const DialogBase& dialog) { return static_cast<QtDialogWindow&>(dialog.Window()); }

QWidget* Widget(const DialogBase& dialog, int id) { return WindowOf(dialog).Control(id); }

}  // namespace platform::ui::qt
