// System commands sent from other threads: served on the dialog's thread,
// also inside modal loops; waiters released by completion, stop, bound or
// the dialog's end.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "Contract.h"
#include "platform/Event.h"

namespace testing_ui {
namespace {

using Clock = std::chrono::steady_clock;

// A worker that sends one command and remembers what came back.
struct Sender {
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    std::atomic<bool> result{false};
    Clock::duration took{};
    std::thread thread;

    void Start(DialogBase& dialog, unsigned code, const platform::Event* stop, int boundMs) {
        thread = std::thread([this, &dialog, code, stop, boundMs] {
            started = true;
            const auto begin = Clock::now();
            result = dialog.SendSysCommand(code, stop, boundMs);
            took = Clock::now() - begin;
            done = true;
        });
    }
    ~Sender() {
        if (thread.joinable()) thread.join();
    }
};

TEST(SysCommand, SameThreadRunsAtOnce) {
    PanelDialog panel;
    EXPECT_TRUE(panel.SendSysCommand(112, nullptr, 0));
    ASSERT_EQ(panel.sysCommands.size(), 1u);
    EXPECT_EQ(panel.sysCommands[0], 112u);
}

TEST(SysCommand, WorkerRequestIsServedOnTheDialogThread) {
    PanelDialog panel;
    ASSERT_TRUE(Show(panel));
    Sender sender;
    sender.Start(panel, 113, nullptr, 10000);
    ASSERT_TRUE(PumpUntil([&] { return sender.done.load(); }));
    EXPECT_TRUE(sender.result);
    ASSERT_EQ(panel.sysCommands.size(), 1u);
    EXPECT_EQ(panel.sysCommands[0], 113u);
    EXPECT_EQ(panel.sysThreads[0], std::this_thread::get_id());
    EXPECT_EQ(panel.PendingSysCommands(), 0);
}

TEST(SysCommand, TheSenderWaitsUntilTheHandlerHasReturned) {
    PanelDialog panel;
    std::atomic<bool> senderDoneInsideHandler{true};
    Sender sender;
    panel.onSysCommand = [&](unsigned) {
        // Let the waiter have its chance to return early; it must not.
        for (int i = 0; i < 50; ++i) std::this_thread::yield();
        senderDoneInsideHandler = sender.done.load();
    };
    sender.Start(panel, 112, nullptr, 10000);
    ASSERT_TRUE(PumpUntil([&] { return sender.done.load(); }));
    EXPECT_FALSE(senderDoneInsideHandler);
    EXPECT_TRUE(sender.result);
}

TEST(SysCommand, ServedWhileAMessageBoxIsOpen) {
    PanelDialog panel;
    ASSERT_TRUE(Show(panel));
    bool servedInsideBox = false;
    bool boxOpen = false;
    panel.onSysCommand = [&](unsigned) { servedInsideBox = boxOpen; };

    Sender sender;
    MessageBoxes boxes(panel, [&](const std::string&) {
        if (!sender.thread.joinable()) sender.Start(panel, 113, nullptr, 10000);
        return sender.done.load();
    });
    boxOpen = true;
    panel.MessageBox("открыто");
    boxOpen = false;
    ASSERT_TRUE(sender.done);
    EXPECT_TRUE(sender.result);
    EXPECT_TRUE(servedInsideBox);
    EXPECT_EQ(boxes.LastText(), "открыто");
}

TEST(SysCommand, ServedWhileAnotherModalDialogRuns) {
    PanelDialog panel;
    ASSERT_TRUE(Show(panel));
    ViewDialog child(&panel);
    bool servedInsideChild = false;
    panel.onSysCommand = [&](unsigned) { servedInsideChild = child.IsVisible(); };

    // The child's modal loop delivers its timer: the first tick sends, a
    // tick after the answer ends the child.
    Sender sender;
    child.onTimer = [&](int) {
        if (!sender.thread.joinable())
            sender.Start(panel, 112, nullptr, 10000);
        else if (sender.done)
            child.EndDialog(IDCANCEL);
    };
    child.Window().SetTimer(1, 5);
    EXPECT_EQ(child.DoModal(), IDCANCEL);
    child.Window().KillTimer(1);
    ASSERT_TRUE(sender.done);
    EXPECT_TRUE(sender.result);
    EXPECT_TRUE(servedInsideChild);
}

TEST(SysCommand, StopReleasesAWaiterWhileTheDialogThreadIsBusy) {
    PanelDialog panel;
    platform::Event stop;
    Sender sender;
    sender.Start(panel, 113, &stop, 60000);
    // This thread stays busy (no event processing) until the request is queued.
    while (panel.PendingSysCommands() == 0) std::this_thread::yield();
    stop.Set();
    sender.thread.join();
    EXPECT_FALSE(sender.result);
    EXPECT_LT(sender.took, std::chrono::seconds(30));
    EXPECT_TRUE(panel.sysCommands.empty());

    // The late request is still served once the thread gets to it, harmlessly.
    ASSERT_TRUE(PumpUntil([&] { return panel.sysCommands.size() == 1; }));
    EXPECT_EQ(panel.PendingSysCommands(), 0);
}

TEST(SysCommand, BoundRunsOutWhileTheDialogThreadIsBusy) {
    PanelDialog panel;
    Sender sender;
    sender.Start(panel, 113, nullptr, 50);
    sender.thread.join();  // this thread serves nothing meanwhile
    EXPECT_FALSE(sender.result);
    EXPECT_GE(sender.took, std::chrono::milliseconds(40));
    PumpQueued();
}

TEST(SysCommand, ARequestGivenUpOnDoesNotAnswerTheSendersNextOne) {
    PanelDialog panel;
    std::atomic<bool> firstResult{true};
    std::atomic<bool> secondResult{false};
    std::atomic<bool> secondDone{false};
    std::atomic<bool> secondDoneBeforeItsHandler{true};
    panel.onSysCommand = [&](unsigned code) {
        if (code != 113) return;
        // The first request has been served and released by now. Were its
        // completion shared with the second, that waiter would return now:
        // give it 100 ms to do so.
        const auto giveUp = Clock::now() + std::chrono::milliseconds(100);
        while (!secondDone.load() && Clock::now() < giveUp) std::this_thread::yield();
        secondDoneBeforeItsHandler = secondDone.load();
    };
    std::thread worker([&] {
        firstResult = panel.SendSysCommand(112, nullptr, 20);  // this thread serves nothing yet
        secondResult = panel.SendSysCommand(113, nullptr, 60000);
        secondDone = true;
    });
    while (panel.PendingSysCommands() < 2) std::this_thread::yield();
    ASSERT_TRUE(PumpUntil([&] { return secondDone.load(); }));
    worker.join();
    EXPECT_FALSE(firstResult);
    EXPECT_TRUE(secondResult);
    EXPECT_FALSE(secondDoneBeforeItsHandler);
    EXPECT_EQ(panel.sysCommands, (std::vector<unsigned>{112, 113}));
}

TEST(SysCommand, RequestStillQueuedWhenTheDialogGoesIsReleased) {
    auto panel = std::make_unique<PanelDialog>();
    ASSERT_TRUE(Show(*panel));
    Sender sender;
    sender.Start(*panel, 113, nullptr, 60000);
    // Nothing is pumped: the request waits in the queue until the dialog goes.
    while (panel->PendingSysCommands() == 0) std::this_thread::yield();
    EXPECT_EQ(panel->PendingSysCommands(), 1);
    panel.reset();
    sender.thread.join();
    EXPECT_FALSE(sender.result);
    EXPECT_LT(sender.took, std::chrono::seconds(30));
}

}  // namespace
}  // namespace testing_ui
