#include "platform/ui/DialogBase.h"

#include <utility>
#include <vector>

#include "platform/Event.h"

namespace platform::ui {

namespace {

// An unbounded wait is made of bounded slices of this length.
constexpr int kWaitSliceMs = 1000;

constexpr const char* kIntegerErrorName = "IDP_PARSE_INT";
constexpr const char* kMessageBoxName = "IDP_MESSAGE";
constexpr const char* kIntegerErrorText = "Введите целое число.";

// What a thread waiting on a system command shares with the dialog: the
// completion event outlives both the request and a waiter that gave up.
struct SysCommandCompletion {
    platform::Event done;
    std::atomic<bool> handled{false};
    // 0 while being posted, 1 once counted as pending, 2 once finished.
    std::atomic<int> state{0};
};

// A queued system command. However the posted task ends -- run, or
// dropped with its window -- the last copy going sets `done`, so the
// waiter never hangs; `handled` tells the two apart. The request counts
// as pending only once it has been posted (see CountPosted).
class SysCommandTicket {
public:
    SysCommandTicket(std::shared_ptr<SysCommandCompletion> completion, std::shared_ptr<std::atomic<int>> pending)
        : completion_(std::move(completion)), pending_(std::move(pending)) {}
    ~SysCommandTicket() {
        if (completion_->state.exchange(2) == 1) pending_->fetch_sub(1);
        completion_->done.Set();
    }
    SysCommandTicket(const SysCommandTicket&) = delete;
    SysCommandTicket& operator=(const SysCommandTicket&) = delete;

    void MarkHandled() { completion_->handled.store(true); }

private:
    std::shared_ptr<SysCommandCompletion> completion_;
    std::shared_ptr<std::atomic<int>> pending_;
};

// Called by the sender once Post has returned: from then on the request
// counts as pending until its task is run or dropped (which may already
// have happened).
void CountPosted(SysCommandCompletion& completion, std::atomic<int>& pending) {
    pending.fetch_add(1);
    int posting = 0;
    if (!completion.state.compare_exchange_strong(posting, 1)) pending.fetch_sub(1);
}

// A completion for the calling thread's next request: the one it used last,
// once nobody else holds it (its ticket has gone), or else a new one.
// Making an event for every request cost a refresh more than the rest of
// its bookkeeping.
std::shared_ptr<SysCommandCompletion> FreshCompletion() {
    thread_local std::shared_ptr<SysCommandCompletion> last;
    if (last && last.use_count() == 1) {
        // Pairs with the release of the ticket's reference: what the
        // ticket did to the completion is seen before it is reset.
        std::atomic_thread_fence(std::memory_order_acquire);
        last->done.Reset();
        last->handled.store(false);
        last->state.store(0);
    } else {
        last = std::make_shared<SysCommandCompletion>();
    }
    return last;
}

}  // namespace

// A modal loop running on the dialogs' thread, for as long as the object
// lives: a dialog's own (over its parent) or a box a dialog asked for (over
// that dialog). Loops nest; the innermost is the last of Running().
class DialogBase::ModalLoop {
public:
    ModalLoop(DialogBase& dialog, bool box)
        : base_(box ? &dialog : dialog.parent_), dialog_(dialog), alive_(dialog.alive_), box_(box) {
        Running().push_back(this);
    }
    ~ModalLoop() {
        Running().pop_back();
        if (!*alive_) return;  // the dialog went while its loop ran
        // A close request that waited for this loop is made again once the
        // handler that ran the loop has returned.
        for (DialogBase* d = base_; d; d = d->parent_) {
            if (d->closeWaits_) d->PostToDialog([d] { d->RetryClose(); });
        }
    }
    ModalLoop(const ModalLoop&) = delete;
    ModalLoop& operator=(const ModalLoop&) = delete;

    static std::vector<ModalLoop*>& Running() {
        static std::vector<ModalLoop*> running;
        return running;
    }
    // The innermost loop over `dialog`, or null.
    static ModalLoop* InnermostOver(const DialogBase& dialog) {
        const std::vector<ModalLoop*>& running = Running();
        for (auto it = running.rbegin(); it != running.rend(); ++it) {
            if (*(*it)->alive_ && (*it)->base_ && (*it)->base_->IsWithin(dialog)) return *it;
        }
        return nullptr;
    }
    // Asks the loop to end as its window's close box would.
    void AskToEnd() {
        if (box_)
            dialog_.window_->CloseBox();
        else
            dialog_.WindowCloseRequested();
    }

private:
    DialogBase* base_;  // the dialog the loop runs over
    DialogBase& dialog_;
    std::shared_ptr<bool> alive_;  // of dialog_
    bool box_;
};

DialogBase::DialogBase(const DialogTemplate& tmpl, DialogBase* parent)
    : parent_(parent),
      tmpl_(tmpl),
      pendingCommands_(std::make_shared<std::atomic<int>>(0)),
      alive_(std::make_shared<bool>(true)),
      window_(CurrentWindowSystem().CreateDialogWindow(*this, tmpl, parent ? parent->window_.get() : nullptr)) {}

// The window goes first: tasks still queued for it are dropped unrun, and
// dropping a system command's task releases its waiter.
DialogBase::~DialogBase() {
    *alive_ = false;
    window_.reset();
}

int DialogBase::DoModal() {
    if (parent_ && parent_->CloseWaitsAround()) return kIdCancel;
    const ModalLoop loop(*this, false);
    return window_->RunModal();
}

void DialogBase::ShowModeless() { window_->ShowModeless(); }

bool DialogBase::IsVisible() const { return window_->Visible(); }

int DialogBase::Result() const { return window_->Result(); }

void DialogBase::EndDialog(int result) { window_->End(result); }

std::string DialogBase::Title() const { return window_->Title(); }

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

bool DialogBase::HasControl(int id) const { return window_->HasControl(id); }
std::string DialogBase::GetDlgItemText(int id) const { return window_->Text(id); }
void DialogBase::SetDlgItemText(int id, std::string_view text) { window_->SetText(id, text); }
void DialogBase::EnableControl(int id, bool enable) { window_->Enable(id, enable); }
bool DialogBase::IsControlEnabled(int id) const { return window_->Enabled(id); }
void DialogBase::ShowControl(int id, bool show) { window_->Show(id, show); }
bool DialogBase::IsControlShown(int id) const { return window_->Shown(id); }
void DialogBase::SetSliderRange(int id, int low, int high) { window_->SetSliderRange(id, low, high); }
void DialogBase::SetToolTip(int id, std::string_view text) { window_->SetToolTip(id, text); }
void DialogBase::SetControlFont(int id, const Font& font) { window_->SetFont(id, font); }
void DialogBase::SetIcon(std::span<const std::uint8_t> png) { window_->SetIcon(png); }

void DialogBase::GotoDlgCtrl(int id) {
    window_->SetFocus(id);
    window_->SelectAllText(id);
}

void DialogBase::MessageBox(std::string_view text) { RunMessageBox(kMessageBoxName, text); }

void DialogBase::RunMessageBox(const char* name, std::string_view text) {
    if (CloseWaitsAround()) return;
    const ModalLoop loop(*this, true);
    window_->MessageBox(name, text);
}

std::string DialogBase::AskFileName(const FileQuestion& question) {
    if (CloseWaitsAround()) return {};
    const ModalLoop loop(*this, true);
    return window_->AskFileName(question);
}

bool DialogBase::IsWithin(const DialogBase& outer) const {
    for (const DialogBase* d = this; d; d = d->parent_) {
        if (d == &outer) return true;
    }
    return false;
}

bool DialogBase::CloseWaitsAround() const {
    for (const DialogBase* d = this; d; d = d->parent_) {
        if (d->closeWaits_) return true;
    }
    return false;
}

void DialogBase::WindowCloseRequested() {
    if (ModalLoop* inner = ModalLoop::InnermostOver(*this)) {
        closeWaits_ = true;
        inner->AskToEnd();
        return;
    }
    closeWaits_ = false;
    Notify(Notification::Clicked, kIdCancel);
}

void DialogBase::RetryClose() {
    // Several loops that ended may each have asked for it.
    if (closeWaits_) WindowCloseRequested();
}

void DialogBase::AppendMenuSeparator() { window_->AppendMenuSeparator(); }

void DialogBase::AppendMenuItem(std::string_view text, unsigned sysCommand) {
    window_->AppendMenuItem(text, sysCommand);
}

bool DialogBase::SendSysCommand(unsigned code, const platform::Event* stop, int boundMs) {
    if (window_->OnDialogThread()) {
        OnSysCommand(code, 0);
        return true;
    }
    // Once posted, the task may run, or the dialog may go, at any moment:
    // past Post nothing of the dialog is touched here.
    const std::shared_ptr<std::atomic<int>> pending = pendingCommands_;
    std::shared_ptr<SysCommandCompletion> completion = FreshCompletion();
    auto ticket = std::make_shared<SysCommandTicket>(completion, pending);
    window_->Post([this, code, ticket = std::move(ticket)] {
        OnSysCommand(code, 0);
        ticket->MarkHandled();
    });
    CountPosted(*completion, *pending);

    auto waitSlice = [&](int ms) {
        return stop ? platform::WaitAny({&completion->done, stop}, ms) : platform::WaitAny({&completion->done}, ms);
    };
    if (boundMs >= 0) {
        // Either outcome is read from `handled` below.
        static_cast<void>(waitSlice(boundMs));
    } else {
        while (waitSlice(kWaitSliceMs) < 0) {
        }
    }
    return completion->handled.load();
}

void DialogBase::PostToDialog(std::function<void()> task) { window_->Post(std::move(task)); }

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

void DialogBase::WindowNotify(Notification n, int id, int delta) {
    if (exchangeDepth_ > 0) {
        // A slider drawn meanwhile is drawn again once the exchange is over.
        if (n == Notification::SliderChanged) drawAfterExchange_.insert(id);
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
    if (UpdateData(true)) EndDialog(kIdOk);
}

void DialogBase::OnCancel() { EndDialog(kIdCancel); }

void DialogBase::OnSysCommand(unsigned, long) {}

bool DialogBase::WindowShown() {
    bool focusFirst = false;
    if (!initialised_) {
        initialised_ = true;
        focusFirst = OnInitDialog();
    }
    // Every showing draws the sliders.
    for (const ControlTemplate& c : tmpl_.controls) {
        if (c.kind == ControlKind::Slider && c.id != -1) ScheduleDraw(c.id);
    }
    return focusFirst;
}

void DialogBase::WindowSliderMoved(int id) { ScheduleDraw(id); }

void DialogBase::ScheduleDraw(int id) {
    // Drawing starts with the first showing; one Draw per slider waits at a
    // time, and it runs after whatever handler moved the slider has returned.
    if (!initialised_ || !drawPending_.insert(id).second) return;
    window_->Post([this, id] {
        drawPending_.erase(id);
        if (window_->Visible()) WindowNotify(Notification::SliderChanged, id, 0);
    });
}

void DialogBase::ShowIntegerError(int id) {
    // One such message box at a time in the whole program: a pull that
    // fails while one is open (a refresh served inside its loop) stays quiet.
    static bool boxOpen = false;
    const std::shared_ptr<bool> alive = alive_;
    if (!boxOpen) {
        boxOpen = true;
        RunMessageBox(kIntegerErrorName, kIntegerErrorText);
        boxOpen = false;
    }
    if (!*alive) return;  // the dialog went while the box was open
    GotoDlgCtrl(id);
}

}  // namespace platform::ui
