// Control fonts as the Qt widgets carry them out.
#include <QFontInfo>

#include <gtest/gtest.h>

#include "QtDialogs.h"

namespace testing_ui {
namespace {

// A face the system lacks falls back to an installed one of its pitch
// (the window contract's tests check the face and height asked for).
TEST(ControlById, AFixedFaceFallsBackToAnInstalledFixedOne) {
    PanelDialog panel;
    panel.ShowModeless();
    panel.SetControlFont(IDC_NAME, platform::ui::Font{"Courier New", 14, true});
    const QFont font = Widget(panel, IDC_NAME)->font();
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family == QStringLiteral("Liberation Mono") || family == QStringLiteral("DejaVu Sans Mono"))
        << family.toStdString();
    EXPECT_TRUE(font.fixedPitch());
}

}  // namespace
}  // namespace testing_ui
