// The small dialogs of the window menu: the line-speed dialog, the About
// box and protocol detection, opened through the main dialog's system
// commands and worked from inside their modal loops.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "link/RefreshCodes.h"
#include "protocols/Checksum.h"
#include "tests/ui/DialogHarness.h"
#include "ui/AboutDlg.h"
#include "ui/DetectDlg.h"
#include "ui/Dskor.h"

namespace {

using namespace testing_ui;
using linkcore::Link;
using platform::ui::DialogBase;
using platform::ui::Notification;
using Names = std::vector<std::string>;

class SmallDialogs : public DialogHarness {
protected:
    using Script = std::function<void(DialogBase&)>;

    // Runs `open` and hands every modal dialog it opens to `script`, inside
    // the dialog's loop. A dialog the script leaves open is cancelled
    // afterwards. Returns how many dialogs opened.
    int RunModal(const std::function<void()>& open, const Script& script) {
        Opened().clear();
        Scripts().modal = script;
        open();
        Scripts().modal = nullptr;
        int dialogs = 0;
        for (const std::string& name : Opened()) dialogs += name.rfind("IDD_", 0) == 0;
        return dialogs;
    }
    int RunSysCommand(unsigned code, const Script& script) {
        return RunModal([&] { dlg->OnSysCommand(code, 0); }, script);
    }

    // Every window a system command opened -- dialogs modal or modeless,
    // message boxes, file dialogs -- the modal ones closed at once.
    Names OpenedBy(unsigned code) {
        Opened().clear();
        dlg->OnSysCommand(code, 0);
        PumpQueued();
        return Opened();
    }

    static std::string SpeedText(DialogBase& d) { return d.Window().Text(IDC_SPEED); }
    static void TypeSpeed(DialogBase& d, const std::string& text) { Type(d, IDC_SPEED, text); }
    static void PressSpeedArrow(DialogBase& d, bool up) { PressArrow(d, IDC_SPEED_SPIN, up); }
    static void Press(DialogBase& d, int id) { testing_ui::Click(d, id); }

    // Opens the line-speed dialog, types `text` and presses OK.
    void ApplyTypedSpeed(const std::string& text) {
        const int opened = RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) {
            TypeSpeed(d, text);
            Press(d, IDOK);
            EXPECT_FALSE(d.IsVisible()) << text;
        });
        EXPECT_EQ(opened, 1);
    }
};

// --- line-speed dialog ------------------------------------------------------

TEST_F(SmallDialogs, SpeedDialogOpensShowingTheRateInForce) {
    Connect(1);
    ASSERT_EQ(Link().lineSpeed, 1200);
    const int opened = RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) {
        auto* speed = dynamic_cast<CDskor*>(&d);
        ASSERT_NE(speed, nullptr);
        EXPECT_EQ(d.Title(), "Скорость");
        EXPECT_EQ(SpeedText(d), "1200");
        EXPECT_EQ(speed->m_speed, 1200);
        EXPECT_EQ(d.Window().Text(IDOK), "ОК");
        EXPECT_EQ(d.Window().Text(IDCANCEL), "Отмена");
        Press(d, IDCANCEL);
    });
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(Opened(), Names{"IDD_SPEED"});
    EXPECT_TRUE(Messages().empty());
}

TEST_F(SmallDialogs, ArrowsWalkTheLadderAndCancelKeepsTheRate) {
    Connect(1);
    RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) {
        Names up;
        for (int i = 0; i < 7; ++i) {
            PressSpeedArrow(d, true);
            up.push_back(SpeedText(d));
        }
        EXPECT_EQ(up, (Names{"2400", "4800", "9600", "19200", "38400", "115200", "115200"}));

        Names down;
        for (int i = 0; i < 8; ++i) {
            PressSpeedArrow(d, false);
            down.push_back(SpeedText(d));
        }
        EXPECT_EQ(down, (Names{"38400", "19200", "9600", "4800", "2400", "1200", "600", "600"}));

        // The arrows touch only the box.
        EXPECT_EQ(peer->Speed(), 1200);
        EXPECT_EQ(Link().lineSpeed, 1200);
        Press(d, IDCANCEL);
        EXPECT_FALSE(d.IsVisible());
        EXPECT_EQ(d.Result(), DialogBase::kIdCancel);
    });
    EXPECT_EQ(peer->Speed(), 1200);
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
            TypeSpeed(d, c.typed);
            d.Notify(Notification::UpDownStep, IDC_SPEED_SPIN, c.delta);
            EXPECT_EQ(SpeedText(d), c.shown) << c.typed << " " << c.delta;
        }
        Press(d, IDCANCEL);
    });
    EXPECT_EQ(peer->Speed(), 1200);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(SmallDialogs, OkAppliesATypedRateAndARunStartSetsTheProtocolRateAgain) {
    Connect(1);
    RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) {
        TypeSpeed(d, "57600");
        Press(d, IDOK);
        EXPECT_FALSE(d.IsVisible());
        EXPECT_EQ(d.Result(), DialogBase::kIdOk);
    });
    EXPECT_EQ(peer->Speed(), 57600);
    EXPECT_EQ(Link().lineSpeed, 57600);

    // The next time the dialog shows the rate now in force.
    RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) { EXPECT_EQ(SpeedText(d), "57600"); });

    // A continuous read with Halten RS selected puts 1200 back.
    Click(IDC_READ_AUTO);
    EXPECT_EQ(peer->Speed(), 1200);
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
        const std::string shown = Text(IDC_OUT);
        EXPECT_TRUE(PumpUntil([&] { return !Text(IDC_OUT).empty() && Text(IDC_OUT) != shown; }));
        EXPECT_EQ(Receive(15).size(), 15u);
        TypeSpeed(d, "4800");
        Press(d, IDOK);
    });
    EXPECT_EQ(peer->Speed(), 4800);
    EXPECT_TRUE(WorkerRunning(WorkerKind::Simulator));
    EXPECT_EQ(Receive(15 * 3).size(), 15u * 3);
}

TEST_F(SmallDialogs, SpeedAndDetectionCommandsWithThePortClosedOpenNothing) {
    ASSERT_FALSE(Link().portOpen.load());
    for (const unsigned code : {CMD_LINE_SPEED, CMD_DETECT}) {
        EXPECT_EQ(OpenedBy(code), Names{}) << code;

        // Nor through the window menu, where the item stays enabled.
        Opened().clear();
        ChooseWindowMenuItem(*dlg, code);
        EXPECT_EQ(Opened(), Names{}) << code;
    }

    // After a Disconnect as before the first Connect.
    Connect(1);
    Click(IDC_DISCONNECT);
    EXPECT_EQ(OpenedBy(CMD_LINE_SPEED), Names{});
    EXPECT_EQ(OpenedBy(CMD_DETECT), Names{});
}

TEST_F(SmallDialogs, AWordInTheSpeedBoxKeepsTheDialogOpen) {
    Connect(1);
    bool stayedOpen = false;
    RunSysCommand(CMD_LINE_SPEED, [&](DialogBase& d) {
        TypeSpeed(d, "быстро");
        Press(d, IDOK);
        stayedOpen = d.IsVisible();
        // Once for OK's own pull and once for the closing one.
        EXPECT_EQ(Messages(), (Names(2, "Введите целое число.")));
        // The rate the box last held went to the port again.
        EXPECT_EQ(peer->Speed(), 1200);
        EXPECT_EQ(Link().lineSpeed, 1200);

        // The arrows then step from that last good value.
        PressSpeedArrow(d, true);
        EXPECT_EQ(SpeedText(d), "2400");
        EXPECT_EQ(Messages().size(), 3u);
        Press(d, IDCANCEL);
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(peer->Speed(), 1200);
}

TEST_F(SmallDialogs, RatesThePortRefusesStillBecomeTheLineSpeed) {
    Connect(1);
    // A number beyond the 32-bit range saturates in the integer box.
    const std::pair<const char*, int> cases[] = {{"0", 0}, {"-5", -5}, {"4294967295", 2147483647}};
    for (const auto& [typed, lineSpeed] : cases) {
        SCOPED_TRACE(typed);
        ApplyTypedSpeed(typed);
        EXPECT_EQ(peer->Speed(), 1200);
        EXPECT_EQ(Link().lineSpeed, lineSpeed);
        EXPECT_TRUE(Link().portOpen.load());
    }
    EXPECT_TRUE(Messages().empty());
}

// --- protocol detection -----------------------------------------------------

TEST(DetectResultText, SaysWhatWasFoundWithTheNounsAfterTheirNumbers) {
    using Kind = protocols::Finding::Kind;
    const struct {
        protocols::Finding finding;
        bool silent;
        const char* text;
    } rows[] = {
        {{.kind = Kind::Protocol, .speed = 9600, .protocol = 2, .frames = 12, .errors = 0},
         false,
         "Kugoo M (QS-S4), 9600 бит/с: 12 кадров, 0 ошибок"},
        {{.kind = Kind::Protocol, .speed = 1200, .protocol = 1, .frames = 3, .errors = 1},
         false,
         "Halten RS, 1200 бит/с: 3 кадра, 1 ошибка"},
        {{.kind = Kind::Protocol, .speed = 1200, .protocol = 1, .frames = 21, .errors = 12},
         false,
         "Halten RS, 1200 бит/с: 21 кадр, 12 ошибок"},
        {{.kind = Kind::Structure,
          .speed = 9600,
          .frames = 7,
          .frameLength = 14,
          .start = {0x02, 0x0E},
          .periodMs = 50},
         false,
         "9600 бит/с: кадры по 14 байт, начало 02 0E, каждые 50 мс"},
        {{.kind = Kind::Structure,
          .speed = 19200,
          .frames = 9,
          .frameLength = 4,
          .start = {0xA5, 0x00},
          .periodMs = 20},
         false,
         "19200 бит/с: кадры по 4 байта, начало A5 00, каждые 20 мс"},
        {{}, false, "Протокол не определён"},
        {{}, true, "Линия молчит"},
    };
    for (const auto& row : rows) EXPECT_EQ(ui::DetectResultText(row.finding, row.silent), row.text);
}

// "Отмена" in the middle of the sweep ends it at once: the speed in force
// before is back on the port, no listener is left, nothing was sent.
TEST_F(SmallDialogs, DetectionCancelledMidSweepRestoresTheSpeed) {
    Connect(1);
    ASSERT_EQ(peer->Speed(), 1200);
    RunSysCommand(CMD_DETECT, [&](DialogBase& d) {
        EXPECT_EQ(d.Title(), "Определение протокола");
        EXPECT_EQ(d.Window().Text(IDC_DETECT_PROGRESS), "Слушаю на 1200 бит/с (1 из 8) ...");
        EXPECT_FALSE(d.Window().Enabled(IDC_DETECT_APPLY));
        // The silent line moves the sweep on to the next speed.
        ASSERT_TRUE(PumpUntil([&] { return peer->Speed() == 9600; }));
        EXPECT_EQ(d.Window().Text(IDC_DETECT_PROGRESS), "Слушаю на 9600 бит/с (2 из 8) ...");
        Press(d, IDCANCEL);
        EXPECT_FALSE(d.IsVisible());
        EXPECT_EQ(d.Result(), DialogBase::kIdCancel);
        EXPECT_EQ(peer->Speed(), 1200);
    });
    EXPECT_EQ(Link().lineSpeed, 1200);
    EXPECT_EQ(peer->Speed(), 1200);
    EXPECT_EQ(Window().Selection(IDC_DECODER), 1);
    EXPECT_TRUE(peer->ReadSome(1, 50).empty());
}

// With Kugoo M selected, a line of Halten RS frames is found at 1200 bit/s;
// "Применить" selects Halten RS and sets its speed.
TEST_F(SmallDialogs, DetectionFindsTheProtocolAndApplySelectsItWithItsSpeed) {
    Connect(2);
    ASSERT_EQ(peer->Speed(), 9600);
    std::vector<std::uint8_t> frame{0x36, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x00, 0x10, 0x20, 0x30, 0x40, 0x05};
    frame.push_back(protocols::XorOf(frame));
    std::string result;
    RunSysCommand(CMD_DETECT, [&](DialogBase& d) {
        // The controller sends a frame every 225 ms, as at 1200 bit/s with
        // 100 ms between; the tool hears it only while it listens at 1200.
        auto due = std::chrono::steady_clock::now();
        EXPECT_TRUE(PumpUntil([&] {
            if (std::chrono::steady_clock::now() >= due) {
                due += std::chrono::milliseconds(225);
                if (peer->Speed() == 1200) peer->Write(frame);
            }
            return d.Window().Enabled(IDC_DETECT_APPLY);
        }));
        result = d.Window().Text(IDC_DETECT_RESULT);
        Press(d, IDC_DETECT_APPLY);
        EXPECT_FALSE(d.IsVisible());
    });
    EXPECT_EQ(result.rfind("Halten RS, 1200 бит/с: ", 0), 0u) << result;
    EXPECT_NE(result.find(", 0 ошибок"), std::string::npos) << result;
    EXPECT_EQ(Window().Selection(IDC_DECODER), 1);
    EXPECT_EQ(dlg->m_decoder, 1);
    EXPECT_EQ(Link().lineSpeed, 1200);
    EXPECT_EQ(peer->Speed(), 1200);
}

// --- About box --------------------------------------------------------------

TEST_F(SmallDialogs, AboutBoxShowsTheDescriptionAndEndsOnOkEscAndClose) {
    const int opened = RunSysCommand(CMD_ABOUT, [&](DialogBase& d) {
        ASSERT_NE(dynamic_cast<CAboutDlg*>(&d), nullptr);
        EXPECT_EQ(d.Title(), "О проекте Zonter");
        const std::string text = d.Window().Text(IDC_ABOUT_TEXT);
        EXPECT_NE(text.find("2.0"), std::string::npos) << text;
        EXPECT_NE(text.find("2020"), std::string::npos) << text;
        ASSERT_TRUE(d.Window().HasControl(IDC_ABOUT_ICON));
        EXPECT_TRUE(d.Window().Shown(IDC_ABOUT_ICON));
        EXPECT_EQ(d.Window().Text(IDOK), "ОК");
        Press(d, IDOK);
        EXPECT_FALSE(d.IsVisible());
        EXPECT_EQ(d.Result(), DialogBase::kIdOk);
    });
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(Opened(), Names{"IDD_ABOUT"});

    EXPECT_EQ(RunSysCommand(CMD_ABOUT,
                            [&](DialogBase& d) {
                                PressEscape(d);
                                EXPECT_FALSE(d.IsVisible());
                                EXPECT_EQ(d.Result(), DialogBase::kIdCancel);
                            }),
              1);
    EXPECT_EQ(RunSysCommand(CMD_ABOUT,
                            [&](DialogBase& d) {
                                PressCloseBox(d);
                                EXPECT_FALSE(d.IsVisible());
                                EXPECT_EQ(d.Result(), DialogBase::kIdCancel);
                            }),
              1);
    EXPECT_TRUE(dlg->IsVisible());
}

TEST_F(SmallDialogs, ClosingTheMainWindowUnderTheAboutBoxEndsTheBoxFirst) {
    Connect(1);
    bool refreshed = false;
    EXPECT_EQ(RunSysCommand(CMD_ABOUT,
                            [&](DialogBase& about) {
                                // Another program asks the main window to
                                // close, as its window system passes it on;
                                // a worker's refresh is queued behind.
                                dlg->WindowCloseRequested();
                                EXPECT_TRUE(dlg->IsVisible());
                                EXPECT_FALSE(about.IsVisible());
                                dlg->PostToDialog([&] {
                                    EXPECT_TRUE(Link().portOpen.load());
                                    dlg->OnSysCommand(CMD_SHOW_RX_FRAME, 0);
                                    refreshed = true;
                                });
                            }),
              1);
    ASSERT_TRUE(PumpUntil([&] { return !dlg->IsVisible(); }));
    EXPECT_TRUE(refreshed);
    EXPECT_FALSE(Link().portOpen.load());
}

TEST_F(SmallDialogs, EachWindowMenuCodeOpensItsOwnWindowAndNoOther) {
    for (unsigned code = 16; code <= 31; ++code) {
        EXPECT_EQ(OpenedBy(code), Names{"IDD_ABOUT"}) << code;
    }
    // Neighbouring codes, and those past the program's items, get the
    // default handling, which opens no window at all.
    for (unsigned code : {15u, 32u, 117u}) {
        EXPECT_EQ(OpenedBy(code), Names{}) << code;
    }
    EXPECT_EQ(dlg->LineMonitor(), nullptr);
    // 115, beside the speed command, opens the line monitor, modeless.
    EXPECT_EQ(OpenedBy(CMD_LINE_MONITOR), Names{"IDD_MONITOR"});
    ASSERT_NE(dlg->LineMonitor(), nullptr);
    EXPECT_TRUE(dlg->LineMonitor()->IsVisible());
    EXPECT_TRUE(dlg->IsVisible());
}

// --- window menu ------------------------------------------------------------

TEST_F(SmallDialogs, WindowMenuItemsOpenTheirDialogs) {
    Connect(1);
    RunModal([&] { ChooseWindowMenuItem(*dlg, CMD_ABOUT); },
             [](DialogBase& d) { EXPECT_NE(dynamic_cast<CAboutDlg*>(&d), nullptr); });
    EXPECT_EQ(Opened(), Names{"IDD_ABOUT"});
    RunModal([&] { ChooseWindowMenuItem(*dlg, CMD_LINE_SPEED); },
             [](DialogBase& d) { EXPECT_NE(dynamic_cast<CDskor*>(&d), nullptr); });
    EXPECT_EQ(Opened(), Names{"IDD_SPEED"});
    RunModal([&] { ChooseWindowMenuItem(*dlg, CMD_DETECT); },
             [](DialogBase& d) { EXPECT_NE(dynamic_cast<CDetectDlg*>(&d), nullptr); });
    EXPECT_EQ(Opened(), Names{"IDD_DETECT"});

    // The monitor is modeless: the main window stays usable beside it.
    Opened().clear();
    ChooseWindowMenuItem(*dlg, CMD_LINE_MONITOR);
    EXPECT_EQ(Opened(), Names{"IDD_MONITOR"});
    ASSERT_NE(dlg->LineMonitor(), nullptr);
    EXPECT_TRUE(dlg->LineMonitor()->IsVisible());
    EXPECT_TRUE(Enabled(IDC_DISCONNECT));
}

}  // namespace
