// The run commands: single read, continuous read, capture, and the
// display-simulation box.
#include "link/LinkState.h"
#include "platform/ui/FormatText.h"
#include "protocols/Codecs.h"
#include "protocols/Template.h"
#include "ui/ZonterDlg.h"
#include "workers/RunControl.h"

namespace {

// A template shorter than this is generated anew from the controls.
constexpr int kTemplateMinLength = 30;

}  // namespace

void CZonterDlg::BuildTemplate() {
    const protocols::TemplateSettings settings{m_decoder, m_gear, m_zeroStart, m_cruise,  m_softStart,
                                               m_ebs,     m_maxV, m_maxP,      m_throttle};
    if (auto text = protocols::BuildTemplate(settings)) m_templateText = *text;
}

bool CZonterDlg::PrepareRun(protocols::RunCommand kind) {
    UpdateData(true);
    if (!linkcore::Link().portOpen.load()) return false;

    if (workers::StopForRun()) m_captureButton.EnableWindow(true);

    const protocols::RunPlan plan = protocols::CodecAt(m_decoder).PlanRun(kind, m_simulate != 0);
    if (!plan.goesOn) return false;

    workers::BeginRun(m_decoder);

    // Only the member changes; the box keeps its tick.
    if (!plan.simulates) m_simulate = 0;

    if (m_simulate) {
        if (m_templateText.size() < kTemplateMinLength) {
            BuildTemplate();
            UpdateData(false);
        }
        workers::StartSimulator(m_templateText, m_decoder);
    }
    return true;
}

void CZonterDlg::OnReadOnceClicked() {
    if (PrepareRun(protocols::RunCommand::SingleRead)) workers::StartSingleRead();
}

void CZonterDlg::OnReadAutoClicked() {
    if (PrepareRun(protocols::RunCommand::AutoRead)) workers::StartAutoRead();
}

void CZonterDlg::OnCaptureClicked() {
    if (!PrepareRun(protocols::RunCommand::Capture)) return;
    workers::StartCapture();
    m_captureButton.EnableWindow(false);
}

void CZonterDlg::OnSimulateClicked() {
    UpdateData(true);
    // Ticking takes effect at the next run start.
    if (m_simulate) return;
    // The simulator ends at once; nothing waits for it here.
    if (const auto& stop = linkcore::Link().Slot(linkcore::WorkerKind::Simulator).stop) stop->Set();
    m_throttle = 0;
    m_throttleText = platform::ui::FormatText("%i", m_throttle);
    UpdateData(false);
}
