// Faults a technician's bench produces: a line that disappears under a
// run, and words or huge numbers typed into the integer boxes.
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include <sys/resource.h>
#include <cstdio>

#include "platform/PortNames.h"
#include "tests/support/ControllerFrames.h"
#include "tests/ui/DialogHarness.h"

namespace {

using namespace testing_ui;
using linkcore::Link;

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class Faults : public DialogHarness {
protected:
    // Processes events for `ms` and returns the CPU seconds the process used.
    double CpuOver(int ms) {
        const double before = ProcessCpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
        return ProcessCpuSeconds() - before;
    }
};

TEST_F(Faults, ALineThatHangsUpUnderEveryWorkerLeavesTheToolIdleAndRecoverable) {
    for (int run : {IDC_READ_AUTO, IDC_READ_ONCE, IDC_CAPTURE}) {
        SCOPED_TRACE(run);
        Connect(1);
        if (!Get<QAbstractButton>(IDC_SIMULATE)->isChecked()) Click(IDC_SIMULATE);
        Click(run);
        ASSERT_EQ(Receive(15).size(), 15u);
        peer->HangUp();

        // Nothing spins: well under a tenth of a core while the line is gone.
        const double cpu = CpuOver(1500);
        std::printf("cpu while the line is gone: %.3f s over 1.5 s\n", cpu);
        EXPECT_LT(cpu, 0.15);
        // The window still answers, and a new line on the same number recovers.
        peer = platform::PseudoTerminal::Open();
        ASSERT_TRUE(peer);
        ASSERT_TRUE(platform::RegisterPort(1, peer->slavePath()));
        Click(IDC_DISCONNECT);
        EXPECT_EQ(platform::WorkerThread::LiveCount(), 0);
        Connect(1);
        Click(IDC_READ_AUTO);
        ASSERT_TRUE(peer->WriteAll(testing_support::HaltenLineFrame({}, 3)));
        ASSERT_EQ(Receive(15).size(), 15u);
        Click(IDC_DISCONNECT);
    }
}

TEST_F(Faults, WordsAndHugeNumbersInTheIntegerBoxes) {
    int messages = 0;
    ModalWatcher watcher([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            ++messages;
            box->accept();
        }
    });

    // A word in the port box: the message, and Connect goes on with port 1.
    SetText(IDC_PORT, QStringLiteral("COM"));
    Click(IDC_CONNECT);
    EXPECT_EQ(messages, 1);
    EXPECT_TRUE(Link().portOpen.load());
    EXPECT_EQ(Text(IDC_PORT), QStringLiteral("1"));

    // A number beyond 32 bits saturates; no such port exists.
    SetText(IDC_PORT, QStringLiteral("99999999999"));
    Click(IDC_CONNECT);
    EXPECT_EQ(Text(IDC_STATE), QStringLiteral("Нет доступа к COM2147483647"));
    EXPECT_EQ(Text(IDC_PORT), QStringLiteral("2147483647"));
    dlg->OnPortSpin(+1);
    EXPECT_EQ(Text(IDC_PORT), QStringLiteral("2147483646"));
    SetText(IDC_PORT, QStringLiteral("-99999999999"));
    dlg->OnPortSpin(-1);
    EXPECT_EQ(Text(IDC_PORT), QStringLiteral("-2147483647"));

    // EBS: a huge value is stepped from and its low byte patched.
    Link().activeProtocol.store(2);
    SetText(IDC_EBS, QStringLiteral("99999999999"));
    dlg->OnEbsSpin(+1);
    EXPECT_EQ(Text(IDC_EBS), QStringLiteral("2147483646"));
    EXPECT_EQ(Link().outFrame[9], 0xFE);
    const int before = messages;
    SetText(IDC_EBS, QStringLiteral("много"));
    dlg->OnEbsSpin(-1);
    EXPECT_EQ(messages, before + 1);
    EXPECT_EQ(Text(IDC_EBS), QStringLiteral("2147483646"));  // the value it held, above the arrows' range
}

}  // namespace
