// Faults a technician's bench produces: a line that disappears under a
// run, and words or huge numbers typed into the integer boxes.
#include <cstdio>

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

TEST_F(Faults, ALineThatHangsUpUnderEveryWorkerLeavesTheToolIdleAndRecoverable) {
    for (int run : {IDC_READ_AUTO, IDC_READ_ONCE, IDC_CAPTURE}) {
        SCOPED_TRACE(run);
        Connect(1);
        Tick(IDC_SIMULATE, true);
        Click(run);
        ASSERT_EQ(Receive(15).size(), 15u);
        peer->HangUp();

        // Nothing spins: well under a tenth of a core while the line is gone.
        const double cpu = CpuOver(1500);
        std::printf("cpu while the line is gone: %.3f s over 1.5 s\n", cpu);
        EXPECT_LT(cpu, 0.15);
        // The window still answers, and a new line on the same number recovers.
        ASSERT_TRUE(peer->Replug());
        Click(IDC_DISCONNECT);
        EXPECT_EQ(platform::WorkerThread::LiveCount(), 0);
        Connect(1);
        Click(IDC_READ_AUTO);
        ASSERT_TRUE(peer->Write(testing_support::HaltenLineFrame({}, 3)));
        ASSERT_EQ(Receive(15).size(), 15u);
        Click(IDC_DISCONNECT);
    }
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
