// Connect and Disconnect: the port commands of the main dialog, the open
// that runs beside the window, and a line that goes and comes back.
#include <chrono>
#include <optional>

#include "link/Connection.h"
#include "link/LinkState.h"
#include "res/Resource.h"
#include "ui/ConnectTexts.h"
#include "ui/ZonterDlg.h"

namespace {

// A port that opens at all opens within this; Connect waits for it so,
// and its outcome shows at once. A slower one finishes beside the window.
constexpr int kQuickOpenMs = 250;
constexpr int kOpenTimer = 1;

}  // namespace

void CZonterDlg::OnConnectClicked() {
    UpdateData(true);
    const auto n = static_cast<unsigned>(m_portNumber);
    // One open at a time: while an earlier one has not answered, a new
    // Connect is refused, never queued.
    if (m_opener.Running()) {
        linkcore::ConnectOutcome refused;
        refused.noAnswer = true;
        ShowConnectOutcome(refused, n);
        UpdateData(false);
        return;
    }
    EndReturnWait();
    linkcore::ClosePort();
    m_openDecoder = m_decoder;
    StartOpen(OpenFor::Connect, n);
    if (m_opener.WaitFinished(kQuickOpenMs)) {
        OnOpenFinished();
    } else {
        Window().SetTimer(kOpenTimer, linkcore::kOpenAnswerMs - kQuickOpenMs);
    }
    UpdateData(false);
}

void CZonterDlg::OnDisconnectClicked() {
    UpdateData(true);
    EndReturnWait();
    Window().KillTimer(kOpenTimer);
    m_opener.GiveUp();
    linkcore::Disconnect();
    m_stateText.clear();
    SetToolTip(IDC_STATE, {});
    EnableRunButtons(false);
    UpdateData(false);
}

void CZonterDlg::StartOpen(OpenFor purpose, unsigned portNumber) {
    m_openFor = purpose;
    m_openPort = portNumber;
    m_openStart = std::chrono::steady_clock::now();
    // Called on the open's thread; the dialog's thread takes the port.
    m_opener.Start(static_cast<int>(portNumber), [this] { PostToDialog([this] { OnOpenFinished(); }); });
}

void CZonterDlg::OnOpenFinished() {
    // Also reached once more from the open's own post, with nothing left.
    std::optional<linkcore::OpenedPort> opened = m_opener.Take();
    if (!opened) return;
    if (m_openFor == OpenFor::Return) {
        if (!m_returnWatch) return;
        if (!opened->port) {
            // Still missing: the watch goes on, and what it saw meanwhile
            // is tried now.
            if (m_returnAgain) TryReturn();
            return;
        }
        EndReturnWait();
        // The settings in force, and no run: a display simulation above
        // all never resumes by itself.
        linkcore::TakeReturnedPort(*opened);
    } else {
        Window().KillTimer(kOpenTimer);
        linkcore::TakeOpenedPort(*opened, m_openDecoder);
    }
    if (opened->outcome.opened) m_linePort = m_openPort;
    ShowConnectOutcome(opened->outcome, m_openPort);
    if (opened->outcome.opened) EnableRunButtons(true);
}

void CZonterDlg::OnTimer(int timerId) {
    if (timerId == kOpenTimer) OnOpenOutlasted();
}

void CZonterDlg::OnOpenOutlasted() {
    Window().KillTimer(kOpenTimer);
    // Finished meanwhile: its post shows it.
    if (!m_opener.Running()) return;
    // A timer may come a little early (Qt's coarse timers): the rest of
    // the bound is waited out.
    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_openStart);
    if (waited.count() < linkcore::kOpenAnswerMs) {
        Window().SetTimer(kOpenTimer, static_cast<int>(linkcore::kOpenAnswerMs - waited.count()));
        return;
    }
    m_opener.GiveUp();
    linkcore::ConnectOutcome outcome;
    outcome.noAnswer = true;
    ShowConnectOutcome(outcome, m_openPort);
}

void CZonterDlg::ShowConnectOutcome(const linkcore::ConnectOutcome& outcome, unsigned portNumber) {
    ShowState(ui::ConnectStateText(outcome, portNumber), ui::ConnectHint(outcome, portNumber));
}

// The state line and its tooltip alone: an outcome that comes later than
// its command must not exchange the other controls (a word in an integer
// box would bring up its message box).
void CZonterDlg::ShowState(const std::string& text, const std::string& tip) {
    m_stateText = text;
    SetDlgItemText(IDC_STATE, text);
    SetToolTip(IDC_STATE, tip);
}

void CZonterDlg::EnableRunButtons(bool enable) {
    m_readOnceButton.EnableWindow(enable);
    m_readAutoButton.EnableWindow(enable);
    m_captureButton.EnableWindow(enable);
}

void CZonterDlg::OnLineGone() {
    linkcore::LinkState& s = linkcore::Link();
    // Asked by every worker that saw it: the first request closes the port.
    const platform::SerialPort* port = s.port.load();
    if (!port || !port->Gone()) return;
    const std::string reason = port->GoneReason();
    // The device can take nothing back: the port just closes, so that the
    // adapter can come back under its name.
    linkcore::ClosePort();
    s.linkStatus.store(linkcore::kStatusTimeOut);
    ShowState(ui::PortStateText(res::kLineGoneFormat, m_linePort), reason);
    m_counterText = res::kTimeOut;
    SetDlgItemText(IDC_COUNTER, m_counterText);
    EnableRunButtons(false);
    WaitForReturn();
}

void CZonterDlg::WaitForReturn() {
    // Each change the system reports, or each second where it reports
    // none, tries the port again on the dialog's thread.
    m_returnWatch =
        std::make_unique<platform::PortWatch>(m_linePort, [this] { PostToDialog([this] { TryReturn(); }); });
    // It may be back already, before the watch began.
    TryReturn();
}

void CZonterDlg::TryReturn() {
    if (!m_returnWatch) return;
    // A change seen while an open runs is tried once that open has failed.
    m_returnAgain = m_opener.Running();
    if (m_returnAgain) return;
    StartOpen(OpenFor::Return, m_linePort);
}

void CZonterDlg::EndReturnWait() {
    m_returnWatch.reset();
    if (m_openFor == OpenFor::Return) m_opener.GiveUp();
}
