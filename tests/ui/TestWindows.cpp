#include "tests/ui/TestWindows.h"

#include <map>
#include <memory>
#include <utility>

namespace testing_ui {

namespace {

using namespace platform::ui;

// A dialog's window as the tests see it: the system's window, with what
// opens noted and the system's own boxes answered by the scripts.
class TestWindow : public DialogWindow {
public:
    TestWindow(DialogBase& owner, std::unique_ptr<DialogWindow> inner) : owner_(owner), inner_(std::move(inner)) {}

    DialogWindow& Inner() const { return *inner_; }

    int RunModal() override {
        Opened().push_back(owner_.Template().name);
        // Posted before the loop starts: the loop runs it first.
        inner_->Post([this, script = Scripts().modal] {
            if (script) script(owner_);
            if (!inner_->Visible()) return;
            owner_.Notify(Notification::Clicked, DialogBase::kIdCancel);
            if (inner_->Visible()) inner_->End(DialogBase::kIdCancel);
        });
        return inner_->RunModal();
    }
    void ShowModeless() override {
        Opened().push_back(owner_.Template().name);
        inner_->ShowModeless();
    }
    std::string AskFileName(const FileQuestion& question) override {
        Opened().push_back("file dialog");
        const auto script = Scripts().fileQuestion;
        return script ? script(question) : std::string();
    }
    void MessageBox(const char*, std::string_view text) override {
        Opened().push_back("message box");
        Messages().emplace_back(text);
        if (const auto script = Scripts().messageBox) script(std::string(text));
    }
    // The scripts' boxes close when their script returns.
    void CloseBox() override {}

    bool Visible() const override { return inner_->Visible(); }
    void End(int result) override { inner_->End(result); }
    int Result() const override { return inner_->Result(); }
    std::string Title() const override { return inner_->Title(); }
    bool HasControl(int id) const override { return inner_->HasControl(id); }
    std::string Text(int id) const override { return inner_->Text(id); }
    void SetText(int id, std::string_view text) override { inner_->SetText(id, text); }
    bool Enabled(int id) const override { return inner_->Enabled(id); }
    void Enable(int id, bool enable) override { inner_->Enable(id, enable); }
    bool Shown(int id) const override { return inner_->Shown(id); }
    void Show(int id, bool show) override { inner_->Show(id, show); }
    int Check(int id) const override { return inner_->Check(id); }
    void SetCheck(int id, int state) override { inner_->SetCheck(id, state); }
    void SetSliderRange(int id, int low, int high) override { inner_->SetSliderRange(id, low, high); }
    int SliderPos(int id) const override { return inner_->SliderPos(id); }
    void SetSliderPos(int id, int pos) override { inner_->SetSliderPos(id, pos); }
    int Selection(int id) const override { return inner_->Selection(id); }
    void SetSelection(int id, int index) override { inner_->SetSelection(id, index); }
    int ItemCount(int id) const override { return inner_->ItemCount(id); }
    void SetFocus(int id) override { inner_->SetFocus(id); }
    void SelectAllText(int id) override { inner_->SelectAllText(id); }
    void SetToolTip(int id, std::string_view text) override {
        toolTips_[id] = std::string(text);
        inner_->SetToolTip(id, text);
    }
    std::string ToolTip(int id) const {
        const auto it = toolTips_.find(id);
        return it == toolTips_.end() ? std::string() : it->second;
    }
    void SetFont(int id, const Font& font) override { inner_->SetFont(id, font); }
    void SetIcon(std::span<const std::uint8_t> png) override { inner_->SetIcon(png); }
    void AppendMenuSeparator() override { inner_->AppendMenuSeparator(); }
    void AppendMenuItem(std::string_view text, unsigned code) override { inner_->AppendMenuItem(text, code); }
    void SetListColumns(int id, std::span<const ListColumn> columns) override { inner_->SetListColumns(id, columns); }
    void SetListRowCount(int id, int count, int dropped) override { inner_->SetListRowCount(id, count, dropped); }
    int ListRowCount(int id) const override { return inner_->ListRowCount(id); }
    bool ListAtEnd(int id) const override { return inner_->ListAtEnd(id); }
    void SetChart(int id, const ChartData& chart) override { inner_->SetChart(id, chart); }
    std::string ChartDescription(int id) const override { return inner_->ChartDescription(id); }
    void SetTimer(int timerId, int intervalMs) override { inner_->SetTimer(timerId, intervalMs); }
    void KillTimer(int timerId) override { inner_->KillTimer(timerId); }
    bool TimerRunning(int timerId) const override { return inner_->TimerRunning(timerId); }
    void SetKeyCommand(Key key, int id) override { inner_->SetKeyCommand(key, id); }
    void Post(std::function<void()> task) override { inner_->Post(std::move(task)); }
    bool OnDialogThread() const override { return inner_->OnDialogThread(); }

private:
    DialogBase& owner_;
    std::unique_ptr<DialogWindow> inner_;
    std::map<int, std::string> toolTips_;
};

class TestWindowSystem : public WindowSystem {
public:
    explicit TestWindowSystem(WindowSystem& inner) : inner_(inner) {}

    std::unique_ptr<DialogWindow> CreateDialogWindow(DialogBase& owner, const platform::DialogTemplate& tmpl,
                                                     DialogWindow* parent) override {
        // The system knows its own windows only.
        auto* wrapped = dynamic_cast<TestWindow*>(parent);
        DialogWindow* systemParent = wrapped ? &wrapped->Inner() : parent;
        return std::make_unique<TestWindow>(owner, inner_.CreateDialogWindow(owner, tmpl, systemParent));
    }

private:
    WindowSystem& inner_;
};

}  // namespace

WindowScripts& Scripts() {
    static WindowScripts scripts;
    return scripts;
}

std::vector<std::string>& Opened() {
    static std::vector<std::string> opened;
    return opened;
}

std::vector<std::string>& Messages() {
    static std::vector<std::string> messages;
    return messages;
}

void InstallTestWindows() {
    static TestWindowSystem system(CurrentWindowSystem());
    InstallWindowSystem(&system);
}

std::string ToolTip(const DialogBase& dialog, int id) {
    const auto* wrapped = dynamic_cast<const TestWindow*>(&dialog.Window());
    return wrapped ? wrapped->ToolTip(id) : std::string();
}

DialogWindow& BackendWindow(const DialogBase& dialog) {
    auto* wrapped = dynamic_cast<TestWindow*>(&dialog.Window());
    return wrapped ? wrapped->Inner() : dialog.Window();
}

}  // namespace testing_ui
