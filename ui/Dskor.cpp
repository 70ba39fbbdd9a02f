#include "ui/Dskor.h"

#include <cstdio>

#include "link/LinkState.h"
#include "link/PortOps.h"
#include "protocols/Catalogue.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"
#include "ui/SpeedLadder.h"

using platform::ui::Notification;

CDskor::CDskor(platform::ui::DialogBase* parent) : DialogBase(res::SpeedDialogTemplate(), parent) {
    OnNotify(Notification::UpDownStep, IDC_SPEED_SPIN, [this](int delta) { OnSpeedSpin(delta); });
    OnNotify(Notification::Clicked, IDOK, [this](int) { OnSpeedOk(); });
}

void CDskor::DoDataExchange(platform::ui::DataExchange& dx) { dx.Int(IDC_SPEED, m_speed); }

bool CDskor::OnInitDialog() {
    DialogBase::OnInitDialog();
    m_speed = linkcore::Link().lineSpeed;
    UpdateData(false);
    return true;
}

void CDskor::OnSpeedSpin(int delta) {
    UpdateData(true);
    if (delta < 0) m_speed = ui::SpeedLadderUp(m_speed);
    if (delta > 0) m_speed = ui::SpeedLadderDown(m_speed);
    UpdateData(false);
}

void CDskor::OnSpeedOk() {
    UpdateData(true);
    char mode[64];
    std::snprintf(mode, sizeof mode, protocols::kLineModeFormat, static_cast<unsigned>(m_speed));
    // The port keeps its settings when it cannot take the rate; lineSpeed
    // takes it all the same, and the next scooter run sets its own rate.
    linkcore::SetLineSpeed(mode, m_speed);
    DialogBase::OnOK();
}
