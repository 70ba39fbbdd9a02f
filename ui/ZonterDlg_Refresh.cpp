// The display refresh: system commands from the window menu and the
// refresh requests of the workers.
#include <array>
#include <initializer_list>

#include "link/LinkState.h"
#include "link/RefreshCodes.h"
#include "platform/ui/FormatText.h"
#include "protocols/Codecs.h"
#include "protocols/FrameText.h"
#include "protocols/RxLines.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "ui/AboutDlg.h"
#include "ui/DetectDlg.h"
#include "ui/Dskor.h"
#include "ui/ZonterDlg.h"
#include "workers/RunControl.h"

namespace {

constexpr unsigned kAboutMask = 0xFFF0;

// The window menu's commands and the workers' refresh requests share one
// set of codes: no two may meet, and only About's may fall in its range.
constexpr bool AllDiffer(std::initializer_list<unsigned> codes) {
    for (auto a = codes.begin(); a != codes.end(); ++a) {
        if (*a != CMD_ABOUT && (*a & kAboutMask) == CMD_ABOUT) return false;
        for (auto b = a + 1; b != codes.end(); ++b) {
            if (*a == *b) return false;
        }
    }
    return true;
}
static_assert(AllDiffer({CMD_ABOUT, CMD_LINE_SPEED, CMD_LINE_MONITOR, CMD_DETECT, CMD_SHOW_OUT_FRAME, CMD_SHOW_RX_FRAME,
                         CMD_LINE_GONE}));

}  // namespace

void CZonterDlg::OnSysCommand(unsigned code, long extra) {
    if ((code & kAboutMask) == CMD_ABOUT) {
        ShowAboutBox();
    } else if (code == CMD_SHOW_OUT_FRAME) {
        ShowOutFrame();
    } else if (code == CMD_SHOW_RX_FRAME) {
        ShowRxFrame();
    } else if (code == CMD_LINE_GONE) {
        OnLineGone();
    } else if (code == CMD_LINE_MONITOR) {
        ShowLineMonitor();
    } else if (code == CMD_LINE_SPEED) {
        if (linkcore::Link().portOpen.load()) ShowLineSpeedDialog();
    } else if (code == CMD_DETECT) {
        if (linkcore::Link().portOpen.load()) ShowDetectDialog();
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
        m_outText = protocols::HexBytes(std::span<const std::uint8_t>(copy.data(), n));
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

    ShowRxLines(rx, raw);

    if (status == linkcore::kStatusNothing) {
        m_counterText.clear();
    } else if (status == linkcore::kStatusTimeOut) {
        m_counterText = res::kTimeOut;
        m_captureButton.EnableWindow(true);
    } else if (status == linkcore::kStatusCaptureWritten) {
        m_counterText = res::kCaptureWritten;
        m_captureButton.EnableWindow(true);
    } else {
        m_counterText = platform::ui::FormatText("%i", status);
    }
    UpdateData(false);
}

void CZonterDlg::ShowRxLines(protocols::ConstRxFrameSpan rx, protocols::ConstRxFrameSpan raw) {
    if (const auto lines = protocols::ShowRxLines(m_decoder, rx, raw, m_rawText)) {
        m_rawText = lines->raw;
        m_decodedText = lines->decoded;
        if (lines->hasValues) {
            m_vt = lines->vt;
            m_p = lines->p;
        }
    }
}

void CZonterDlg::ShowReplayedFrame(protocols::ConstRxFrameSpan raw) {
    UpdateData(true);
    std::array<std::uint8_t, protocols::kRxFrameSize> rx{};
    std::copy(raw.begin(), raw.end(), rx.begin());
    protocols::CodecAt(m_decoder).DecodeRx(rx);
    ShowRxLines(rx, raw);
    UpdateData(false);
}

void CZonterDlg::ShowLineMonitor() {
    if (m_monitor && !m_monitor->IsVisible()) m_monitor.reset();  // closed: a new session
    if (!m_monitor) m_monitor = std::make_unique<CMonitorDlg>(this, linkcore::Link(), *this);
    m_monitor->ShowModeless();
}

void CZonterDlg::ShowAboutBox() {
    CAboutDlg about(this);
    about.DoModal();
}

void CZonterDlg::ShowLineSpeedDialog() {
    CDskor speed(this);
    speed.DoModal();
}

void CZonterDlg::ShowDetectDialog() {
    // The sweep is the port's only user, as a run is.
    if (workers::StopForRun()) m_captureButton.EnableWindow(true);
    CDetectDlg detect(this);
    if (detect.DoModal() != CDetectDlg::kIdOk) return;
    UpdateData(true);
    m_decoder = detect.ChosenDecoder();
    UpdateData(false);
}
