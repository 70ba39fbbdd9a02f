#include "protocols/Catalogue.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"
#include "res/Strings.h"

namespace res {

using platform::ControlKind;
using namespace platform;  // style bits

// The list entries come from the protocol catalogue (literals, so
// null-terminated).
const char* const kDecoderItems[3] = {protocols::Protocol(0).listEntry.data(), protocols::Protocol(1).listEntry.data(),
                                      protocols::Protocol(2).listEntry.data()};

namespace {

constexpr unsigned kEdit = kBorder | kAutoHScroll;

// Template order is tab order. The "_" captions of the state and counter
// lines are replaced by their empty defaults at initialisation.
const ControlTemplate kMainControls[] = {
    {IDCANCEL, "IDCANCEL", ControlKind::PushButton, "Завершить", kNoStyle, 258, 266, 50, 14},
    {IDC_STATIC, nullptr, ControlKind::Label, "Сырой входной поток (от КМ):", kNoStyle, 6, 7, 111, 8},
    {IDC_STATIC, nullptr, ControlKind::Label, "Порт COM", kNoStyle, 228, 9, 36, 8},
    {IDC_PORT, "IDC_PORT", ControlKind::Edit, nullptr, kEdit | kCentred, 268, 7, 30, 14},
    {IDC_PORT_SPIN, "IDC_PORT_SPIN", ControlKind::UpDown, nullptr, kArrowKeys, 299, 7, 9, 14},
    {IDC_RAW_IN, "IDC_RAW_IN", ControlKind::Edit, nullptr, kEdit | kReadOnly, 6, 20, 182, 14},
    {IDC_DECODED, "IDC_DECODED", ControlKind::Edit, nullptr, kEdit | kReadOnly, 6, 48, 172, 14},
    {IDC_CONNECT, "IDC_CONNECT", ControlKind::PushButton, "Connect", kNoStyle, 253, 24, 55, 14},
    {IDC_DISCONNECT, "IDC_DISCONNECT", ControlKind::PushButton, "Disconnect", kNoStyle, 253, 41, 55, 14},
    {IDC_READ_ONCE, "IDC_READ_ONCE", ControlKind::PushButton, "Ед. чтен.", kDisabled, 253, 58, 55, 14},
    {IDC_READ_AUTO, "IDC_READ_AUTO", ControlKind::PushButton, "Авто. чтен.", kDisabled, 253, 75, 55, 14},
    {IDC_STATIC, nullptr, ControlKind::Label, "Декодер", kNoStyle, 14, 67, 30, 8},
    {IDC_DECODER, "IDC_DECODER", ControlKind::ComboBox, nullptr, kVScroll, 61, 66, 129, 57, kDecoderItems},
    {IDC_STATE, "IDC_STATE", ControlKind::Label, "_", kWrap, 250, 110, 48, 19},
    {IDC_TEMPLATE, "IDC_TEMPLATE", ControlKind::Edit, nullptr, kEdit, 6, 238, 229, 14},
    {IDC_OUT, "IDC_OUT", ControlKind::Edit, nullptr, kEdit | kReadOnly, 6, 265, 240, 14},
    {IDC_SIMULATE, "IDC_SIMULATE", ControlKind::CheckBox, "имит. БК", kWrap | kTopAligned, 273, 137, 31, 20},
    {IDC_STATIC, nullptr, ControlKind::Label, "V/T=", kNoStyle, 17, 85, 15, 8},
    {IDC_VT, "IDC_VT", ControlKind::Edit, nullptr, kEdit | kReadOnly | kCentred, 37, 83, 41, 14},
    {IDC_STATIC, nullptr, ControlKind::Label, "P=", kNoStyle, 103, 84, 10, 8},
    {IDC_P, "IDC_P", ControlKind::Edit, nullptr, kEdit | kReadOnly | kCentred, 116, 83, 24, 14},
    {IDC_STATIC, nullptr, ControlKind::Label, "Расшифровка:", kNoStyle, 6, 36, 50, 8},
    {IDC_STATIC, nullptr, ControlKind::Label,
     "-----------------------------------------------------------------------------------------------"
     "----------------------------------",
     kNoStyle, 6, 126, 302, 8},
    {IDC_STATIC, nullptr, ControlKind::Label, "Начальный шаблон:", kNoStyle, 6, 226, 67, 8},
    {IDC_STATIC, nullptr, ControlKind::Label, "Выходной поток (к КМ):", kNoStyle, 8, 254, 79, 8},
    {IDC_COUNTER, "IDC_COUNTER", ControlKind::Label, "_", kNoStyle, 6, 112, 193, 8},
    {IDC_COUNTER_BTN, "IDC_COUNTER_BTN", ControlKind::PushButton, "t", kHidden, 304, 113, 7, 14},
    {IDC_STATIC, nullptr, ControlKind::Label, "\"Передача\":", kNoStyle, 11, 139, 40, 8},
    {IDC_GEAR, "IDC_GEAR", ControlKind::Slider, nullptr, kTickMarks, 49, 133, 68, 17},
    {IDC_GEAR_CODE, "IDC_GEAR_CODE", ControlKind::Edit, nullptr, kEdit | kReadOnly | kCentred, 117, 137, 20, 14},
    {IDC_ZERO_START, "IDC_ZERO_START", ControlKind::CheckBox, "~0 Старт (P5/P09)", kNoStyle, 6, 172, 75, 10},
    {IDC_STATIC, nullptr, ControlKind::Label, "МахP (-/P14):", kRightAligned | kWrap, 13, 151, 34, 17},
    {IDC_MAXP, "IDC_MAXP", ControlKind::Slider, nullptr, kNoStyle, 49, 154, 68, 15},
    {IDC_MAXP_VAL, "IDC_MAXP_VAL", ControlKind::Edit, nullptr, kEdit | kReadOnly | kCentred, 117, 154, 20, 14},
    {IDC_CRUISE, "IDC_CRUISE", ControlKind::CheckBox, "Круиз (P6/P17)", kNoStyle, 97, 172, 61, 10},
    {IDC_SOFT_START, "IDC_SOFT_START", ControlKind::CheckBox, "~Плав. старт (P7/P12)", kNoStyle, 6, 187, 89, 10},
    {IDC_EBS, "IDC_EBS", ControlKind::Edit, nullptr, kEdit | kCentred, 144, 185, 18, 14},
    {IDC_EBS_SPIN, "IDC_EBS_SPIN", ControlKind::UpDown, nullptr, kArrowKeys, 163, 185, 10, 14},
    {IDC_STATIC, nullptr, ControlKind::Label, "EBS (P9/P11):", kRightAligned, 95, 187, 46, 8},
    {IDC_STATIC, nullptr, ControlKind::Label, "Курок:", kRightAligned, 148, 138, 22, 8},
    {IDC_THROTTLE, "IDC_THROTTLE", ControlKind::Slider, nullptr, kNoStyle, 173, 136, 68, 13},
    {IDC_THROTTLE_VAL, "IDC_THROTTLE_VAL", ControlKind::Edit, nullptr, kEdit | kReadOnly | kCentred, 241, 136, 20, 14},
    {IDC_STATIC, nullptr, ControlKind::Label, "МахV (P8/P08):", kRightAligned | kWrap, 145, 151, 26, 17},
    {IDC_MAXV, "IDC_MAXV", ControlKind::Slider, nullptr, kNoStyle, 173, 153, 68, 15},
    {IDC_MAXV_VAL, "IDC_MAXV_VAL", ControlKind::Edit, nullptr, kEdit | kReadOnly | kCentred, 241, 153, 20, 14},
    {IDC_CAPTURE, "IDC_CAPTURE", ControlKind::PushButton, "В файл 60s", kDisabled, 253, 92, 55, 14},
};

const DialogTemplate kMain{IDD_MAIN, "IDD_MAIN", kMainTitle, 315, 287, "Microsoft Sans Serif", 9, true, kMainControls};

const ControlTemplate kSpeedControls[] = {
    {IDOK, "IDOK", ControlKind::DefPushButton, "ОК", kNoStyle, 14, 25, 50, 14},
    {IDCANCEL, "IDCANCEL", ControlKind::PushButton, "Отмена", kNoStyle, 72, 25, 50, 14},
    {IDC_STATIC, nullptr, ControlKind::Label, "Текущая скорость:", kNoStyle, 8, 8, 62, 8},
    {IDC_SPEED, "IDC_SPEED", ControlKind::Edit, nullptr, kEdit | kCentred, 72, 7, 46, 14},
    {IDC_SPEED_SPIN, "IDC_SPEED_SPIN", ControlKind::UpDown, nullptr, kArrowKeys, 118, 7, 10, 14},
};

const DialogTemplate kSpeed{IDD_SPEED, "IDD_SPEED", "Скорость",    135, 46, "Microsoft Sans Serif",
                            9,         false,       kSpeedControls};

const ControlTemplate kAboutControls[] = {
    {IDC_ABOUT_ICON, "IDC_ABOUT_ICON", ControlKind::Icon, nullptr, kNoStyle, 14, 14, 20, 20},
    {IDC_ABOUT_TEXT, "IDC_ABOUT_TEXT", ControlKind::Label, kAboutText, kWrap, 42, 10, 114, 17},
    {IDOK, "IDOK", ControlKind::DefPushButton, "ОК", kNoStyle, 113, 41, 50, 14},
};

const DialogTemplate kAbout{IDD_ABOUT, "IDD_ABOUT", "О проекте Zonter", 170, 62, "MS Shell Dlg",
                            8,         false,       kAboutControls};

}  // namespace

const DialogTemplate& MainDialogTemplate() { return kMain; }
const DialogTemplate& SpeedDialogTemplate() { return kSpeed; }
const DialogTemplate& AboutDialogTemplate() { return kAbout; }

}  // namespace res
