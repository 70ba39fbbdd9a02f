// Connect and Disconnect: the port commands of the main dialog.
#include "link/Connection.h"
#include "link/LinkState.h"
#include "platform/PortNames.h"
#include "res/Resource.h"
#include "ui/ZonterDlg.h"

namespace {

// The state line's tooltip says what COMn stood for, and how to get at a
// port that the user may not open.
std::string ConnectHint(const linkcore::ConnectOutcome& outcome, int portNumber) {
    const std::string com = platform::ComName(static_cast<unsigned>(portNumber));
    if (outcome.device.empty()) {
        return com + " не найден: нет ни ссылки " + com + " в " + platform::PortDirectory() +
               ", ни последовательного порта с этим номером";
    }
    const std::string named = com + " = " + outcome.device;
    switch (outcome.error) {
        case platform::OpenError::None:
            return named;
        case platform::OpenError::AccessDenied:
            return named +
                   ": нет прав. Добавьте пользователя в группу dialout "
                   "(sudo usermod -aG dialout $USER) и войдите в систему заново.";
        case platform::OpenError::Busy:
            return named + ": порт занят другой программой";
        default:
            return named + ": порт не открывается";
    }
}

}  // namespace

void CZonterDlg::OnConnectClicked() {
    UpdateData(true);
    const linkcore::ConnectOutcome outcome = linkcore::Connect(m_portNumber, m_decoder);
    m_stateText = outcome.stateText;
    SetToolTip(IDC_STATE, ConnectHint(outcome, m_portNumber));
    if (outcome.opened) {
        m_readOnceButton.EnableWindow(true);
        m_readAutoButton.EnableWindow(true);
        m_captureButton.EnableWindow(true);
    }
    UpdateData(false);
}

void CZonterDlg::OnDisconnectClicked() {
    UpdateData(true);
    linkcore::Disconnect();
    m_stateText.clear();
    SetToolTip(IDC_STATE, {});
    m_readOnceButton.EnableWindow(false);
    m_readAutoButton.EnableWindow(false);
    m_captureButton.EnableWindow(false);
    UpdateData(false);
}
