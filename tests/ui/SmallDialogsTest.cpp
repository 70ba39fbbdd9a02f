// The two dialogs of the window menu: the line-speed dialog and the About
// box, opened through the main dialog's system commands and worked from
// inside their modal loops.
#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QToolButton>

#include <functional>
#include <string>
#include <vector>

#include "tests/ui/DialogHarness.h"
#include "ui/AboutDlg.h"
#include "ui/Dskor.h"

namespace {

using namespace testing_ui;
using linkcore::Link;
using platform::ui::DialogBase;
using platform::ui::Notification;

class SmallDialogs : public DialogHarness {
protected:
    using Script = std::function<void(DialogBase&)>;

    // Runs `open` and hands every modal dialog it opens to `script`, once.
    // Message boxes opened meanwhile are closed, their texts kept in
    // `messages`. A dialog the script leaves open is cancelled afterwards.
    // Returns how many dialogs opened.
    int RunModal(const std::function<void()>& open, const Script& script) {
        ModalWatcher boxes([this](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                messages.push_back(box->text());
                box->accept();
            }
        });
        int opened = 0;
        QPointer<QWidget> current;
        ModalWatcher dialogs([&](QWidget* modal) {
            DialogBase* dialog = DialogOf(modal);
            if (!dialog || dialog == dlg.get() || modal == current) return;
            current = modal;
            ++opened;
            script(*dialog);
            if (current && current->isVisible()) WindowOf(*dialog).reject();
        });
        open();
        return opened;
    }
    int RunSysCommand(unsigned code, const Script& script) {
        return RunModal([&] { dlg->OnSysCommand(code, 0); }, script);
    }

    // What a system command opened, closing it at once.
    std::vector<std::string> OpenedBy(unsigned code) {
        std::vector<std::string> kinds;
        RunSysCommand(code, [&](DialogBase& d) { kinds.push_back(KindOf(d)); });
        return kinds;
    }

    // The kind of a dialog, by its class; its window carries the template's name.
    static std::string KindOf(DialogBase& d) {
        const QString name = WindowOf(d).objectName();
        if (dynamic_cast<CAboutDlg*>(&d)) {
            EXPECT_EQ(name, QStringLiteral("IDD_ABOUT"));
            return "about";
        }
        if (dynamic_cast<CDskor*>(&d)) {
            EXPECT_EQ(name, QStringLiteral("IDD_SPEED"));
            return "speed";
        }
        return "other";
    }

    static QString SpeedText(DialogBase& d) { return WidgetAs<QLineEdit>(d, IDC_SPEED)->text(); }
    static void TypeSpeed(DialogBase& d, const QString& text) { WidgetAs<QLineEdit>(d, IDC_SPEED)->setText(text); }
    static void PressArrow(DialogBase& d, bool up) {
        auto* arrow = WindowOf(d).findChild<QToolButton*>(up ? QStringLiteral("IDC_SPEED_SPIN_UP")
                                                             : QStringLiteral("IDC_SPEED_SPIN_DOWN"));
        ASSERT_NE(arrow, nullptr);
        arrow->click();
    }
    static void Press(DialogBase& d, int id) {
        auto* button = WidgetAs<QPushButton>(d, id);
        ASSERT_NE(button, nullptr) << id;
        button->click();
    }
    static void PressEscape(QWidget& w) {
        QWidget* target = w.focusWidget() ? w.focusWidget() : &w;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
    }

    // Opens the line-speed dialog, types `text` and presses OK.
    void ApplyTypedSpeed(const QString& text) {
        const int opened = RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) {
            TypeSpeed(d, text);
            Press(d, IDOK);
            EXPECT_FALSE(d.IsVisible()) << text.toStdString();
        });
        EXPECT_EQ(opened, 1);
    }

    std::vector<QString> messages;
};

// --- line-speed dialog ------------------------------------------------------

TEST_F(SmallDialogs, SpeedDialogOpensShowingTheRateInForce) {
    Connect(1);
    ASSERT_EQ(Link().lineSpeed, 1200);
    const int opened = RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) {
        auto* speed = dynamic_cast<CDskor*>(&d);
        ASSERT_NE(speed, nullptr);
        EXPECT_EQ(WindowOf(d).windowTitle(), QStringLiteral("Скорость"));
        EXPECT_EQ(d.Title(), "Скорость");
        EXPECT_EQ(WindowOf(d).objectName(), QStringLiteral("IDD_SPEED"));
        EXPECT_EQ(SpeedText(d), QStringLiteral("1200"));
        EXPECT_EQ(speed->m_speed, 1200);
        EXPECT_EQ(WidgetAs<QPushButton>(d, IDOK)->text(), QStringLiteral("ОК"));
        EXPECT_EQ(WidgetAs<QPushButton>(d, IDCANCEL)->text(), QStringLiteral("Отмена"));
        Press(d, IDCANCEL);
    });
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(SmallDialogs, ArrowsWalkTheLadderAndCancelKeepsTheRate) {
    Connect(1);
    RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) {
        std::vector<QString> up;
        for (int i = 0; i < 7; ++i) {
            PressArrow(d, true);
            up.push_back(SpeedText(d));
        }
        EXPECT_EQ(up, (std::vector<QString>{"2400", "4800", "9600", "19200", "38400", "115200", "115200"}));

        std::vector<QString> down;
        for (int i = 0; i < 8; ++i) {
            PressArrow(d, false);
            down.push_back(SpeedText(d));
        }
        EXPECT_EQ(down, (std::vector<QString>{"38400", "19200", "9600", "4800", "2400", "1200", "600", "600"}));

        // The arrows touch only the box.
        EXPECT_EQ(peer->SlaveSpeed(), 1200);
        EXPECT_EQ(Link().lineSpeed, 1200);
        Press(d, IDCANCEL);
        EXPECT_FALSE(d.IsVisible());
        EXPECT_EQ(d.Result(), DialogBase::kIdCancel);
    });
    EXPECT_EQ(peer->SlaveSpeed(), 1200);
    EXPECT_EQ(Link().lineSpeed, 1200);
}

TEST_F(SmallDialogs, TypedRatesSnapOntoTheLadderWithTheFirstPress) {
    Connect(1);
    RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) {
        const struct {
            const char* typed;
            int delta;
            const char* shown;
        } cases[] = {
            {"57600", -1, "115200"}, {"57600", +1, "38400"}, {"1000", -1, "1200"},
            {"1000", +1, "600"},     {"0", -1, "600"},       {"0", +1, "600"},
            {"-5", -1, "600"},       {"-5", +1, "600"},      {"57600", 0, "57600"},
        };
        for (const auto& c : cases) {
            TypeSpeed(d, QString::fromLatin1(c.typed));
            d.Notify(Notification::UpDownStep, IDC_SPEED_SPIN, c.delta);
            EXPECT_EQ(SpeedText(d), QString::fromLatin1(c.shown)) << c.typed << " " << c.delta;
        }
        Press(d, IDCANCEL);
    });
    EXPECT_EQ(peer->SlaveSpeed(), 1200);
    EXPECT_TRUE(messages.empty());
}

TEST_F(SmallDialogs, OkAppliesATypedRateAndARunStartSetsTheProtocolRateAgain) {
    Connect(1);
    RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) {
        TypeSpeed(d, QStringLiteral("57600"));
        Press(d, IDOK);
        EXPECT_FALSE(d.IsVisible());
        EXPECT_EQ(d.Result(), DialogBase::kIdOk);
    });
    EXPECT_EQ(peer->SlaveSpeed(), 57600);
    EXPECT_EQ(Link().lineSpeed, 57600);

    // The next time the dialog shows the rate now in force.
    RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) { EXPECT_EQ(SpeedText(d), QStringLiteral("57600")); });

    // A continuous read with Halten RS selected puts 1200 back.
    Click(IDC_READ_AUTO);
    EXPECT_EQ(peer->SlaveSpeed(), 1200);
    EXPECT_EQ(Link().lineSpeed, 1200);
}

TEST_F(SmallDialogs, RateChangesWhileTheSimulatorKeepsSending) {
    Connect(1);
    Click(IDC_SIMULATE);
    Click(IDC_READ_AUTO);
    ASSERT_EQ(Receive(15).size(), 15u);

    RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) {
        // Refresh requests are served inside the dialog's loop: the output
        // line goes on changing with the frame counter.
        const QString shown = Text(IDC_OUT);
        EXPECT_TRUE(WaitUntil([&] { return !Text(IDC_OUT).isEmpty() && Text(IDC_OUT) != shown; }));
        EXPECT_EQ(Receive(15).size(), 15u);
        TypeSpeed(d, QStringLiteral("4800"));
        Press(d, IDOK);
    });
    EXPECT_EQ(peer->SlaveSpeed(), 4800);
    EXPECT_TRUE(WorkerRunning(WorkerKind::Simulator));
    EXPECT_EQ(Receive(15 * 3).size(), 15u * 3);
}

TEST_F(SmallDialogs, SpeedCommandWithThePortClosedOpensNothing) {
    ASSERT_FALSE(Link().portOpen.load());
    EXPECT_EQ(OpenedBy(CMD_LINE_SPEED), std::vector<std::string>{});
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Nor through the window menu, where the item stays enabled.
    QAction* item = Window().WindowMenu()->findChild<QAction*>(QStringLiteral("CMD_114"));
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isEnabled());
    const int opened = RunModal(
        [&] {
            item->trigger();
            DrainEvents();
        },
        [](DialogBase&) {});
    EXPECT_EQ(opened, 0);

    // After a Disconnect as before the first Connect.
    Connect(1);
    Click(IDC_DISCONNECT);
    EXPECT_EQ(OpenedBy(CMD_LINE_SPEED), std::vector<std::string>{});
}

TEST_F(SmallDialogs, AWordInTheSpeedBoxKeepsTheDialogOpen) {
    Connect(1);
    bool stayedOpen = false;
    RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) {
        TypeSpeed(d, QStringLiteral("быстро"));
        Press(d, IDOK);
        stayedOpen = d.IsVisible();
        // Once for OK's own pull and once for the closing one.
        EXPECT_EQ(messages, (std::vector<QString>(2, QStringLiteral("Введите целое число."))));
        // The rate the box last held went to the port again.
        EXPECT_EQ(peer->SlaveSpeed(), 1200);
        EXPECT_EQ(Link().lineSpeed, 1200);

        // The arrows then step from that last good value.
        PressArrow(d, true);
        EXPECT_EQ(SpeedText(d), QStringLiteral("2400"));
        EXPECT_EQ(messages.size(), 3u);
        Press(d, IDCANCEL);
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(peer->SlaveSpeed(), 1200);
}

TEST_F(SmallDialogs, RatesThePortRefusesStillBecomeTheLineSpeed) {
    Connect(1);
    // A number beyond the 32-bit range saturates in the integer box.
    const std::pair<const char*, int> cases[] = {{"0", 0}, {"-5", -5}, {"4294967295", 2147483647}};
    for (const auto& [typed, lineSpeed] : cases) {
        SCOPED_TRACE(typed);
        ApplyTypedSpeed(QString::fromLatin1(typed));
        EXPECT_EQ(peer->SlaveSpeed(), 1200);
        EXPECT_EQ(Link().lineSpeed, lineSpeed);
        EXPECT_TRUE(Link().portOpen.load());
    }
    EXPECT_TRUE(messages.empty());
}

// --- About box --------------------------------------------------------------

TEST_F(SmallDialogs, AboutBoxShowsTheDescriptionAndEndsOnOkEscAndClose) {
    const int opened = RunSysCommand(CMD_ABOUT, [&](DialogBase& d) {
        ASSERT_NE(dynamic_cast<CAboutDlg*>(&d), nullptr);
        EXPECT_EQ(WindowOf(d).windowTitle(), QStringLiteral("О проекте Zonter"));
        EXPECT_EQ(d.Title(), "О проекте Zonter");
        auto* text = WindowOf(d).findChild<QLabel*>(QStringLiteral("IDC_ABOUT_TEXT"));
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(text->text().contains(QStringLiteral("2.0")));
        EXPECT_TRUE(text->text().contains(QStringLiteral("2020")));
        QWidget* icon = platform::ui::qt::Widget(d, IDC_ABOUT_ICON);
        ASSERT_NE(icon, nullptr);
        EXPECT_TRUE(icon->isVisible());
        EXPECT_EQ(WidgetAs<QPushButton>(d, IDOK)->text(), QStringLiteral("ОК"));
        Press(d, IDOK);
        EXPECT_FALSE(d.IsVisible());
        EXPECT_EQ(d.Result(), DialogBase::kIdOk);
    });
    EXPECT_EQ(opened, 1);

    EXPECT_EQ(RunSysCommand(CMD_ABOUT,
                            [&](DialogBase& d) {
                                PressEscape(WindowOf(d));
                                EXPECT_FALSE(d.IsVisible());
                                EXPECT_EQ(d.Result(), DialogBase::kIdCancel);
                            }),
              1);
    EXPECT_EQ(RunSysCommand(CMD_ABOUT,
                            [&](DialogBase& d) {
                                WindowOf(d).close();
                                EXPECT_FALSE(d.IsVisible());
                                EXPECT_EQ(d.Result(), DialogBase::kIdCancel);
                            }),
              1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(SmallDialogs, EveryCodeFrom16To31OpensTheAboutBox) {
    for (unsigned code = 16; code <= 31; ++code) {
        EXPECT_EQ(OpenedBy(code), std::vector<std::string>{"about"}) << code;
    }
    // Neighbouring codes, and 115 beside the speed command, get the default
    // handling, which opens nothing.
    for (unsigned code : {15u, 32u, 115u}) {
        EXPECT_EQ(OpenedBy(code), std::vector<std::string>{}) << code;
    }
    EXPECT_TRUE(dlg->IsVisible());
}

// --- window menu ------------------------------------------------------------

TEST_F(SmallDialogs, WindowMenuEndsWithTheThreeItems) {
    QMenu* menu = Window().WindowMenu();
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> actions = menu->actions();
    ASSERT_GE(actions.size(), 4);
    const QAction* separator = actions[actions.size() - 4];
    const QAction* about = actions[actions.size() - 3];
    const QAction* speed = actions[actions.size() - 2];
    const QAction* monitor = actions[actions.size() - 1];
    EXPECT_TRUE(separator->isSeparator());
    EXPECT_EQ(about->text(), QStringLiteral("&О проекте Zonter..."));
    EXPECT_EQ(speed->text(), QStringLiteral("Скорость ..."));
    EXPECT_EQ(monitor->text(), QStringLiteral("Монитор линии"));
    EXPECT_TRUE(about->isEnabled());
    EXPECT_TRUE(speed->isEnabled());
    EXPECT_TRUE(monitor->isEnabled());

    // Chosen, the items open their dialogs.
    std::vector<std::string> kinds;
    auto record = [&](DialogBase& d) { kinds.push_back(KindOf(d)); };
    Connect(1);
    RunModal(
        [&] {
            actions[actions.size() - 3]->trigger();
            DrainEvents();
        },
        record);
    RunModal(
        [&] {
            actions[actions.size() - 2]->trigger();
            DrainEvents();
        },
        record);
    EXPECT_EQ(kinds, (std::vector<std::string>{"about", "speed"}));

    // The monitor is modeless: the main window stays usable beside it.
    actions[actions.size() - 1]->trigger();
    DrainEvents();
    ASSERT_NE(dlg->LineMonitor(), nullptr);
    EXPECT_TRUE(dlg->LineMonitor()->IsVisible());
    EXPECT_TRUE(Enabled(IDC_DISCONNECT));
}

}  // namespace
