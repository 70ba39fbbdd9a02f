#include "ui/ZonterDlg.h"

#include "link/LinkState.h"
#include "res/AppIcon.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"
#include "res/Strings.h"

using platform::ui::DataExchange;
using platform::ui::Notification;

namespace {

// How long a worker waits for the window to handle a refresh before it
// goes on; a stop ends the wait at once in any case.
constexpr int kRefreshBoundMs = 5000;

// The four byte boxes show their hex bytes in a fixed-pitch font.
constexpr platform::ui::Font kByteBoxFont{"Courier New", 12, true};

// The message map: notification, control, handler.
struct MessageMapEntry {
    Notification notification;
    int id;
    void (CZonterDlg::*handler)();
    void (CZonterDlg::*spinHandler)(int);
};

const MessageMapEntry kMessageMap[] = {
    {Notification::UpDownStep, IDC_PORT_SPIN, nullptr, &CZonterDlg::OnPortSpin},
    {Notification::Clicked, IDC_CONNECT, &CZonterDlg::OnConnectClicked, nullptr},
    {Notification::Clicked, IDC_DISCONNECT, &CZonterDlg::OnDisconnectClicked, nullptr},
    {Notification::Clicked, IDC_READ_ONCE, &CZonterDlg::OnReadOnceClicked, nullptr},
    {Notification::Clicked, IDC_SIMULATE, &CZonterDlg::OnSimulateClicked, nullptr},
    {Notification::Clicked, IDC_READ_AUTO, &CZonterDlg::OnReadAutoClicked, nullptr},
    {Notification::Clicked, IDC_COUNTER_BTN, &CZonterDlg::OnCounterClicked, nullptr},
    {Notification::SliderChanged, IDC_GEAR, &CZonterDlg::OnGearDraw, nullptr},
    {Notification::SliderChanged, IDC_MAXP, &CZonterDlg::OnMaxPDraw, nullptr},
    {Notification::Clicked, IDC_ZERO_START, &CZonterDlg::OnZeroStartClicked, nullptr},
    {Notification::Clicked, IDC_CRUISE, &CZonterDlg::OnCruiseClicked, nullptr},
    {Notification::Clicked, IDC_SOFT_START, &CZonterDlg::OnSoftStartClicked, nullptr},
    {Notification::UpDownStep, IDC_EBS_SPIN, nullptr, &CZonterDlg::OnEbsSpin},
    {Notification::SliderChanged, IDC_THROTTLE, &CZonterDlg::OnThrottleDraw, nullptr},
    {Notification::SliderChanged, IDC_MAXV, &CZonterDlg::OnMaxVDraw, nullptr},
    {Notification::Clicked, IDC_CAPTURE, &CZonterDlg::OnCaptureClicked, nullptr},
};

}  // namespace

CZonterDlg::CZonterDlg(platform::ui::DialogBase* parent) : DialogBase(res::MainDialogTemplate(), parent) {
    for (const MessageMapEntry& e : kMessageMap) {
        if (e.handler) {
            OnNotify(e.notification, e.id, [this, h = e.handler](int) { (this->*h)(); });
        } else {
            OnNotify(e.notification, e.id, [this, h = e.spinHandler](int delta) { (this->*h)(delta); });
        }
    }
}

CZonterDlg::~CZonterDlg() { DestroyWindow(); }

void CZonterDlg::DoDataExchange(DataExchange& dx) {
    dx.Int(IDC_PORT, m_portNumber);
    dx.Text(IDC_RAW_IN, m_rawText);
    dx.Text(IDC_DECODED, m_decodedText);
    dx.Control(IDC_READ_ONCE, m_readOnceButton);
    dx.Control(IDC_READ_AUTO, m_readAutoButton);
    dx.Selection(IDC_DECODER, m_decoder);
    dx.Text(IDC_STATE, m_stateText);
    dx.Text(IDC_TEMPLATE, m_templateText);
    dx.Text(IDC_OUT, m_outText);
    dx.Check(IDC_SIMULATE, m_simulate);
    dx.Int(IDC_VT, m_vt);
    dx.Int(IDC_P, m_p);
    dx.Text(IDC_COUNTER, m_counterText);
    dx.Slider(IDC_GEAR, m_gear);
    dx.Text(IDC_GEAR_CODE, m_gearCodeText);
    dx.Slider(IDC_MAXP, m_maxP);
    dx.Text(IDC_MAXP_VAL, m_maxPText);
    dx.Check(IDC_ZERO_START, m_zeroStart);
    dx.Check(IDC_CRUISE, m_cruise);
    dx.Check(IDC_SOFT_START, m_softStart);
    dx.Int(IDC_EBS, m_ebs);
    dx.Slider(IDC_THROTTLE, m_throttle);
    dx.Slider(IDC_MAXV, m_maxV);
    dx.Text(IDC_THROTTLE_VAL, m_throttleText);
    dx.Text(IDC_MAXV_VAL, m_maxVText);
    dx.Control(IDC_CAPTURE, m_captureButton);
}

bool CZonterDlg::OnInitDialog() {
    // Slider ranges: gear 0..7, throttle 0..1100, the other two 0..100.
    // Set before the first push so that every default lies in range.
    SetSliderRange(IDC_GEAR, 0, 7);
    SetSliderRange(IDC_THROTTLE, 0, 1100);
    SetSliderRange(IDC_MAXP, 0, 100);
    SetSliderRange(IDC_MAXV, 0, 100);

    DialogBase::OnInitDialog();
    EditWindowMenu();
    SetIcon(res::AppIconPng());
    for (int id : {IDC_RAW_IN, IDC_DECODED, IDC_TEMPLATE, IDC_OUT}) SetControlFont(id, kByteBoxFont);

    if (!linkcore::CreateSyncObjects(this)) {
        // Without its stop events no worker could ever be stopped, so the
        // window does no work: it says why and ends once it is up.
        MessageBox(res::kNoSyncObjects);
        PostToDialog([this] { EndDialog(kIdCancel); });
        return false;
    }
    return true;
}

void CZonterDlg::EditWindowMenu() {
    AppendMenuSeparator();
    AppendMenuItem(res::kAboutItem, CMD_ABOUT);
    AppendMenuItem(res::kLineSpeedItem, CMD_LINE_SPEED);
    AppendMenuItem(res::kLineMonitorItem, CMD_LINE_MONITOR);
    AppendMenuItem(res::kDetectItem, CMD_DETECT);
}

void CZonterDlg::OnDestroy() { DestroyWindow(); }

bool CZonterDlg::DestroyWindow() {
    if (m_destroyed) return true;
    m_destroyed = true;
    // The monitor stops listening before the workers go; a line that has
    // gone is no longer waited for, an open still running is given up.
    m_monitor.reset();
    EndReturnWait();
    m_opener.GiveUp();
    linkcore::ReleaseSyncObjects();
    return true;
}

bool CZonterDlg::Refresh(unsigned code, const platform::Event& stop) {
    return SendSysCommand(code, &stop, kRefreshBoundMs);
}

void CZonterDlg::CaptureEnded(const std::string& message) {
    PostToDialog([this, message] {
        if (!linkcore::Link().portOpen.load()) return;
        m_captureButton.EnableWindow(true);
        if (!message.empty()) {
            UpdateData(true);
            m_stateText = message;
            UpdateData(false);
            SetToolTip(IDC_STATE, message);
        }
    });
}
