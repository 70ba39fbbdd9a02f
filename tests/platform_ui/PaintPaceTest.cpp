// Paints paced to the screen: a burst of refreshes is painted a few times,
// the last text always reaches the screen, and the boxes look as the style
// draws them.
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <string>

#include "QtDialogs.h"
#include "WaitUntil.h"
#include "platform/ui/qt/EditPanelStyle.h"
#include "platform/ui/qt/PaintPacer.h"

namespace testing_ui {
namespace {

// Counts the paints of one widget and notes the text it last painted.
class PaintLog : public QObject {
public:
    explicit PaintLog(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
    int paints = 0;
    QString paintedText;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++paints;
            if (auto* edit = qobject_cast<QLineEdit*>(widget_)) paintedText = edit->text();
            if (auto* label = qobject_cast<QLabel*>(widget_)) paintedText = label->text();
        }
        return false;
    }

private:
    QWidget* widget_;
};

TEST(PaintPace, ABurstOfRefreshesIsPaintedAtTheScreensPaceAndEndsOnTheLastText) {
    PanelDialog panel;
    panel.ShowModeless();
    ASSERT_TRUE(WaitUntil([&] { return WidgetAs<QLineEdit>(panel, IDC_NAME)->isVisible(); }));
    DrainEvents();

    struct Box {
        int id;
        std::string* member;
    };
    // Read-only boxes and a label, which only the program fills.
    for (const Box& box :
         {Box{IDC_NAME, &panel.name}, Box{IDC_LEVEL_VAL, &panel.levelText}, Box{IDC_STATE, &panel.state}}) {
        SCOPED_TRACE(box.id);
        PaintLog log(Widget(panel, box.id));
        QElapsedTimer burst;
        burst.start();
        // One refresh a turn of the event loop, as workers ask for them.
        for (int i = 0; i < 200; ++i) {
            *box.member = "n" + std::to_string(i);
            ASSERT_TRUE(panel.UpdateData(false));
            QCoreApplication::processEvents();
            // A pull reads what was pushed, whether or not it is painted yet.
            ASSERT_EQ(panel.GetDlgItemText(box.id), *box.member);
        }
        const qint64 burstMs = burst.elapsed();
        // Nothing is lost: the last text is painted.
        EXPECT_TRUE(WaitUntil([&] { return log.paintedText == QStringLiteral("n199"); }));
        // About one paint per interval, not one per refresh.
        EXPECT_LE(log.paints, burstMs / platform::ui::qt::PaintPacer::kDefaultIntervalMs + 3) << burstMs << " ms";
    }
}

TEST(PaintPace, ABoxTheUserTypesIntoTakesItsTextAtOnce) {
    PanelDialog panel;
    panel.ShowModeless();
    ASSERT_TRUE(WaitUntil([&] { return WidgetAs<QLineEdit>(panel, IDC_COUNT)->isVisible(); }));
    DrainEvents();
    for (int i = 0; i < 20; ++i) {
        panel.count = i;
        panel.name = "n" + std::to_string(i);
        ASSERT_TRUE(panel.UpdateData(false));
        QCoreApplication::processEvents();
        ASSERT_EQ(WidgetAs<QLineEdit>(panel, IDC_COUNT)->text(), QString::number(i));
    }
    // A held text goes in before the box takes the focus or a selection.
    panel.GotoDlgCtrl(IDC_NAME);
    EXPECT_EQ(WidgetAs<QLineEdit>(panel, IDC_NAME)->text(), QStringLiteral("n19"));
    EXPECT_EQ(WidgetAs<QLineEdit>(panel, IDC_NAME)->selectedText(), QStringLiteral("n19"));
}

QImage Drawn(QLineEdit& edit) { return edit.grab().toImage().convertToFormat(QImage::Format_ARGB32); }

TEST(PaintPace, AnEditBoxDrawnFromItsCachedPanelLooksAsTheStyleDrawsIt) {
    struct Look {
        const char* name;
        bool readOnly;
        bool enabled;
        bool frame;
    };
    for (const Look& look : {Look{"read-only", true, true, true}, Look{"editable", false, true, true},
                             Look{"disabled", true, false, true}, Look{"frameless", true, true, false}}) {
        SCOPED_TRACE(look.name);
        QLineEdit stock(QStringLiteral("36 00 1F A0 "));
        QLineEdit cached(stock.text());
        cached.setStyle(platform::ui::qt::EditPanelStyle());
        for (QLineEdit* edit : {&stock, &cached}) {
            edit->setReadOnly(look.readOnly);
            edit->setEnabled(look.enabled);
            edit->setFrame(look.frame);
            edit->resize(120, 24);
            edit->setCursorPosition(0);
        }
        const QImage expected = Drawn(stock);
        EXPECT_EQ(Drawn(cached), expected);  // drawn and cached
        EXPECT_EQ(Drawn(cached), expected);  // copied from the cache
        cached.resize(90, 24);
        stock.resize(90, 24);
        EXPECT_EQ(Drawn(cached), Drawn(stock));  // another size, another panel
    }
}

}  // namespace
}  // namespace testing_ui
