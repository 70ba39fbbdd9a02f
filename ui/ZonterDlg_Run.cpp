// The run commands: single read, continuous read, capture, and the
// display-simulation box.
#include <QPushButton>

#include "link/LinkState.h"
#include "link/PortOps.h"
#include "link/StopWorkers.h"
#include "protocols/Catalogue.h"
#include "protocols/Template.h"
#include "ui/ZonterDlg.h"
#include "workers/Workers.h"

namespace {

// A template shorter than this is generated anew from the controls.
constexpr int kTemplateMinLength = 30;

}  // namespace

void CZonterDlg::BuildTemplate() {
    const protocols::TemplateSettings settings{m_decoder, m_gear,  m_zeroStart, m_cruise,  m_softStart,
                                               m_ebs,     m_maxV,  m_maxP,      m_throttle};
    if (auto text = protocols::BuildTemplate(settings)) m_templateText = QString::fromStdString(*text);
}

bool CZonterDlg::PrepareRun(RunKind kind) {
    linkcore::LinkState& s = linkcore::Link();
    UpdateData(true);
    if (!s.portOpen.load()) return false;

    // Every run command stops the capture too: one reader at a time.
    const bool captureWasRunning = s.captureThread.Running();
    linkcore::StopWorkers({s.stopSingleRead.get(), s.stopAutoRead.get(), s.stopCapture.get(), s.stopSimulator.get()});
    if (captureWasRunning) m_captureButton->setEnabled(true);

    const protocols::ProtocolInfo& protocol = protocols::Protocol(m_decoder);
    if (kind != RunKind::SingleRead && protocol.autoReadAndCaptureStopOnly) return false;

    s.activeProtocol.store(m_decoder);
    if (protocol.runStart.speed != 0 && s.lineSpeed != static_cast<int>(protocol.runStart.speed)) {
        linkcore::SetLineSpeed(protocol.runStart.settings, static_cast<int>(protocol.runStart.speed));
    }
    linkcore::PurgePort();

    // Only the member changes; the box keeps its tick.
    if (!protocol.simulationAllowed) m_simulate = 0;

    if (m_simulate) {
        if (m_templateText.size() < kTemplateMinLength) {
            BuildTemplate();
            UpdateData(false);
        }
        const std::string text = m_templateText.toStdString();
        if (platform::LockHold hold(*s.outLock, linkcore::kLockBoundMs); hold) {
            protocols::ParseTemplate(text, m_decoder, s.outFrame);
        }
        s.stopSimulator->Reset();
        s.simulatorThread.Start(workers::SimulatorWorker);
    }
    return true;
}

void CZonterDlg::OnReadOnceClicked() {
    if (!PrepareRun(RunKind::SingleRead)) return;
    linkcore::LinkState& s = linkcore::Link();
    s.stopSingleRead->Reset();
    s.singleReadThread.Start(workers::SingleReadWorker);
}

void CZonterDlg::OnReadAutoClicked() {
    if (!PrepareRun(RunKind::AutoRead)) return;
    linkcore::LinkState& s = linkcore::Link();
    s.linkStatus.store(linkcore::kStatusNothing);
    s.stopAutoRead->Reset();
    s.autoReadThread.Start(workers::AutoReadWorker);
}

void CZonterDlg::OnCaptureClicked() {
    if (!PrepareRun(RunKind::Capture)) return;
    linkcore::LinkState& s = linkcore::Link();
    s.stopCapture->Reset();
    s.captureThread.Start(workers::CaptureWorker);
    m_captureButton->setEnabled(false);
}

void CZonterDlg::OnSimulateClicked() {
    UpdateData(true);
    // Ticking takes effect at the next run start.
    if (m_simulate) return;
    linkcore::Link().stopSimulator->Set();
    m_throttle = 0;
    m_throttleText = QStringLiteral("0");
    UpdateData(false);
}
