#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <filesystem>
#include <memory>

#include "link/LinkState.h"
#include "platform/PseudoTerminal.h"
#include "platform/ui/qt/QtDialogWindow.h"
#include "res/Resource.h"
#include "tests/platform_ui/WaitUntil.h"
#include "tests/support/PortSandbox.h"
#include "tests/ui/DialogRecorder.h"
#include "ui/ZonterDlg.h"

namespace testing_ui {

using linkcore::WorkerKind;
using platform::ui::qt::QtDialogWindow;
using platform::ui::qt::WidgetAs;
using platform::ui::qt::WindowOf;

// Whether a worker of that kind runs now.
inline bool WorkerRunning(WorkerKind kind) { return linkcore::Link().Slot(kind).thread.Running(); }

// The main dialog, shown on the offscreen platform, with COM1 a
// pseudo-terminal in a temporary port directory.
class DialogHarness : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox_.Open("zonter-ui");
        if (HasFatalFailure()) return;
        peer = std::move(sandbox_.peer);
        linkcore::ResetLinkDataForTests();
        dlg = std::make_unique<CZonterDlg>();
        dlg->ShowModeless();
        ASSERT_TRUE(WaitUntil([] { return linkcore::Link().Slot(WorkerKind::SingleRead).stop != nullptr; }));
        DrainEvents();  // the sliders' first drawing
    }

    void TearDown() override {
        dlg.reset();
        peer.reset();
        sandbox_.Close();
    }

    // The Qt window of the main dialog, and its controls by identifier.
    QtDialogWindow& Window() const { return WindowOf(*dlg); }
    QWidget* Control(int id) const { return platform::ui::qt::Widget(*dlg, id); }
    template <class W>
    W* Get(int id) const {
        W* w = WidgetAs<W>(*dlg, id);
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    // What the control shows once the texts held for the next paint are in.
    QString Text(int id) const {
        Window().ApplyPendingTexts();
        QWidget* w = Control(id);
        if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
        if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
        return {};
    }
    void SetText(int id, const QString& text) { Get<QLineEdit>(id)->setText(text); }
    void Click(int id) {
        Get<QAbstractButton>(id)->click();
        DrainEvents();
    }
    void MoveSlider(int id, int position) {
        Get<QSlider>(id)->setValue(position);
        DrainEvents();
    }
    void SelectDecoder(int index) { Get<QComboBox>(IDC_DECODER)->setCurrentIndex(index); }
    bool Enabled(int id) const { return Control(id)->isEnabled(); }

    void Connect(int decoder) {
        SelectDecoder(decoder);
        Click(IDC_CONNECT);
        ASSERT_TRUE(linkcore::Link().portOpen.load());
    }

    // Bytes the tool sent, up to n within ms.
    std::vector<std::uint8_t> Receive(std::size_t n, int ms = 3000) {
        std::vector<std::uint8_t> buf(n);
        std::size_t got = 0;
        QDeadlineTimer deadline(ms);
        while (got < n && !deadline.hasExpired()) {
            got += peer->ReadSome(buf.data() + got, n - got, 5);
            QCoreApplication::processEvents();
        }
        buf.resize(got);
        return buf;
    }

    const std::string& dir() const { return sandbox_.dir(); }

    std::unique_ptr<CZonterDlg> dlg;
    std::unique_ptr<platform::PseudoTerminal> peer;

private:
    testing_support::PortSandbox sandbox_;
};

}  // namespace testing_ui
