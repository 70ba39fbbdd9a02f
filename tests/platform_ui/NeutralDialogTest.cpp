// The neutral dialog layer on a window system of plain data, without Qt:
// the exchange kinds, the one-error-box rule, when sliders are drawn,
// the default endings, and system commands posted from other threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "TestDialogs.h"
#include "platform/Event.h"
#include "platform/ui/DialogWindow.h"

namespace testing_ui {
namespace {

using platform::ui::ChartData;
using platform::ui::ChartText;
using platform::ui::DialogWindow;
using platform::ui::FileQuestion;
using platform::ui::Font;
using platform::ui::Key;
using platform::ui::ListColumn;
using platform::ui::WindowSystem;

// One control of a fake window, as plain state.
struct FakeControl {
    ControlKind kind = ControlKind::Label;
    std::string text;
    bool enabled = true;
    bool shown = true;
    int check = 0;
    int low = 0;
    int high = 100;
    int pos = 0;
    int selection = -1;
    int itemCount = 0;
};

// A dialog window that keeps its controls in a map and its posted tasks in
// a queue the test runs by hand (RunPosted), as an event loop would.
class FakeWindow : public DialogWindow {
public:
    FakeWindow(DialogBase& owner, const DialogTemplate& tmpl) : owner_(owner), tmpl_(tmpl) {
        for (const ControlTemplate& c : tmpl.controls) {
            if (c.id == -1) continue;
            FakeControl& control = controls[c.id];
            control.kind = c.kind;
            control.text = c.caption ? c.caption : "";
            control.shown = !(c.style & platform::kHidden);
            control.enabled = !(c.style & platform::kDisabled);
            control.itemCount = static_cast<int>(c.items.size());
        }
    }

    // --- what the test drives, as a user or an event loop would ---
    // Runs the queued tasks, including those they queue; returns how many ran.
    int RunPosted() {
        int ran = 0;
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (queue_.empty()) return ran;
                task = std::move(queue_.front());
                queue_.pop_front();
            }
            task();
            ++ran;
        }
    }
    void UserMovesSlider(int id, int pos) { SetSliderPos(id, pos); }
    void UserClicks(int id) { owner_.WindowNotify(platform::ui::Notification::Clicked, id); }
    void Hide() { visible_ = false; }

    std::map<int, FakeControl> controls;
    int focus = 0;
    int selectedAll = 0;
    struct Box {
        std::string name;
        std::string text;
    };
    std::vector<Box> boxes;
    std::function<void()> duringBox;  // runs while a message box is open
    std::function<void()> onPost;     // runs inside Post, on the posting thread
    std::map<int, std::vector<ListColumn>> listColumns;
    std::map<int, int> listRows;
    bool listAtEnd = true;
    std::map<int, std::string> charts;
    std::map<int, int> timers;  // running timers and their intervals
    std::map<Key, int> keys;
    std::vector<FileQuestion> questions;
    std::string fileAnswer;  // what the file dialog answers

    // --- DialogWindow ---
    int RunModal() override {
        ShowModeless();
        while (visible_ && RunPosted() > 0) {
        }
        return result_;
    }
    void ShowModeless() override {
        visible_ = true;
        if (owner_.WindowShown()) focus = FirstTabStop();
    }
    bool Visible() const override { return visible_; }
    void End(int result) override {
        result_ = result;
        visible_ = false;
        owner_.WindowEnded();
    }
    int Result() const override { return result_; }
    std::string Title() const override { return tmpl_.title; }
    bool HasControl(int id) const override { return controls.count(id) != 0; }
    std::string Text(int id) const override { return Find(id) ? Find(id)->text : std::string(); }
    void SetText(int id, std::string_view text) override {
        if (FakeControl* c = Find(id)) c->text = std::string(text);
    }
    bool Enabled(int id) const override { return Find(id) && Find(id)->enabled; }
    void Enable(int id, bool enable) override {
        if (FakeControl* c = Find(id)) c->enabled = enable;
    }
    bool Shown(int id) const override { return Find(id) && Find(id)->shown; }
    void Show(int id, bool show) override {
        if (FakeControl* c = Find(id)) c->shown = show;
    }
    int Check(int id) const override { return Find(id) ? Find(id)->check : 0; }
    void SetCheck(int id, int state) override {
        if (FakeControl* c = Find(id)) c->check = state;
    }
    void SetSliderRange(int id, int low, int high) override {
        if (FakeControl* c = Find(id)) {
            c->low = low;
            c->high = high;
            SetSliderPos(id, c->pos);
        }
    }
    int SliderPos(int id) const override { return Find(id) ? Find(id)->pos : 0; }
    void SetSliderPos(int id, int pos) override {
        FakeControl* c = Find(id);
        if (!c) return;
        const int clamped = std::clamp(pos, c->low, c->high);
        if (clamped == c->pos) return;
        c->pos = clamped;
        owner_.WindowSliderMoved(id);
    }
    int Selection(int id) const override { return Find(id) ? Find(id)->selection : -1; }
    void SetSelection(int id, int index) override {
        if (FakeControl* c = Find(id)) c->selection = index;
    }
    int ItemCount(int id) const override { return Find(id) ? Find(id)->itemCount : 0; }
    void SetFocus(int id) override { focus = id; }
    void SelectAllText(int id) override { selectedAll = id; }
    void SetToolTip(int, std::string_view) override {}
    void SetFont(int, const Font&) override {}
    void SetIcon(std::span<const std::uint8_t>) override {}
    void AppendMenuSeparator() override {}
    void AppendMenuItem(std::string_view, unsigned) override {}
    void SetListColumns(int id, std::span<const ListColumn> columns) override {
        listColumns[id].assign(columns.begin(), columns.end());
    }
    void SetListRowCount(int id, int count, int) override { listRows[id] = count; }
    int ListRowCount(int id) const override { return listRows.count(id) ? listRows.at(id) : 0; }
    bool ListAtEnd(int) const override { return listAtEnd; }
    void SetChart(int id, const ChartData& chart) override { charts[id] = ChartText(chart); }
    std::string ChartDescription(int id) const override { return charts.count(id) ? charts.at(id) : ""; }
    void SetTimer(int timerId, int intervalMs) override { timers[timerId] = intervalMs; }
    void KillTimer(int timerId) override { timers.erase(timerId); }
    bool TimerRunning(int timerId) const override { return timers.count(timerId) != 0; }
    void SetKeyCommand(Key key, int id) override { keys[key] = id; }
    std::string AskFileName(const FileQuestion& question) override {
        questions.push_back(question);
        return fileAnswer;
    }
    void MessageBox(const char* name, std::string_view text) override {
        boxes.push_back({name, std::string(text)});
        if (duringBox) duringBox();
    }
    void CloseBox() override {}
    void Post(std::function<void()> task) override {
        if (onPost) onPost();
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(task));
    }
    bool OnDialogThread() const override { return std::this_thread::get_id() == thread_; }

private:
    FakeControl* Find(int id) {
        const auto it = controls.find(id);
        return it == controls.end() ? nullptr : &it->second;
    }
    const FakeControl* Find(int id) const { return const_cast<FakeWindow*>(this)->Find(id); }
    int FirstTabStop() const {
        for (const ControlTemplate& c : tmpl_.controls) {
            if (c.id != -1 && c.kind != ControlKind::Label && Enabled(c.id) && Shown(c.id)) return c.id;
        }
        return 0;
    }

    DialogBase& owner_;
    const DialogTemplate& tmpl_;
    const std::thread::id thread_ = std::this_thread::get_id();
    bool visible_ = false;
    int result_ = 0;
    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;  // dropped unrun with the window
};

class FakeWindowSystem : public WindowSystem {
public:
    std::unique_ptr<DialogWindow> CreateDialogWindow(DialogBase& owner, const DialogTemplate& tmpl,
                                                     DialogWindow*) override {
        return std::make_unique<FakeWindow>(owner, tmpl);
    }
};

FakeWindow& Fake(const DialogBase& dialog) { return static_cast<FakeWindow&>(dialog.Window()); }

// Every test here runs its dialogs on the fake window system.
class NeutralDialog : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = platform::ui::InstalledWindowSystem();
        platform::ui::InstallWindowSystem(&fake_);
    }
    void TearDown() override { platform::ui::InstallWindowSystem(previous_); }

private:
    FakeWindowSystem fake_;
    WindowSystem* previous_ = nullptr;
};

TEST_F(NeutralDialog, EveryKindIsPushedAndPulled) {
    PanelDialog panel;
    FakeWindow& fake = Fake(panel);
    panel.port = 7;
    panel.name = "36 00 1F ";
    panel.list = 2;
    panel.flag = 1;
    panel.wrap = 0;
    panel.level = 5;
    panel.levelText = "A";
    panel.power = 90;
    panel.state = "Готово";
    panel.count = -12;
    ASSERT_TRUE(panel.UpdateData(false));
    EXPECT_EQ(fake.controls[IDC_PORT].text, "7");
    EXPECT_EQ(fake.controls[IDC_NAME].text, "36 00 1F ");
    EXPECT_EQ(fake.controls[IDC_LIST].selection, 2);
    EXPECT_EQ(fake.controls[IDC_FLAG].check, 1);
    EXPECT_EQ(fake.controls[IDC_WRAP].check, 0);
    EXPECT_EQ(fake.controls[IDC_LEVEL].pos, 5);
    EXPECT_EQ(fake.controls[IDC_LEVEL_VAL].text, "A");
    EXPECT_EQ(fake.controls[IDC_POWER].pos, 90);
    EXPECT_EQ(fake.controls[IDC_STATE].text, "Готово");
    EXPECT_EQ(fake.controls[IDC_COUNT].text, "-12");

    fake.controls[IDC_PORT].text = "4";
    fake.controls[IDC_NAME].text = "  текст  любой длины ";
    fake.controls[IDC_LIST].selection = 0;
    fake.controls[IDC_FLAG].check = 2;
    fake.controls[IDC_LEVEL].pos = 6;
    fake.controls[IDC_STATE].text = "x";
    fake.controls[IDC_COUNT].text = "  -45 штук";
    ASSERT_TRUE(panel.UpdateData(true));
    EXPECT_EQ(panel.port, 4);
    EXPECT_EQ(panel.name, "  текст  любой длины ");
    EXPECT_EQ(panel.list, 0);
    EXPECT_EQ(panel.flag, 2);
    EXPECT_EQ(panel.level, 6);
    EXPECT_EQ(panel.state, "x");
    EXPECT_EQ(panel.count, -45);

    // Values a control cannot show are pushed as none.
    const struct {
        int flag, list;
        int check, selection;
    } outOfRange[] = {{3, 3, 0, -1}, {-1, -1, 0, -1}, {100, 7, 0, -1}, {2, 0, 2, 0}};
    for (const auto& c : outOfRange) {
        panel.flag = c.flag;
        panel.list = c.list;
        panel.UpdateData(false);
        EXPECT_EQ(fake.controls[IDC_FLAG].check, c.check) << c.flag;
        EXPECT_EQ(fake.controls[IDC_LIST].selection, c.selection) << c.list;
    }

    // A control member is bound by the first exchange and then reaches its control.
    PanelDialog fresh;
    EXPECT_FALSE(static_cast<bool>(fresh.off));
    fresh.off.EnableWindow(true);  // unbound: nothing happens
    EXPECT_FALSE(fresh.off.IsWindowEnabled());
    EXPECT_FALSE(Fake(fresh).controls[IDC_OFF].enabled);
    fresh.UpdateData(false);
    ASSERT_TRUE(static_cast<bool>(fresh.off));
    EXPECT_EQ(fresh.off.id(), IDC_OFF);
    EXPECT_FALSE(fresh.off.IsWindowEnabled());
    fresh.off.EnableWindow(true);
    EXPECT_TRUE(Fake(fresh).controls[IDC_OFF].enabled);
    EXPECT_TRUE(fresh.IsControlEnabled(IDC_OFF));
}

TEST_F(NeutralDialog, IntegerTakesTheLeadingNumber) {
    PanelDialog panel;
    FakeWindow& fake = Fake(panel);
    panel.UpdateData(false);
    const struct {
        const char* text;
        bool ok;
        int value;
    } cases[] = {
        {" 12abc", true, 12},
        {"+3", true, 3},
        {"-0", true, 0},
        {"\t8 9", true, 8},
        {"", false, 0},
        {"abc", false, 0},
        {"-", false, 0},
        {"+ 1", false, 0},
        {"99999999999", true, 2147483647},
        {"-99999999999", true, -2147483647 - 1},
    };
    for (const auto& c : cases) {
        panel.port = 0;
        fake.controls[IDC_PORT].text = c.text;
        fake.boxes.clear();
        EXPECT_EQ(panel.UpdateData(true), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(panel.port, c.value) << '"' << c.text << '"';
        EXPECT_EQ(fake.boxes.size(), c.ok ? 0u : 1u) << '"' << c.text << '"';
    }
}

TEST_F(NeutralDialog, AFailedPullShowsOneBoxAtATimeAndStopsAtTheBox) {
    PanelDialog panel;
    SmallDialog other;
    FakeWindow& fake = Fake(panel);
    panel.UpdateData(false);
    other.UpdateData(false);
    fake.controls[IDC_NAME].text = "before";
    fake.controls[IDC_PORT].text = "abc";
    fake.controls[IDC_FLAG].check = 1;
    fake.controls[IDC_COUNT].text = "99";
    Fake(other).controls[IDC_VALUE].text = "xyz";

    // Inside the box: the same dialog and another one fail again, quietly.
    bool innerSelf = true, innerOther = true;
    fake.duringBox = [&] {
        innerSelf = panel.UpdateData(true);
        innerOther = other.UpdateData(true);
    };
    EXPECT_FALSE(panel.UpdateData(true));
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].name, "IDP_PARSE_INT");
    EXPECT_EQ(fake.boxes[0].text, "Введите целое число.");
    EXPECT_FALSE(innerSelf);
    EXPECT_FALSE(innerOther);
    EXPECT_TRUE(Fake(other).boxes.empty());

    // Earlier members updated, the failing one and later ones kept; the box
    // focused with its text selected.
    EXPECT_EQ(panel.name, "before");
    EXPECT_EQ(panel.port, 1);
    EXPECT_EQ(panel.flag, 0);
    EXPECT_EQ(panel.count, 0);
    EXPECT_EQ(fake.focus, IDC_PORT);
    EXPECT_EQ(fake.selectedAll, IDC_PORT);

    // With the box closed, the next failure shows its message again.
    EXPECT_FALSE(other.UpdateData(true));
    EXPECT_EQ(Fake(other).boxes.size(), 1u);
    EXPECT_EQ(Fake(other).focus, IDC_VALUE);
}

TEST_F(NeutralDialog, SlidersAreDrawnAfterTheFirstShowingAndAfterTheExchange) {
    PanelDialog panel;
    FakeWindow& fake = Fake(panel);
    std::vector<std::string> log;
    panel.Map(Notification::SliderChanged, IDC_LEVEL, [&](int) { log.push_back("level"); });
    panel.Map(Notification::SliderChanged, IDC_POWER, [&](int) { log.push_back("power"); });
    panel.Map(Notification::Clicked, IDC_FLAG, [&](int) { log.push_back("flag"); });

    // Nothing is drawn before the first showing, which draws each slider once.
    fake.UserMovesSlider(IDC_LEVEL, 9);
    EXPECT_EQ(fake.RunPosted(), 0);
    panel.ShowModeless();
    EXPECT_EQ(fake.focus, IDCANCEL);             // the first tab stop
    EXPECT_EQ(fake.controls[IDC_LEVEL].pos, 3);  // the initialisation's push
    fake.RunPosted();
    EXPECT_EQ(log, (std::vector<std::string>{"level", "power"}));

    // Moves in a row draw once, after the handler that moved the slider.
    log.clear();
    fake.UserMovesSlider(IDC_LEVEL, 4);
    fake.UserMovesSlider(IDC_LEVEL, 5);
    EXPECT_TRUE(log.empty());
    fake.RunPosted();
    EXPECT_EQ(log, (std::vector<std::string>{"level"}));

    // While an exchange runs (its error box open), controls notify nothing
    // (the dialog's own Notify still runs its handler); a slider drawn
    // meanwhile is drawn again once the exchange is over.
    log.clear();
    fake.controls[IDC_PORT].text = "abc";
    fake.duringBox = [&] {
        fake.UserMovesSlider(IDC_LEVEL, 2);
        fake.UserClicks(IDC_FLAG);
        fake.RunPosted();  // the box's own loop
        panel.Notify(Notification::Clicked, IDC_FLAG);
    };
    EXPECT_FALSE(panel.UpdateData(true));
    EXPECT_EQ(log, (std::vector<std::string>{"flag"}));
    log.push_back("pull:returned");
    fake.RunPosted();
    EXPECT_EQ(log, (std::vector<std::string>{"flag", "pull:returned", "level"}));
    fake.duringBox = nullptr;

    // With the exchange over, a click reaches its handler again.
    log.clear();
    fake.UserClicks(IDC_FLAG);
    EXPECT_EQ(log, (std::vector<std::string>{"flag"}));

    // A hidden dialog draws nothing.
    log.clear();
    fake.Hide();
    fake.UserMovesSlider(IDC_LEVEL, 8);
    fake.RunPosted();
    EXPECT_TRUE(log.empty());
}

TEST_F(NeutralDialog, DefaultEndingsAndMappedHandlers) {
    // OK pulls and ends with IDOK; a word in the integer box keeps it open.
    SmallDialog small;
    small.PostToDialog([&] {
        EXPECT_EQ(Fake(small).controls[IDC_VALUE].text, "0");  // the initialisation's push
        Fake(small).controls[IDC_VALUE].text = "word";
        small.Notify(Notification::Clicked, IDOK);
    });
    small.PostToDialog([&] {
        EXPECT_TRUE(small.IsVisible());
        EXPECT_EQ(Fake(small).boxes.size(), 1u);
        Fake(small).controls[IDC_VALUE].text = "42";
        small.Notify(Notification::Clicked, IDOK);
    });
    EXPECT_EQ(small.DoModal(), DialogBase::kIdOk);
    EXPECT_EQ(small.okCount, 2);
    EXPECT_EQ(small.value, 42);
    EXPECT_FALSE(small.IsVisible());

    SmallDialog cancelled;
    cancelled.PostToDialog([&] { cancelled.Notify(Notification::Clicked, IDCANCEL); });
    EXPECT_EQ(cancelled.DoModal(), DialogBase::kIdCancel);
    EXPECT_EQ(cancelled.cancelCount, 1);
    EXPECT_EQ(cancelled.Result(), DialogBase::kIdCancel);

    // A mapped handler replaces OnOK; an up-down's handler gets the delta.
    SmallDialog mapped;
    int okClicks = 0;
    int lastDelta = 0;
    mapped.Map(Notification::Clicked, IDOK, [&](int) { ++okClicks; });
    mapped.Map(Notification::UpDownStep, IDC_VALUE_SPIN, [&](int delta) { lastDelta = delta; });
    mapped.ShowModeless();
    Fake(mapped).UserClicks(IDOK);
    EXPECT_EQ(okClicks, 1);
    EXPECT_EQ(mapped.okCount, 0);
    EXPECT_TRUE(mapped.IsVisible());
    mapped.Notify(Notification::UpDownStep, IDC_VALUE_SPIN, -3);
    EXPECT_EQ(lastDelta, -3);
    mapped.Notify(Notification::UpDownStep, IDC_PORT_SPIN, 5);  // nothing mapped: ignored
    EXPECT_EQ(lastDelta, -3);
}

TEST_F(NeutralDialog, SystemCommandsFromOtherThreads) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kGenerous = std::chrono::seconds(30);
    auto waitFor = [&](auto condition) {
        const auto deadline = Clock::now() + kGenerous;
        while (!condition() && Clock::now() < deadline) std::this_thread::yield();
        return condition();
    };

    // On the dialog's thread the command runs at once.
    auto panel = std::make_unique<PanelDialog>();
    EXPECT_TRUE(panel->SendSysCommand(112, nullptr, 0));
    EXPECT_EQ(panel->sysCommands, (std::vector<unsigned>{112}));

    // From another thread it is posted, counted as pending only once
    // posted, and run on the dialog's thread while the sender waits.
    int pendingWhilePosting = -1;
    Fake(*panel).onPost = [&] { pendingWhilePosting = panel->PendingSysCommands(); };
    std::atomic<bool> served{false};
    std::thread sender([&] { served = panel->SendSysCommand(113, nullptr, 60000); });
    ASSERT_TRUE(waitFor([&] { return panel->PendingSysCommands() == 1; }));
    EXPECT_EQ(pendingWhilePosting, 0);
    EXPECT_EQ(Fake(*panel).RunPosted(), 1);
    sender.join();
    EXPECT_TRUE(served);
    EXPECT_EQ(panel->sysCommands, (std::vector<unsigned>{112, 113}));
    EXPECT_EQ(panel->sysThreads.back(), std::this_thread::get_id());
    EXPECT_EQ(panel->PendingSysCommands(), 0);
    Fake(*panel).onPost = nullptr;

    // A bound that runs out releases the sender unserved; the late request
    // is still served once the thread gets to it, harmlessly.
    bool bounded = true;
    const auto begin = Clock::now();
    std::thread([&] { bounded = panel->SendSysCommand(114, nullptr, 50); }).join();
    EXPECT_FALSE(bounded);
    EXPECT_GE(Clock::now() - begin, std::chrono::milliseconds(40));
    EXPECT_EQ(panel->PendingSysCommands(), 1);
    EXPECT_EQ(Fake(*panel).RunPosted(), 1);
    EXPECT_EQ(panel->sysCommands.back(), 114u);
    EXPECT_EQ(panel->PendingSysCommands(), 0);

    // So does a stop event.
    platform::Event stop;
    bool stopped = true;
    std::thread stopping([&] { stopped = panel->SendSysCommand(115, &stop, 60000); });
    ASSERT_TRUE(waitFor([&] { return panel->PendingSysCommands() == 1; }));
    stop.Set();
    stopping.join();
    EXPECT_FALSE(stopped);
    EXPECT_EQ(Fake(*panel).RunPosted(), 1);

    // A dialog destroyed with the request queued drops the task unrun and
    // releases the sender as not handled.
    std::atomic<bool> released{false};
    bool handled = true;
    std::thread dropped([&] {
        handled = panel->SendSysCommand(116, nullptr, -1);
        released = true;
    });
    ASSERT_TRUE(waitFor([&] { return panel->PendingSysCommands() == 1; }));
    const std::vector<unsigned> before = panel->sysCommands;
    EXPECT_EQ(before.back(), 115u);
    panel.reset();
    EXPECT_TRUE(waitFor([&] { return released.load(); }));
    dropped.join();
    EXPECT_FALSE(handled);
}

}  // namespace
}  // namespace testing_ui
