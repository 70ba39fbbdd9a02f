// The widgets a template builds: kinds, captions, states, geometry, font,
// accessibility and tab order.
#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

#include "QtDialogs.h"
#include "platform/ui/qt/UpDownControl.h"

namespace testing_ui {
namespace {

TEST(DialogBuild, CreatesEveryKindWithItsCaptionAndState) {
    PanelDialog dialog;

    auto* quit = WidgetAs<QPushButton>(dialog, IDCANCEL);
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->text(), QStringLiteral("Завершить"));
    EXPECT_FALSE(quit->isDefault());

    auto* port = WidgetAs<QLineEdit>(dialog, IDC_PORT);
    ASSERT_NE(port, nullptr);
    EXPECT_FALSE(port->isReadOnly());
    EXPECT_TRUE(port->alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(port->hasFrame());

    auto* name = WidgetAs<QLineEdit>(dialog, IDC_NAME);
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(name->isReadOnly());
    EXPECT_TRUE(name->alignment() & Qt::AlignLeft);

    EXPECT_NE(WidgetAs<platform::ui::qt::UpDownControl>(dialog, IDC_PORT_SPIN), nullptr);

    auto* list = WidgetAs<QComboBox>(dialog, IDC_LIST);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isEditable());
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(0), QStringLiteral(" Первый"));  // template order, not sorted
    EXPECT_EQ(list->itemText(2), QStringLiteral(" Третий"));
    EXPECT_EQ(list->currentIndex(), -1);  // nothing selected until a push

    auto* flag = WidgetAs<QCheckBox>(dialog, IDC_FLAG);
    ASSERT_NE(flag, nullptr);
    EXPECT_EQ(flag->text(), QStringLiteral("&Флаг"));
    auto* wrap = WidgetAs<QCheckBox>(dialog, IDC_WRAP);
    ASSERT_NE(wrap, nullptr);
    EXPECT_EQ(wrap->text(), QStringLiteral("имит. БК"));

    auto* level = WidgetAs<QSlider>(dialog, IDC_LEVEL);
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->orientation(), Qt::Horizontal);
    EXPECT_EQ(level->tickPosition(), QSlider::TicksBothSides);
    EXPECT_EQ(level->tickInterval(), 1);
    EXPECT_EQ(level->minimum(), 0);
    EXPECT_EQ(level->maximum(), 100);  // the trackbar's default range
    auto* power = WidgetAs<QSlider>(dialog, IDC_POWER);
    ASSERT_NE(power, nullptr);
    EXPECT_EQ(power->tickPosition(), QSlider::NoTicks);

    auto* state = WidgetAs<QLabel>(dialog, IDC_STATE);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->text(), QStringLiteral("_"));
    EXPECT_NE(WidgetAs<QLabel>(dialog, IDC_ICON), nullptr);

    const auto labels = WindowOf(dialog).findChildren<QLabel*>();
    const auto rightAligned =
        std::find_if(labels.begin(), labels.end(), [](QLabel* l) { return l->text() == QStringLiteral("Уровень:"); });
    ASSERT_NE(rightAligned, labels.end());
    EXPECT_TRUE((*rightAligned)->alignment() & Qt::AlignRight);

    EXPECT_TRUE(Widget(dialog, IDC_HIDDEN)->isHidden());
    EXPECT_FALSE(Widget(dialog, IDC_OFF)->isEnabled());
    EXPECT_TRUE(Widget(dialog, IDC_OFF)->isVisibleTo(&WindowOf(dialog)));
    EXPECT_FALSE(Widget(dialog, IDC_PORT)->isHidden());
    EXPECT_TRUE(Widget(dialog, IDC_PORT)->isEnabled());
    EXPECT_EQ(Widget(dialog, 4242), nullptr);
}

TEST(DialogBuild, DefaultPushButtonIsDefault) {
    SmallDialog dialog;
    auto* ok = WidgetAs<QPushButton>(dialog, IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->text(), QStringLiteral("ОК"));
}

TEST(DialogBuild, WindowTitleSizeAndFrame) {
    PanelDialog panel;
    const QtDialogWindow& window = WindowOf(panel);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Панель"));
    EXPECT_EQ(panel.Title(), "Панель");
    EXPECT_EQ(window.objectName(), QStringLiteral("IDD_PANEL"));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());  // not resizable
    EXPECT_EQ(window.size(), window.MapDialogRect(0, 0, 200, 150).size());
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowCloseButtonHint);

    SmallDialog small(&panel);
    EXPECT_EQ(WindowOf(small).parentWidget(), &window);  // a child dialog's window belongs to its parent's
    EXPECT_FALSE(WindowOf(small).windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(WindowOf(small).windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST(DialogBuild, WindowsFontsFallBackToInstalledOnes) {
    PanelDialog panel;
    const QString dialogFamily = QFontInfo(WindowOf(panel).font()).family();
    EXPECT_TRUE(dialogFamily == QStringLiteral("Liberation Sans") || dialogFamily == QStringLiteral("DejaVu Sans"))
        << dialogFamily.toStdString();
    EXPECT_EQ(WindowOf(panel).font().pointSize(), 9);
    EXPECT_EQ(Widget(panel, IDC_PORT)->font(), WindowOf(panel).font());

    SmallDialog small;
    const QString shellFamily = QFontInfo(WindowOf(small).font()).family();
    EXPECT_TRUE(shellFamily == QStringLiteral("Liberation Sans") || shellFamily == QStringLiteral("DejaVu Sans"));

    const QString mono = QFontInfo(QFont(QStringLiteral("Courier New"))).family();
    EXPECT_TRUE(mono == QStringLiteral("Liberation Mono") || mono == QStringLiteral("DejaVu Sans Mono"))
        << mono.toStdString();
}

TEST(DialogBuild, DialogUnitsFollowTheFontMetrics) {
    PanelDialog panel;
    const QtDialogWindow& window = WindowOf(panel);
    const QFontMetrics metrics(window.font());
    const double averageLetter =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    const int baseX = static_cast<int>(std::lround(averageLetter));
    const int baseY = metrics.height();

    // Four horizontal units are one average letter, eight vertical ones a line.
    EXPECT_EQ(window.MapDialogRect(4, 8, 40, 80), QRect(baseX, baseY, 10 * baseX, 10 * baseY));

    // Controls sit where their dialog units say, proportionally.
    EXPECT_EQ(Widget(panel, IDC_PORT)->geometry(), window.MapDialogRect(48, 7, 30, 14));
    EXPECT_EQ(Widget(panel, IDC_LEVEL)->geometry(), window.MapDialogRect(48, 76, 68, 17));
    EXPECT_EQ(Widget(panel, IDC_COUNT)->x(), 2 * baseX);  // 8 units
    EXPECT_EQ(Widget(panel, IDC_PORT)->x(), 12 * baseX);  // 48 units
    EXPECT_EQ(Widget(panel, IDCANCEL)->width(), std::lround(50 * baseX / 4.0));
    EXPECT_EQ(Widget(panel, IDC_FLAG)->y(), std::lround(60 * baseY / 8.0));

    // A drop-down's template height counts its list; the field is shorter.
    const QRect combo = Widget(panel, IDC_LIST)->geometry();
    const QRect mapped = window.MapDialogRect(132, 7, 60, 57);
    EXPECT_EQ(combo.topLeft(), mapped.topLeft());
    EXPECT_EQ(combo.width(), mapped.width());
    EXPECT_LT(combo.height(), mapped.height());
}

TEST(DialogBuild, EveryControlCarriesItsIdentifierAndAName) {
    PanelDialog panel;
    for (const ControlTemplate& c : kPanelControls) {
        if (c.id == -1) continue;
        QWidget* control = Widget(panel, c.id);
        ASSERT_NE(control, nullptr) << c.name;
        EXPECT_EQ(control->objectName(), QString::fromUtf8(c.name));
        EXPECT_EQ(control->accessibleDescription(), QString::fromUtf8(c.name));
        EXPECT_FALSE(control->accessibleName().isEmpty()) << c.name;
        EXPECT_EQ(WindowOf(panel).findChild<QWidget*>(QString::fromUtf8(c.name)), control);
    }
    EXPECT_EQ(Widget(panel, IDCANCEL)->accessibleName(), QStringLiteral("Завершить"));
    EXPECT_EQ(Widget(panel, IDC_FLAG)->accessibleName(), QStringLiteral("Флаг"));
    EXPECT_EQ(Widget(panel, IDC_PORT)->accessibleName(), QStringLiteral("Порт COM"));
    EXPECT_EQ(Widget(panel, IDC_PORT_SPIN)->accessibleName(), QStringLiteral("Порт COM"));
    EXPECT_EQ(Widget(panel, IDC_NAME)->accessibleName(), QStringLiteral("Имя"));  // the label above it
    EXPECT_EQ(Widget(panel, IDC_LIST)->accessibleName(), QStringLiteral("Выбор"));
    EXPECT_EQ(Widget(panel, IDC_LEVEL)->accessibleName(), QStringLiteral("Уровень"));
    EXPECT_EQ(Widget(panel, IDC_LEVEL_VAL)->accessibleName(), QStringLiteral("Уровень"));
    EXPECT_EQ(Widget(panel, IDC_POWER)->accessibleName(), QStringLiteral("Тяга"));
    EXPECT_EQ(Widget(panel, IDC_COUNT)->accessibleName(), QStringLiteral("Счёт"));

    // Static labels are named by their text.
    for (QLabel* label : WindowOf(panel).findChildren<QLabel*>()) {
        if (label->objectName().isEmpty()) {
            EXPECT_EQ(label->accessibleName(), label->text());
        }
    }

    // The arrows of an up-down can be found and pressed on their own.
    auto* up = WindowOf(panel).findChild<QToolButton*>(QStringLiteral("IDC_PORT_SPIN_UP"));
    auto* down = WindowOf(panel).findChild<QToolButton*>(QStringLiteral("IDC_PORT_SPIN_DOWN"));
    ASSERT_NE(up, nullptr);
    ASSERT_NE(down, nullptr);
    EXPECT_EQ(up->accessibleName(), QStringLiteral("вверх"));
    EXPECT_EQ(down->accessibleName(), QStringLiteral("вниз"));
    EXPECT_EQ(up->focusPolicy(), Qt::NoFocus);
    EXPECT_NE(Widget(panel, IDC_PORT_SPIN)->focusPolicy() & Qt::TabFocus, 0);
}

TEST(DialogBuild, ValueLabelNameFollowsItsText) {
    PanelDialog panel;
    panel.state = "Подключено";
    panel.UpdateData(false);
    EXPECT_EQ(Widget(panel, IDC_STATE)->accessibleName(), QStringLiteral("Подключено"));
}

TEST(DialogBuild, TabOrderIsTemplateOrder) {
    PanelDialog panel;
    std::vector<QWidget*> expected;
    for (const ControlTemplate& c : kPanelControls) {
        if (c.id != -1 && Widget(panel, c.id)->focusPolicy() != Qt::NoFocus) expected.push_back(Widget(panel, c.id));
    }
    ASSERT_GE(expected.size(), 10u);

    std::vector<QWidget*> chain;
    QWidget* w = expected.front();
    do {
        if (std::find(expected.begin(), expected.end(), w) != expected.end()) chain.push_back(w);
        w = w->nextInFocusChain();
    } while (w != expected.front());
    EXPECT_EQ(chain, expected);
}

TEST(DialogBuild, IconShowsTheWindowIcon) {
    QPixmap picture(32, 32);
    picture.fill(Qt::red);
    QApplication::setWindowIcon(QIcon(picture));
    PanelDialog panel;
    auto* icon = WidgetAs<QLabel>(panel, IDC_ICON);
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull());
    EXPECT_EQ(icon->pixmap().toImage().pixelColor(16, 16), QColor(Qt::red));

    // A window icon set later from PNG bytes (as an initialisation does) replaces it.
    QPixmap other(32, 32);
    other.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(other.save(&buffer, "PNG"));
    panel.SetIcon({reinterpret_cast<const std::uint8_t*>(png.constData()), static_cast<std::size_t>(png.size())});
    EXPECT_EQ(icon->pixmap().toImage().pixelColor(16, 16), QColor(Qt::blue));
    QApplication::setWindowIcon(QIcon());
}

}  // namespace
}  // namespace testing_ui
