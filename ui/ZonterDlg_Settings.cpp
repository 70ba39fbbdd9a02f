// The setting controls: each shows its value and patches the frame being
// sent (or the gear code) under outLock.
#include "link/LinkState.h"
#include "platform/ui/FormatText.h"
#include "protocols/GearCodes.h"
#include "protocols/Patches.h"
#include "res/Strings.h"
#include "ui/ZonterDlg.h"

namespace {

constexpr int kPortMin = 1;
constexpr int kPortMax = 10;
constexpr int kEbsMin = 0;
constexpr int kEbsMax = 2;

// An up-down press: a positive change (down arrow) lowers the value while
// it is above `low`, a negative one (up arrow) raises it while below
// `high`. Typed values beyond the bounds are kept and stepped from.
void Step(int& value, int delta, int low, int high) {
    if (delta > 0 && value > low) --value;
    if (delta < 0 && value < high) ++value;
}

// Runs `patch` on the out frame when outLock comes within its bound;
// a missed lock skips the patch.
template <typename Patch>
void PatchOutFrame(Patch patch) {
    linkcore::LinkState& s = linkcore::Link();
    if (platform::LockHold hold(*s.outLock, linkcore::kLockBoundMs); hold) patch(s);
}

}  // namespace

void CZonterDlg::OnPortSpin(int delta) {
    UpdateData(true);
    Step(m_portNumber, delta, kPortMin, kPortMax);
    UpdateData(false);
}

void CZonterDlg::OnGearDraw() {
    UpdateData(true);
    const std::uint8_t code = protocols::GearCodeForPosition(m_gear);
    m_gearCodeText = platform::ui::FormatText("%X", code);
    PatchOutFrame([code](linkcore::LinkState& s) { s.gearCode = code; });
    UpdateData(false);
}

void CZonterDlg::OnMaxPDraw() {
    UpdateData(true);
    m_maxPText = platform::ui::FormatText("%i", m_maxP);
    PatchOutFrame(
        [v = m_maxP](linkcore::LinkState& s) { protocols::PatchMaxP(s.activeProtocol.load(), s.outFrame, v); });
    UpdateData(false);
}

void CZonterDlg::OnThrottleDraw() {
    UpdateData(true);
    m_throttleText = platform::ui::FormatText("%i", m_throttle);
    PatchOutFrame(
        [v = m_throttle](linkcore::LinkState& s) { protocols::PatchThrottle(s.activeProtocol.load(), s.outFrame, v); });
    UpdateData(false);
}

void CZonterDlg::OnMaxVDraw() {
    UpdateData(true);
    m_maxVText = platform::ui::FormatText("%i", m_maxV);
    PatchOutFrame(
        [v = m_maxV](linkcore::LinkState& s) { protocols::PatchMaxV(s.activeProtocol.load(), s.outFrame, v); });
    UpdateData(false);
}

void CZonterDlg::OnZeroStartClicked() {
    UpdateData(true);
    PatchOutFrame([on = m_zeroStart != 0](linkcore::LinkState& s) {
        protocols::PatchZeroStart(s.activeProtocol.load(), s.outFrame, on);
    });
}

void CZonterDlg::OnCruiseClicked() {
    UpdateData(true);
    // Cruise alone goes by the decoder list's current selection.
    PatchOutFrame([on = m_cruise != 0, decoder = m_decoder](linkcore::LinkState& s) {
        protocols::PatchCruise(decoder, s.outFrame, on);
    });
}

void CZonterDlg::OnSoftStartClicked() {
    UpdateData(true);
    PatchOutFrame([on = m_softStart != 0](linkcore::LinkState& s) {
        protocols::PatchSoftStart(s.activeProtocol.load(), s.outFrame, on);
    });
}

void CZonterDlg::OnEbsSpin(int delta) {
    UpdateData(true);
    Step(m_ebs, delta, kEbsMin, kEbsMax);
    PatchOutFrame([v = m_ebs](linkcore::LinkState& s) { protocols::PatchEbs(s.activeProtocol.load(), s.outFrame, v); });
    UpdateData(false);
}

void CZonterDlg::OnCounterClicked() {
    UpdateData(true);
    const int status = linkcore::Link().linkStatus.load();
    m_counterText = platform::ui::FormatText("%i ", status);
    if (status == linkcore::kStatusTimeOut) m_counterText += res::kCounterTimeOutSuffix;
    UpdateData(false);
}
