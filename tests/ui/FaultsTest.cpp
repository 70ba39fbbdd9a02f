// Faults a technician's bench produces: a line that disappears under a
// run, and words or huge numbers typed into the integer boxes.
#include <atomic>
#include <chrono>
#include <cstdio>

#include "link/Connection.h"
#include "platform/Event.h"

#include "tests/support/ControllerFrames.h"
#include "tests/ui/DialogHarness.h"
#include "tests/ui/Idle.h"

namespace {

using namespace testing_ui;
using linkcore::Link;

class Faults : public DialogHarness {
protected:
    // Processes events for `ms` and returns the CPU seconds the process used.
    double CpuOver(int ms) {
        const double before = ProcessCpuSeconds();
        DeliverEventsFor(ms);
        return ProcessCpuSeconds() - before;
    }
};

// How the wait for a line that has gone ends.
enum class WaitEnd { Return, Disconnect, Connect };

struct GoneLineRow {
    const char* name;
    int run;
    WaitEnd end;
};

TEST_F(Faults, ALineThatGoesUnderEveryWorkerIsClosedAndWaitedFor) {
    const GoneLineRow rows[] = {
        {"continuous read; the line comes back", IDC_READ_AUTO, WaitEnd::Return},
        {"single read; Disconnect ends the wait", IDC_READ_ONCE, WaitEnd::Disconnect},
        {"capture; a new Connect ends the wait", IDC_CAPTURE, WaitEnd::Connect},
    };
    for (const GoneLineRow& row : rows) {
        SCOPED_TRACE(row.name);
        Connect(1);
        Tick(IDC_SIMULATE, true);
        Click(row.run);
        ASSERT_EQ(Receive(15).size(), 15u);
        const long long speed = peer->Speed();
        peer->HangUp();

        // Closed, said so with the system's reason, and the run buttons off
        // as after Disconnect.
        ASSERT_TRUE(PumpUntil([&] { return Text(IDC_STATE) == "COM1 отключён"; }));
        EXPECT_FALSE(Link().portOpen.load());
        EXPECT_EQ(Link().port.load(), nullptr);
        EXPECT_EQ(platform::WorkerThread::LiveCount(), 0);
        EXPECT_FALSE(Tip(IDC_STATE).empty());
        EXPECT_EQ(Text(IDC_COUNTER), "Time Out");
        EXPECT_FALSE(Enabled(IDC_READ_ONCE) || Enabled(IDC_READ_AUTO) || Enabled(IDC_CAPTURE));

        // Nothing spins: well under a tenth of a core while the line is gone.
        const double cpu = CpuOver(1500);
        std::printf("cpu while the line is gone: %.3f s over 1.5 s\n", cpu);
        EXPECT_LT(cpu, 0.15);

        if (row.end == WaitEnd::Return) {
            // Back by itself at the speed in force, and no run starts,
            // although "имит. БК" is ticked.
            ASSERT_TRUE(peer->Replug());
            ASSERT_TRUE(PumpUntil([&] { return Text(IDC_STATE) == "Соединение установ."; }));
            EXPECT_TRUE(Link().portOpen.load());
            EXPECT_TRUE(Enabled(IDC_READ_ONCE) && Enabled(IDC_READ_AUTO) && Enabled(IDC_CAPTURE));
            EXPECT_EQ(peer->Speed(), speed);
            EXPECT_TRUE(Checked(IDC_SIMULATE));
            EXPECT_EQ(platform::WorkerThread::LiveCount(), 0);
            EXPECT_TRUE(peer->ReadSome(20, 300).empty());
        } else {
            if (row.end == WaitEnd::Disconnect) Click(IDC_DISCONNECT);
            ASSERT_TRUE(peer->Replug());
            if (row.end == WaitEnd::Connect) {
                Connect(1);
                EXPECT_EQ(Text(IDC_STATE), "Соединение установ.");
                Click(IDC_DISCONNECT);
            }
            // Longer than the once-a-second retry: nothing opens the line again.
            DeliverEventsFor(1500);
            EXPECT_EQ(Text(IDC_STATE), "");
            EXPECT_FALSE(Link().portOpen.load());
            Connect(1);
        }

        // A run on the line that came back decodes its frames.
        Click(IDC_READ_AUTO);
        ASSERT_TRUE(peer->Write(testing_support::HaltenLineFrame({}, 3)));
        ASSERT_EQ(Receive(15).size(), 15u);
        Click(IDC_DISCONNECT);
    }
}

// An open that the test holds up until it lets it go, as a Bluetooth
// serial port does while Windows reaches for its device.
class HeldOpens {
public:
    HeldOpens() {
        Release().Reset();
        Calls() = 0;
        linkcore::SetPortOpenForTests(&Open);
    }
    ~HeldOpens() {
        Release().Set();
        linkcore::SetPortOpenForTests(nullptr);
    }
    static platform::Event& Release() {
        static platform::Event release;
        return release;
    }
    static std::atomic<int>& Calls() {
        static std::atomic<int> calls{0};
        return calls;
    }

private:
    static std::unique_ptr<platform::SerialPort> Open(const std::string& device, platform::OpenFailure* failure) {
        ++Calls();
        Release().Wait(30000);
        return platform::SerialPort::Open(device, failure);
    }
};

TEST_F(Faults, AnOpenThatHangsIsGivenUpAtThreeSecondsWhileTheWindowAnswers) {
    HeldOpens held;
    const auto start = std::chrono::steady_clock::now();
    Click(IDC_CONNECT);
    bool handled = false;
    dlg->PostToDialog([&] { handled = true; });
    ASSERT_TRUE(PumpUntil([&] { return handled; }));
    EXPECT_EQ(Text(IDC_STATE), "");

    ASSERT_TRUE(PumpUntil([&] { return !Text(IDC_STATE).empty(); }));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(2900));
    EXPECT_LT(waited, std::chrono::milliseconds(6000));
    EXPECT_EQ(Text(IDC_STATE), "Нет доступа к COM1");
    EXPECT_EQ(Tip(IDC_STATE), "COM1: порт не ответил за 3 с");
    EXPECT_FALSE(Link().portOpen.load());

    // While it still hangs, another Connect is refused at once, not queued.
    Click(IDC_DISCONNECT);
    Click(IDC_CONNECT);
    EXPECT_EQ(Text(IDC_STATE), "Нет доступа к COM1");
    EXPECT_EQ(Tip(IDC_STATE), "COM1: порт не ответил за 3 с");
    EXPECT_EQ(HeldOpens::Calls(), 1);

    // Once it ends, what it opened is closed again: the port is free.
    HeldOpens::Release().Set();
    ASSERT_TRUE(PumpUntil([&] {
        if (!Link().portOpen.load()) Click(IDC_CONNECT);
        return Link().portOpen.load();
    }));
    EXPECT_EQ(Text(IDC_STATE), "Соединение установ.");
    EXPECT_EQ(HeldOpens::Calls(), 2);
}

TEST_F(Faults, WordsAndHugeNumbersInTheIntegerBoxes) {
    const std::vector<std::string>& messages = Messages();

    // A word in the port box: the message, and Connect goes on with port 1.
    SetText(IDC_PORT, "COM");
    Click(IDC_CONNECT);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_TRUE(Link().portOpen.load());
    EXPECT_EQ(Text(IDC_PORT), "1");

    // A number beyond 32 bits saturates; no such port exists.
    SetText(IDC_PORT, "99999999999");
    Click(IDC_CONNECT);
    EXPECT_EQ(Text(IDC_STATE), "Нет доступа к COM2147483647");
    EXPECT_EQ(Text(IDC_PORT), "2147483647");
    dlg->OnPortSpin(+1);
    EXPECT_EQ(Text(IDC_PORT), "2147483646");
    SetText(IDC_PORT, "-99999999999");
    dlg->OnPortSpin(-1);
    EXPECT_EQ(Text(IDC_PORT), "-2147483647");

    // EBS: a huge value is stepped from and its low byte patched.
    Link().activeProtocol.store(2);
    SetText(IDC_EBS, "99999999999");
    dlg->OnEbsSpin(+1);
    EXPECT_EQ(Text(IDC_EBS), "2147483646");
    EXPECT_EQ(Link().outFrame[9], 0xFE);
    const std::size_t before = messages.size();
    SetText(IDC_EBS, "много");
    dlg->OnEbsSpin(-1);
    EXPECT_EQ(messages.size(), before + 1);
    EXPECT_EQ(Text(IDC_EBS), "2147483646");  // the value it held, above the arrows' range
}

}  // namespace
