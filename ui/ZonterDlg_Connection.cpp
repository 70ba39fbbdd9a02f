// Connect and Disconnect: the port commands of the main dialog.
#include "link/Connection.h"
#include "link/LinkState.h"
#include "platform/PortDescription.h"
#include "platform/PortNames.h"
#include "res/Resource.h"
#include "ui/ConnectTexts.h"
#include "ui/ZonterDlg.h"

namespace {

// "COMn", the device it stands for unless that is only COMn again (as on
// Windows), and the name the system gives the adapter, if any.
std::string PortText(const linkcore::ConnectOutcome& outcome, unsigned n) {
    const std::string com = platform::ComName(n);
    const std::string& device = outcome.device;
    const bool ownName =
        device.size() >= com.size() && device.compare(device.size() - com.size(), com.size(), com) == 0;
    std::string text = com;
    if (!ownName) text += " = " + device;
    const std::string friendly = platform::PortFriendlyName(n);
    if (!friendly.empty()) text += (ownName ? ": " : ", ") + friendly;
    return text;
}

// The state line's tooltip says what COMn stood for and, when it could not
// be opened, why: the system's own reason, and how to get at a port that
// the user may not open.
std::string ConnectHint(const linkcore::ConnectOutcome& outcome, int portNumber) {
    const unsigned n = static_cast<unsigned>(portNumber);
    const std::string com = platform::ComName(n);
    if (outcome.device.empty()) {
        return com + " не найден: нет ни ссылки " + com + " в " + platform::PortDirectory() +
               ", ни последовательного порта с этим номером";
    }
    const std::string port = PortText(outcome, n);
    const std::string reason = outcome.systemReason.empty() ? std::string() : " (" + outcome.systemReason + ")";
    switch (outcome.error) {
        case platform::OpenError::None:
            return port;
        case platform::OpenError::NotFound:
            return port + ": такого порта нет" + reason;
        case platform::OpenError::AccessDenied:
            return port + ": нет прав" + reason +
                   ". Добавьте пользователя в группу dialout "
                   "(sudo usermod -aG dialout $USER) и войдите в систему заново.";
        case platform::OpenError::Busy:
            return port + ": порт занят другой программой" + reason;
        default:
            return port + ": порт не открывается" + reason;
    }
}

}  // namespace

void CZonterDlg::OnConnectClicked() {
    UpdateData(true);
    const linkcore::ConnectOutcome outcome = linkcore::Connect(m_portNumber, m_decoder);
    m_stateText = ui::ConnectStateText(outcome, static_cast<unsigned>(m_portNumber));
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
