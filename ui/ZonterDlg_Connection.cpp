// Connect and Disconnect: the port commands of the main dialog.
#include <QPushButton>

#include "link/Connection.h"
#include "link/LinkState.h"
#include "platform/PortNames.h"
#include "res/Resource.h"
#include "ui/ZonterDlg.h"

namespace {

// The state line's tooltip says what COMn stood for, and how to get at a
// port that the user may not open.
QString ConnectHint(const linkcore::ConnectOutcome& outcome, int portNumber) {
    const QString com = QString::fromStdString(platform::ComName(static_cast<unsigned>(portNumber)));
    if (outcome.device.empty()) {
        return QStringLiteral("%1 не найден: нет ни ссылки %1 в %2, ни последовательного порта с этим номером")
            .arg(com, QString::fromStdString(platform::PortDirectory()));
    }
    const QString device = QString::fromStdString(outcome.device);
    switch (outcome.error) {
        case platform::OpenError::None:
            return QStringLiteral("%1 = %2").arg(com, device);
        case platform::OpenError::AccessDenied:
            return QStringLiteral(
                       "%1 = %2: нет прав. Добавьте пользователя в группу dialout "
                       "(sudo usermod -aG dialout $USER) и войдите в систему заново.")
                .arg(com, device);
        case platform::OpenError::Busy:
            return QStringLiteral("%1 = %2: порт занят другой программой").arg(com, device);
        default:
            return QStringLiteral("%1 = %2: порт не открывается").arg(com, device);
    }
}

}  // namespace

void CZonterDlg::OnConnectClicked() {
    UpdateData(true);
    const linkcore::ConnectOutcome outcome = linkcore::Connect(m_portNumber, m_decoder);
    m_stateText = QString::fromStdString(outcome.stateText);
    if (QWidget* state = Control(IDC_STATE)) state->setToolTip(ConnectHint(outcome, m_portNumber));
    if (outcome.opened) {
        m_readOnceButton->setEnabled(true);
        m_readAutoButton->setEnabled(true);
        m_captureButton->setEnabled(true);
    }
    UpdateData(false);
}

void CZonterDlg::OnDisconnectClicked() {
    UpdateData(true);
    linkcore::Disconnect();
    m_stateText.clear();
    if (QWidget* state = Control(IDC_STATE)) state->setToolTip(QString());
    m_readOnceButton->setEnabled(false);
    m_readAutoButton->setEnabled(false);
    m_captureButton->setEnabled(false);
    UpdateData(false);
}
