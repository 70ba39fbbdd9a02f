#include "res/DetectStrings.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"

namespace res {

using platform::ControlKind;
using namespace platform;  // style bits

namespace {

const ControlTemplate kDetectControls[] = {
    {IDC_DETECT_PROGRESS, "IDC_DETECT_PROGRESS", ControlKind::Label, "", kNoStyle, 8, 8, 224, 8},
    {IDC_DETECT_RESULT, "IDC_DETECT_RESULT", ControlKind::Label, "", kWrap, 8, 22, 224, 18},
    {IDC_DETECT_APPLY, "IDC_DETECT_APPLY", ControlKind::PushButton, kDetectApply, kDisabled, 118, 46, 55, 14},
    {IDCANCEL, "IDCANCEL", ControlKind::PushButton, kDetectCancel, kNoStyle, 177, 46, 55, 14},
};

const DialogTemplate kDetect{IDD_DETECT, "IDD_DETECT", kDetectTitle,   240, 66, "Microsoft Sans Serif",
                             9,          false,        kDetectControls};

}  // namespace

const DialogTemplate& DetectDialogTemplate() { return kDetect; }

}  // namespace res
