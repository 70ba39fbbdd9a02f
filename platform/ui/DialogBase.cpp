#include "platform/ui/DialogBase.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QThread>

#include "platform/Event.h"
#include "platform/ui/SysCommandEvent.h"

namespace platform::ui {

namespace {

// An unbounded wait is made of bounded slices of this length.
constexpr int kWaitSliceMs = 1000;

bool IsEnterKey(const QKeyEvent* e) {
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    const bool plain =
        e->modifiers() == Qt::NoModifier || (e->modifiers() == Qt::KeypadModifier && e->key() == Qt::Key_Enter);
    return enter && plain;
}

}  // namespace

DialogBase::DialogBase(const platform::DialogTemplate& tmpl, QWidget* parent)
    : QDialog(parent), tmpl_(tmpl), pendingCommands_(std::make_shared<std::atomic<int>>(0)) {
    Build();
}

// Requests still queued are dropped with the dialog; dropping sets their
// completion events, so no waiter hangs.
DialogBase::~DialogBase() = default;

int DialogBase::DoModal() { return exec(); }

bool DialogBase::UpdateData(bool save) {
    ++exchangeDepth_;
    DataExchange exchange(*this, save);
    DoDataExchange(exchange);
    --exchangeDepth_;
    if (exchangeDepth_ == 0 && !drawAfterExchange_.empty()) {
        const std::set<int> ids = std::move(drawAfterExchange_);
        drawAfterExchange_.clear();
        for (int id : ids) ScheduleDraw(id);
    }
    return !exchange.failed();
}

QWidget* DialogBase::Control(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void DialogBase::EnableControl(int id, bool enable) {
    if (QWidget* control = Control(id)) control->setEnabled(enable);
}

QRect DialogBase::MapDialogRect(int x, int y, int w, int h) const { return units_.Map(x, y, w, h); }

bool DialogBase::SendSysCommand(unsigned code, const platform::Event* stop, int boundMs) {
    if (QThread::currentThread() == thread()) {
        OnSysCommand(code, 0);
        return true;
    }
    auto completion = std::make_shared<SysCommandCompletion>();
    QCoreApplication::postEvent(this, new SysCommandEvent(code, completion, pendingCommands_));

    auto waitSlice = [&](int ms) {
        return stop ? platform::WaitAny({&completion->done, stop}, ms) : platform::WaitAny({&completion->done}, ms);
    };
    if (boundMs >= 0) {
        waitSlice(boundMs);
    } else {
        while (waitSlice(kWaitSliceMs) < 0) {
        }
    }
    return completion->handled.load();
}

void DialogBase::Notify(Notification n, int id, int delta) {
    const auto it = handlers_.find({static_cast<int>(n), id});
    if (it != handlers_.end()) {
        const Handler handler = it->second;  // the handler may remap itself
        handler(delta);
        return;
    }
    if (n == Notification::Clicked && id == kIdOk)
        OnOK();
    else if (n == Notification::Clicked && id == kIdCancel)
        OnCancel();
}

void DialogBase::Dispatch(Notification n, int id, int delta) {
    if (exchangeDepth_ > 0) {
        // A slider drawn meanwhile is drawn again once the exchange is over.
        if (n == Notification::Draw) drawAfterExchange_.insert(id);
        return;
    }
    Notify(n, id, delta);
}

void DialogBase::OnNotify(Notification n, int id, Handler handler) {
    handlers_[{static_cast<int>(n), id}] = std::move(handler);
}

bool DialogBase::OnInitDialog() {
    UpdateData(false);
    return true;
}

void DialogBase::OnOK() {
    if (UpdateData(true)) EndDialog(QDialog::Accepted);
}

void DialogBase::OnCancel() { EndDialog(QDialog::Rejected); }

void DialogBase::OnSysCommand(unsigned, long) {}

void DialogBase::accept() { OnOK(); }

void DialogBase::reject() { OnCancel(); }

void DialogBase::EndDialog(int result) { done(result); }

void DialogBase::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!initialised_) {
        initialised_ = true;
        if (OnInitDialog()) FocusFirstControl();
    }
    // Every showing draws the sliders.
    for (std::size_t i = 0; i < tmpl_.controls.size(); ++i) {
        if (tmpl_.controls[i].kind == platform::ControlKind::Slider && tmpl_.controls[i].id != -1)
            ScheduleDraw(tmpl_.controls[i].id);
    }
}

void DialogBase::ScheduleDraw(int id) {
    // Drawing starts with the first showing; one Draw per slider waits at a
    // time, and it runs after whatever handler moved the slider has returned.
    if (!initialised_ || !drawPending_.insert(id).second) return;
    QMetaObject::invokeMethod(
        this,
        [this, id] {
            drawPending_.erase(id);
            if (isVisible()) Dispatch(Notification::Draw, id, 0);
        },
        Qt::QueuedConnection);
}

bool DialogBase::event(QEvent* e) {
    if (e->type() == SysCommandEvent::EventType()) {
        auto* request = static_cast<SysCommandEvent*>(e);
        OnSysCommand(request->Code(), 0);
        request->MarkHandled();
        return true;
    }
    if (e->type() == QEvent::WindowIconChange || e->type() == QEvent::ApplicationWindowIconChange) RefreshIcons();
    return QDialog::event(e);
}

void DialogBase::PressEnter() {
    // Enter presses the focused push button, else the default button, else
    // issues IDOK.
    if (auto* focused = qobject_cast<QPushButton*>(focusWidget()); focused && focused->isVisible()) {
        if (focused->isEnabled()) focused->click();
        return;
    }
    for (std::size_t i = 0; i < tmpl_.controls.size(); ++i) {
        if (tmpl_.controls[i].kind != platform::ControlKind::DefPushButton) continue;
        auto* button = qobject_cast<QPushButton*>(templateOrder_[i]);
        if (button && button->isVisible()) {
            if (button->isEnabled()) button->click();
            return;
        }
    }
    Dispatch(Notification::Clicked, kIdOk, 0);
}

void DialogBase::keyPressEvent(QKeyEvent* e) {
    if (IsEnterKey(e)) {
        PressEnter();
        return;
    }
    if (e->matches(QKeySequence::Cancel)) {
        Dispatch(Notification::Clicked, kIdCancel, 0);
        return;
    }
    e->ignore();
}

bool DialogBase::eventFilter(QObject* watched, QEvent* e) {
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

void DialogBase::ShowIntegerError(int id) {
    // One such message box at a time in the whole program: a pull that
    // fails while one is open (a refresh served inside its loop) stays quiet.
    static bool boxOpen = false;
    QPointer<DialogBase> self(this);
    if (!boxOpen) {
        boxOpen = true;
        QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                                    QStringLiteral("Введите целое число."), QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("IDP_PARSE_INT"));
        box->exec();
        delete box.data();  // already gone if the dialog went while it was open
        boxOpen = false;
    }
    if (!self) return;
    if (QWidget* control = Control(id)) {
        control->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
    }
}

}  // namespace platform::ui
