#include "ui/DetectDlg.h"

#include "link/LinkState.h"
#include "link/PortOps.h"
#include "platform/ui/FormatText.h"
#include "protocols/Catalogue.h"
#include "res/DetectStrings.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"

using platform::ui::FormatText;
using platform::ui::Notification;

namespace ui {

namespace {

// The noun form after `n`: one, two to four, or five and more (and the
// teens).
const char* Noun(int n, const char* const (&forms)[3]) {
    const int tens = n % 100;
    const int ones = n % 10;
    if (tens >= 11 && tens <= 14) return forms[2];
    if (ones == 1) return forms[0];
    if (ones >= 2 && ones <= 4) return forms[1];
    return forms[2];
}

// A decoder's list entry without the blank it starts with.
std::string EntryName(int protocol) {
    std::string_view entry = protocols::Protocol(protocol).listEntry;
    while (!entry.empty() && entry.front() == ' ') entry.remove_prefix(1);
    return std::string(entry);
}

}  // namespace

std::string DetectResultText(const protocols::Finding& f, bool silent) {
    using Kind = protocols::Finding::Kind;
    switch (f.kind) {
        case Kind::Protocol:
            return FormatText(res::kDetectProtocolFormat, EntryName(f.protocol).c_str(), f.speed, f.frames,
                              Noun(f.frames, res::kFrameNouns), f.errors, Noun(f.errors, res::kErrorNouns));
        case Kind::Structure:
            return FormatText(res::kDetectStructureFormat, f.speed, static_cast<unsigned>(f.frameLength),
                              Noun(static_cast<int>(f.frameLength), res::kByteNouns), unsigned{f.start[0]},
                              unsigned{f.start[1]}, f.periodMs);
        case Kind::Nothing:
            break;
    }
    return silent ? res::kDetectSilent : res::kDetectNothing;
}

}  // namespace ui

namespace {

// Sets `speed` on the open port as the line-speed dialog does.
void SetSpeed(int speed) { linkcore::SetLineSpeed(protocols::LineModeString(static_cast<unsigned>(speed)), speed); }

}  // namespace

CDetectDlg::CDetectDlg(platform::ui::DialogBase* parent)
    : DialogBase(res::DetectDialogTemplate(), parent), m_listener(linkcore::Link(), *this) {
    OnNotify(Notification::Clicked, IDC_DETECT_APPLY, [this](int) { OnApplyClicked(); });
}

CDetectDlg::~CDetectDlg() { EndSweep(); }

bool CDetectDlg::OnInitDialog() {
    DialogBase::OnInitDialog();
    m_savedSpeed = linkcore::Link().lineSpeed;
    m_sweeping = true;
    ListenNext();
    return true;
}

void CDetectDlg::ListenNext() {
    if (!m_sweeping) return;
    if (m_sweep.Done() || !linkcore::Link().portOpen.load() || !m_listener.CanListen()) {
        Finish();
        return;
    }
    const unsigned speed = m_sweep.Speed();
    SetSpeed(static_cast<int>(speed));
    linkcore::PurgePort(linkcore::Link());
    SetDlgItemText(IDC_DETECT_PROGRESS,
                   FormatText(res::kDetectListeningFormat, speed, static_cast<unsigned>(m_sweep.Step() + 1),
                              static_cast<unsigned>(m_sweep.Steps())));
    m_listener.Start(speed);
}

void CDetectDlg::Listened(const protocols::Finding& finding) {
    PostToDialog([this, finding] {
        if (!m_sweeping) return;
        m_sweep.Take(finding);
        ListenNext();
    });
}

void CDetectDlg::Finish() {
    EndSweep();
    m_finished = true;
    m_found = m_sweep.Result();
    SetDlgItemText(IDC_DETECT_PROGRESS, FormatText(res::kDetectDone, static_cast<unsigned>(m_sweep.Step())));
    SetDlgItemText(IDC_DETECT_RESULT, ui::DetectResultText(m_found, m_sweep.Silent()));
    EnableControl(IDC_DETECT_APPLY, m_found.kind != protocols::Finding::Kind::Nothing);
}

// Stops the listener and puts back the speed in force before the sweep.
void CDetectDlg::EndSweep() {
    m_listener.Stop();
    if (!m_sweeping) return;
    m_sweeping = false;
    if (linkcore::Link().portOpen.load() && linkcore::Link().lineSpeed != m_savedSpeed) SetSpeed(m_savedSpeed);
}

void CDetectDlg::OnApplyClicked() {
    if (!m_finished || m_found.kind == protocols::Finding::Kind::Nothing) return;
    m_chosenDecoder = m_found.kind == protocols::Finding::Kind::Protocol ? m_found.protocol : protocols::kTest;
    SetSpeed(static_cast<int>(m_found.speed));
    EndDialog(kIdOk);
}

void CDetectDlg::OnCancel() {
    EndSweep();
    DialogBase::OnCancel();
}

void CDetectDlg::OnDestroy() { EndSweep(); }
