// Which label names a captionless control.
#include <gtest/gtest.h>

#include "platform/ui/qt/AccessibleNames.h"

namespace {

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;
using platform::ui::qt::AccessibleNames;
using platform::ui::qt::StripMnemonics;

TEST(AccessibleNames, MnemonicsAreDropped) {
    EXPECT_EQ(StripMnemonics(QStringLiteral("&О проекте Zonter...")), QStringLiteral("О проекте Zonter..."));
    EXPECT_EQ(StripMnemonics(QStringLiteral("A && B")), QStringLiteral("A & B"));
    EXPECT_EQ(StripMnemonics(QStringLiteral("end&")), QStringLiteral("end"));
}

// Labels placed after their controls in template order, as in a real
// settings row: the name comes from the label beside or above, not from
// whatever label came last.
constexpr ControlTemplate kRow[] = {
    {-1, nullptr, ControlKind::Label, "Сырой поток:", 0, 6, 7, 111, 8},
    {1, "IDC_RAW", ControlKind::Edit, nullptr, platform::kReadOnly, 6, 20, 182, 14},
    {-1, nullptr, ControlKind::Label, "МахP (-/P14):", platform::kRightAligned, 13, 151, 34, 17},
    {2, "IDC_MAXP", ControlKind::Slider, nullptr, 0, 49, 154, 68, 15},
    {3, "IDC_EBS", ControlKind::Edit, nullptr, platform::kCentred, 144, 185, 18, 14},
    {4, "IDC_EBS_SPIN", ControlKind::UpDown, nullptr, platform::kArrowKeys, 163, 185, 10, 14},
    {-1, nullptr, ControlKind::Label, "EBS (P9/P11):", platform::kRightAligned, 95, 187, 46, 8},
    {-1, nullptr, ControlKind::Label, "V/T=", 0, 17, 85, 15, 8},
    {5, "IDC_VT", ControlKind::Edit, nullptr, platform::kReadOnly, 37, 83, 41, 14},
    {-1, nullptr, ControlKind::Label, "----------", 0, 6, 126, 302, 8},
    {6, "IDC_STATE", ControlKind::Label, "_", 0, 250, 110, 48, 19},
    {7, "IDC_FAR", ControlKind::Edit, nullptr, 0, 200, 300, 20, 14},
    {8, "IDC_ALONE", ControlKind::Edit, nullptr, 0, 6, 400, 20, 14},
};
constexpr DialogTemplate kRowTemplate{1, "IDD_ROW", "Ряд", 315, 420, "Microsoft Sans Serif", 9, false, kRow};

TEST(AccessibleNames, LabelBesideOrAboveNamesTheControl) {
    const std::vector<QString> names = AccessibleNames(kRowTemplate);
    ASSERT_EQ(names.size(), std::size(kRow));
    EXPECT_EQ(names[0], QStringLiteral("Сырой поток:"));  // a label keeps its own text
    EXPECT_EQ(names[1], QStringLiteral("Сырой поток"));   // above
    EXPECT_EQ(names[3], QStringLiteral("МахP (-/P14)"));  // beside
    EXPECT_EQ(names[4], QStringLiteral("EBS (P9/P11)"));  // beside, though later in order
    EXPECT_EQ(names[5], QStringLiteral("EBS (P9/P11)"));
    EXPECT_EQ(names[8], QStringLiteral("V/T"));
    EXPECT_EQ(names[10], QStringLiteral("_"));  // a value label: its own text
    // Nothing beside or above: the last label before it; the hyphen rule names nothing.
    EXPECT_EQ(names[11], QStringLiteral("V/T"));
    EXPECT_EQ(names[12], QStringLiteral("V/T"));
}

}  // namespace
