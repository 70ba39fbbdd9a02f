// Random command sequences against a streaming controller, with hang-ups
// in between: no crash, no deadlock, one reader and one simulator at most,
// no worker left after a stop, no descriptor or thread left after close.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QSlider>

#include <dirent.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "link/LinkState.h"
#include "platform/PortNames.h"
#include "platform/PseudoTerminal.h"
#include "platform/WorkerThread.h"
#include "platform/ui/qt/QtDialogWindow.h"
#include "res/Resource.h"
#include "tests/platform_ui/WaitUntil.h"
#include "tests/support/ControllerFrames.h"
#include "ui/Dskor.h"
#include "ui/ZonterDlg.h"

namespace {

using namespace testing_ui;
using linkcore::Link;
using linkcore::WorkerKind;
using platform::ui::qt::WidgetAs;
using platform::ui::qt::WindowOf;
using Clock = std::chrono::steady_clock;

int CountEntries(const char* dir) {
    int n = 0;
    if (DIR* d = opendir(dir)) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v ? std::atoi(v) : fallback;
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kCommandBoundMs = 400;  // instrumented builds run several times slower
#else
constexpr int kCommandBoundMs = 100;
#endif

// A controller that keeps streaming frames of both protocols and drains
// whatever the tool sends, until it is hung up.
class StreamingPeer {
public:
    explicit StreamingPeer(unsigned seed) : seed_(seed) { Plug(); }
    ~StreamingPeer() { Unplug(); }

    void Plug() {
        pty_ = platform::PseudoTerminal::Open();
        ASSERT_TRUE(pty_);
        ASSERT_TRUE(platform::RegisterPort(1, pty_->slavePath()));
        running_ = true;
        thread_ = std::thread([this] { Run(); });
    }

    void Unplug() {
        running_ = false;
        if (thread_.joinable()) thread_.join();
        if (pty_) pty_->HangUp();
        pty_.reset();
    }

private:
    void Run() {
        std::mt19937 rng(seed_);
        std::uint8_t sink[256];
        int n = 0;
        while (running_) {
            const auto frame = n++ % 3 == 0
                                   ? testing_support::KugooLineFrame(5, 300)
                                   : testing_support::HaltenLineFrame({0, 5}, static_cast<std::uint8_t>(rng() % 0x30));
            // A frame the tool does not take in time, or nothing to drain,
            // is what a streaming controller meets: it just goes on.
            static_cast<void>(pty_->WriteAll(frame, 20));
            static_cast<void>(pty_->ReadSome(sink, sizeof sink, 2));
        }
    }

    unsigned seed_;
    std::unique_ptr<platform::PseudoTerminal> pty_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

class Stress : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/zonter-stress-XXXXXX";
        dir_ = mkdtemp(tmpl);
        oldDir_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);  // captures land here
        platform::SetPortDirectory(dir_ + "/ports");
        platform::SetPortDirectoryOnly(true);
        linkcore::ResetLinkDataForTests();
    }
    void TearDown() override {
        std::filesystem::current_path(oldDir_);
        std::filesystem::remove_all(dir_);
    }
    std::string dir_;
    std::filesystem::path oldDir_;
};

TEST_F(Stress, RandomCommandSequencesAgainstAStreamingLine) {
    const unsigned seed = static_cast<unsigned>(EnvInt("ZONTER_STRESS_SEED", 20261209));
    const int steps = EnvInt("ZONTER_STRESS_STEPS", 5000);
    const int seconds = EnvInt("ZONTER_STRESS_SECONDS", 60);
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);

    // A first window and worker start whatever the libraries keep for the
    // life of the process (a sanitizer's own thread, for one).
    {
        StreamingPeer warmUp(seed);
        CZonterDlg first;
        first.ShowModeless();
        first.OnConnectClicked();
        first.OnReadAutoClicked();
        WindowOf(first).reject();
    }
    // A worker that has ended may still be leaving the system's thread
    // list; joined, it has left it.
    const auto joinWorkers = [] {
        for (WorkerKind kind :
             {WorkerKind::SingleRead, WorkerKind::AutoRead, WorkerKind::Capture, WorkerKind::Simulator})
            Link().Slot(kind).thread.Join();
    };
    joinWorkers();
    DrainEvents();
    const int fdsBefore = CountEntries("/proc/self/fd");
    const int threadsBefore = CountEntries("/proc/self/task");
    {
        StreamingPeer peer(seed);
        auto dlg = std::make_unique<CZonterDlg>();
        dlg->ShowModeless();
        DrainEvents();

        auto readers = [] {
            int running = 0;
            for (WorkerKind kind : {WorkerKind::SingleRead, WorkerKind::AutoRead, WorkerKind::Capture})
                running += int(Link().Slot(kind).thread.Running());
            return running;
        };

        const Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
        long long slowest = 0;
        int done = 0;
        for (; done < steps && Clock::now() < end; ++done) {
            const int command = static_cast<int>(rng() % 17);
            const auto start = Clock::now();
            switch (command) {
                case 0:
                    dlg->OnConnectClicked();
                    break;
                case 1:
                    dlg->OnDisconnectClicked();
                    break;
                case 2:
                    dlg->OnReadOnceClicked();
                    break;
                case 3:
                    dlg->OnReadAutoClicked();
                    break;
                case 4:
                    dlg->OnCaptureClicked();
                    break;
                case 5:
                    WidgetAs<QAbstractButton>(*dlg, IDC_SIMULATE)->click();
                    break;
                case 6:
                    WidgetAs<QComboBox>(*dlg, IDC_DECODER)->setCurrentIndex(static_cast<int>(rng() % 3));
                    break;
                case 7:
                    WidgetAs<QSlider>(*dlg, IDC_GEAR)->setValue(static_cast<int>(rng() % 8));
                    break;
                case 8:
                    WidgetAs<QSlider>(*dlg, IDC_THROTTLE)->setValue(static_cast<int>(rng() % 1101));
                    break;
                case 9:
                    WidgetAs<QSlider>(*dlg, IDC_MAXV)->setValue(static_cast<int>(rng() % 101));
                    break;
                case 10:
                    WidgetAs<QSlider>(*dlg, IDC_MAXP)->setValue(static_cast<int>(rng() % 101));
                    break;
                case 11:
                    WidgetAs<QAbstractButton>(*dlg, IDC_ZERO_START + static_cast<int>(rng() % 2) * 2)->click();
                    break;
                case 12:
                    WidgetAs<QAbstractButton>(*dlg, IDC_SOFT_START)->click();
                    break;
                case 13:
                    dlg->OnEbsSpin(rng() % 2 ? 1 : -1);
                    break;
                case 14:
                    dlg->OnPortSpin(rng() % 4 == 0 ? -1 : 1);
                    break;  // mostly stays on COM1
                case 15: {
                    if (!Link().portOpen.load()) break;
                    CDskor speed(dlg.get());
                    speed.ShowModeless();
                    speed.m_speed = rng() % 2 ? 9600 : 1200;
                    speed.UpdateData(false);
                    speed.OnSpeedOk();
                    break;
                }
                case 16:
                    peer.Unplug();  // the line disappears under whatever runs
                    DrainEvents();
                    peer.Plug();
                    break;
            }
            const long long took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            if (command != 16) slowest = std::max(slowest, took);
            // Disconnect first lets a display frame finish on the line: up to
            // 20 bytes at 1200 bit/s.
            const long long bound = kCommandBoundMs + (command == 1 ? 170 : 0);
            EXPECT_LE(took, bound) << "command " << command << " at step " << done;
            EXPECT_LE(readers(), 1) << "step " << done;
            if (command == 1) {
                EXPECT_EQ(platform::WorkerThread::LiveCount(), 0) << "after Disconnect, step " << done;
            }
            QCoreApplication::processEvents();
            if (::testing::Test::HasFailure()) break;
        }
        std::printf("stress: %d commands, slowest %lld ms, seed %u\n", done, slowest, seed);

        WindowOf(*dlg).reject();  // closing the window
        EXPECT_EQ(platform::WorkerThread::LiveCount(), 0);
        dlg.reset();
    }
    joinWorkers();
    DrainEvents();
    EXPECT_EQ(CountEntries("/proc/self/fd"), fdsBefore);
    // No thread left behind: one of the libraries' own may have ended
    // meanwhile, and a joined worker may take a moment to leave the list.
    EXPECT_TRUE(WaitUntil([&] { return CountEntries("/proc/self/task") <= threadsBefore; }))
        << CountEntries("/proc/self/task") << " threads, " << threadsBefore << " before";
}

}  // namespace
