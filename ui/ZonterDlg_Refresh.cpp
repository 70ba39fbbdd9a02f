// The display refresh: system commands from the window menu and the
// refresh requests of the workers.
#include <QPushButton>

#include <array>

#include "link/LinkState.h"
#include "protocols/Catalogue.h"
#include "protocols/FrameText.h"
#include "protocols/HaltenRs.h"
#include "protocols/KugooM.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "ui/AboutDlg.h"
#include "ui/Dskor.h"
#include "ui/ZonterDlg.h"

namespace {

constexpr unsigned kAboutMask = 0xFFF0;

QString Hex(std::span<const std::uint8_t> bytes) { return QString::fromStdString(protocols::HexBytes(bytes)); }

}  // namespace

void CZonterDlg::OnSysCommand(unsigned code, long extra) {
    if ((code & kAboutMask) == CMD_ABOUT) {
        ShowAboutBox();
    } else if (code == CMD_SHOW_OUT_FRAME) {
        ShowOutFrame();
    } else if (code == CMD_SHOW_RX_FRAME) {
        ShowRxFrame();
    } else if (code == CMD_LINE_SPEED) {
        if (linkcore::Link().portOpen.load()) ShowLineSpeedDialog();
    } else {
        DialogBase::OnSysCommand(code, extra);
    }
}

void CZonterDlg::ShowOutFrame() {
    linkcore::LinkState& s = linkcore::Link();
    UpdateData(true);
    m_outText.clear();
    std::array<std::uint8_t, 20> copy{};
    bool copied = false;
    if (platform::LockHold hold(*s.outLock, linkcore::kOutDisplayLockBoundMs); hold) {
        copy = s.outFrame;
        copied = true;
    }
    if (copied) {
        // As many bytes as the selected decoder sends; none for the others.
        const std::size_t n = protocols::Protocol(m_decoder).txFrameLength;
        m_outText = Hex(std::span<const std::uint8_t>(copy.data(), n));
    }
    UpdateData(false);
}

void CZonterDlg::ShowRxFrame() {
    linkcore::LinkState& s = linkcore::Link();
    UpdateData(true);

    std::array<std::uint8_t, 15> rx{};
    std::array<std::uint8_t, 15> raw{};
    int status = 0;
    {
        platform::LockHold hold(*s.rxLock, linkcore::kLockBoundMs);
        if (!hold) {
            UpdateData(false);
            return;
        }
        rx = s.rxFrame;
        raw = s.rawRxFrame;
        status = s.linkStatus.load();
    }

    const std::span<const std::uint8_t> rxBytes(rx);
    switch (m_decoder) {
        case protocols::kTest:
            m_rawText = Hex(rxBytes.first(15));
            m_decodedText.clear();
            break;
        case protocols::kHaltenRs:
            m_rawText = Hex(raw);
            m_decodedText = Hex(rxBytes.first(14));
            m_vt = protocols::HaltenVt(rx);
            m_p = protocols::HaltenP(rx);
            break;
        case protocols::kKugooM:
            // The frame shown last moves down one line.
            m_decodedText = m_rawText;
            m_rawText = Hex(rxBytes.first(protocols::Protocol(protocols::kKugooM).rxFrameLength));
            m_vt = protocols::KugooVt(rx);
            m_p = protocols::KugooP(rx);
            break;
        default:
            break;
    }

    if (status == linkcore::kStatusNothing) {
        m_counterText.clear();
    } else if (status == linkcore::kStatusTimeOut) {
        m_counterText = QString::fromUtf8(res::kTimeOut);
        m_captureButton->setEnabled(true);
    } else if (status == linkcore::kStatusCaptureWritten) {
        m_counterText = QString::fromUtf8(res::kCaptureWritten);
        m_captureButton->setEnabled(true);
    } else {
        m_counterText = QString::asprintf("%i", status);
    }
    UpdateData(false);
}

void CZonterDlg::ShowAboutBox() {
    CAboutDlg about(this);
    about.DoModal();
}

void CZonterDlg::ShowLineSpeedDialog() {
    CDskor speed(this);
    speed.DoModal();
}
