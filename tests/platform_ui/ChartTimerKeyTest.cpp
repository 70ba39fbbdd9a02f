// Strip charts, timers, keys bound to buttons and the file-name question.
#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "ViewDialog.h"
#include "WaitUntil.h"
#include "platform/ui/qt/ReportList.h"
#include "platform/ui/qt/StripChart.h"

namespace testing_ui {
namespace {

using platform::ui::FileQuestion;
using platform::ui::Key;
using platform::ui::qt::StripChart;

ChartSeries Flat(const char* name, double value, int points) {
    ChartSeries s{name, 0, 1, {}, {}};
    for (int i = 0; i < points; ++i) {
        s.x.push_back(-60.0 + 60.0 * i / (points - 1));
        s.y.push_back(value);
    }
    return s;
}

TEST(StripChart, TellsWhatItShows) {
    ViewDialog dialog;
    dialog.ShowModeless();
    QWidget* chart = Widget(dialog, IDC_CHART);
    ASSERT_NE(qobject_cast<StripChart*>(chart), nullptr);
    EXPECT_EQ(chart->accessibleName(), QStringLiteral("IDC_CHART"));
    // Nothing shown yet: nothing told, not even the identifier.
    EXPECT_EQ(dialog.Window().ChartDescription(IDC_CHART), "");
    EXPECT_EQ(chart->accessibleDescription(), QString());

    ChartData data{60, {Flat("V/T", 30, 12), Flat("P", 0.5, 3)}};
    dialog.Window().SetChart(IDC_CHART, data);
    EXPECT_EQ(dialog.Window().ChartDescription(IDC_CHART), platform::ui::ChartText(data));
    EXPECT_EQ(chart->accessibleDescription().toStdString(), platform::ui::ChartText(data));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(chart)->text(QAccessible::Description).toStdString(),
              platform::ui::ChartText(data));
    EXPECT_EQ(dialog.Window().ChartDescription(IDC_ROWS), "");  // not a chart
}

// The rows of column `x` drawn in the hue of `colour` (an antialiased line
// blends it with the background).
std::vector<int> RowsOfColour(const QImage& image, int x, const QColor& colour) {
    std::vector<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        const QColor c = image.pixelColor(x, y);
        const int hueGap = std::abs(c.hsvHue() - colour.hsvHue());
        if (c.hsvSaturation() > 60 && std::min(hueGap, 360 - hueGap) < 20) rows.push_back(y);
    }
    return rows;
}

TEST(StripChart, EachSeriesIsDrawnOnItsOwnScale) {
    ViewDialog dialog;
    dialog.ShowModeless();
    auto* chart = WidgetAs<StripChart>(dialog, IDC_CHART);
    // The same height on the screen from different values and scales.
    ChartSeries high{"высоко", 0, 100, {-60, 0}, {75, 75}};
    ChartSeries low{"низко", 10, 20, {-60, 0}, {12.5, 12.5}};
    dialog.Window().SetChart(IDC_CHART, ChartData{60, {high, low}});
    const QImage image = chart->grab().toImage();
    const int x = image.width() * 3 / 4;  // clear of the legend
    const std::vector<int> first = RowsOfColour(image, x, StripChart::SeriesColour(0));
    const std::vector<int> second = RowsOfColour(image, x, StripChart::SeriesColour(1));
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_LT(first.back(), image.height() / 2);    // three quarters up
    EXPECT_GT(second.front(), image.height() / 2);  // a quarter up
}

// The keys a person presses on Qt beside the plain arrows (the tests of
// the window contract press those).
TEST(KeyCommands, KeypadArrowsClickAndShiftedOnesDoNot) {
    enum Focus { kList, kWindow };
    const struct {
        Focus focus;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int back, forward;  // clicks expected
    } cases[] = {
        {kList, Qt::Key_Left, Qt::KeypadModifier, 1, 0},
        {kWindow, Qt::Key_Left, Qt::NoModifier, 1, 0},
        {kList, Qt::Key_Left, Qt::ShiftModifier, 0, 0},  // another key
    };
    for (const auto& c : cases) {
        ViewDialog dialog;
        dialog.ShowModeless();
        dialog.Append(50);
        dialog.Window().SetKeyCommand(Key::Left, IDC_BACK);
        dialog.Window().SetKeyCommand(Key::Right, IDC_FORWARD);
        QWidget* target = c.focus == kList ? Widget(dialog, IDC_ROWS) : static_cast<QWidget*>(&WindowOf(dialog));
        target->setFocus();
        QTest::keyClick(target, c.key, c.modifiers);
        EXPECT_EQ(dialog.backClicks, c.back) << c.focus << " " << c.key;
        EXPECT_EQ(dialog.forwardClicks, c.forward) << c.focus << " " << c.key;
    }
}

// Runs `act` on the file dialog once it is open, and records it.
struct FileDialogDriver {
    explicit FileDialogDriver(std::function<void(QFileDialog*)> act)
        : watcher([this, act = std::move(act)](QWidget* modal) {
              if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                  ++boxes;
                  box->reject();
              } else if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog && !seen) {
                  seen = dialog;
                  name = dialog->accessibleName();
                  title = dialog->windowTitle();
                  filters = dialog->nameFilters();
                  nameBox = nullptr;
                  for (QLineEdit* edit : dialog->findChildren<QLineEdit*>())
                      if (edit->accessibleName() == QStringLiteral("IDC_FILE_NAME")) nameBox = edit;
                  if (nameBox) proposed = nameBox->text();
                  act(dialog);
              }
          }) {}

    QPointer<QFileDialog> seen;
    QString name;
    QString title;
    QStringList filters;
    QLineEdit* nameBox = nullptr;
    QString proposed;
    int boxes = 0;
    ModalWatcher watcher;
};

TEST(FileQuestion, CancellingAnswersNothing) {
    ViewDialog dialog;
    dialog.ShowModeless();
    FileDialogDriver driver(
        [](QFileDialog* d) { QMetaObject::invokeMethod(d, &QDialog::reject, Qt::QueuedConnection); });
    const FileQuestion question{true, "Сохранить журнал", "Записи и журналы", {"*.txt", "*.csv"}, "monitor.csv"};
    EXPECT_EQ(dialog.Window().AskFileName(question), "");
    EXPECT_EQ(driver.name, QStringLiteral("IDD_FILE"));
    EXPECT_EQ(driver.title, QStringLiteral("Сохранить журнал"));
    EXPECT_EQ(driver.filters, QStringList{QStringLiteral("Записи и журналы (*.txt *.csv)")});
    ASSERT_NE(driver.nameBox, nullptr);
    EXPECT_EQ(driver.proposed, QStringLiteral("monitor.csv"));
}

TEST(FileQuestion, SavingOverAnExistingNameAsksNothingMore) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("журнал.txt"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ViewDialog dialog;
    dialog.ShowModeless();
    FileDialogDriver driver([&](QFileDialog* d) {
        QMetaObject::invokeMethod(
            d,
            [d, path] {
                for (QLineEdit* edit : d->findChildren<QLineEdit*>()) {
                    if (edit->accessibleName() != QStringLiteral("IDC_FILE_NAME")) continue;
                    edit->setText(path);
                    QTest::keyClick(edit, Qt::Key_Return);
                }
            },
            Qt::QueuedConnection);
    });
    const FileQuestion question{true, "Сохранить", "Записи", {"*.txt"}, "x.txt"};
    EXPECT_EQ(QString::fromStdString(dialog.Window().AskFileName(question)), path);
    EXPECT_EQ(driver.boxes, 0);
    EXPECT_EQ(driver.name, QStringLiteral("IDD_FILE"));
}

}  // namespace
}  // namespace testing_ui
