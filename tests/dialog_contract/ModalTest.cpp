// Modal loops: a modal dialog or message box takes the input from its
// owner only, and ends with its result.
#include <gtest/gtest.h>

#include <algorithm>

#include "Contract.h"

namespace testing_ui {
namespace {

TEST(Modal, ADialogDisablesItsOwnerAndEndsWithTheResult) {
    PanelDialog panel;
    ASSERT_TRUE(Show(panel));
    SmallDialog small(&panel);
    bool ownerTookInput = true;
    small.PostToDialog([&] {
        ownerTookInput = TakesInput(panel);
        small.EndDialog(7);
    });
    EXPECT_EQ(small.DoModal(), 7);
    EXPECT_FALSE(ownerTookInput);
    EXPECT_TRUE(TakesInput(panel));
    EXPECT_FALSE(small.IsVisible());
}

// What a person can do, while a modal loop over `owner` runs, to the owner
// and to a modeless window beside it.
struct Reach {
    bool owner = true;
    bool beside = false;
    void Try(PanelDialog& ownerDialog, ViewDialog& besideDialog) {
        owner = TakesInput(ownerDialog);
        beside = TakesInput(besideDialog);
        Click(ownerDialog, IDC_FLAG);
        Click(besideDialog, IDC_FORWARD);
        PressKey(besideDialog, IDC_NOTE, Press::Right);
    }
};

TEST(Modal, AWindowBesideTheOwnerKeepsWorking) {
    PanelDialog owner;
    ASSERT_TRUE(Show(owner));
    // A modeless window of the owner's, as the line monitor is the main dialog's.
    ViewDialog beside(&owner);
    ASSERT_TRUE(Show(beside));
    beside.Window().SetKeyCommand(Key::Right, IDC_BACK);

    // A modal dialog over the owner.
    SmallDialog modal(&owner);
    Reach inDialog;
    modal.PostToDialog([&] {
        inDialog.Try(owner, beside);
        modal.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(modal.DoModal(), IDCANCEL);
    EXPECT_FALSE(inDialog.owner);
    EXPECT_TRUE(inDialog.beside);
    EXPECT_EQ(owner.Window().Check(IDC_FLAG), 0);  // the owner's box took no click
    EXPECT_EQ(beside.clicks, (std::vector<int>{IDC_FORWARD, IDC_BACK}));
    EXPECT_TRUE(TakesInput(owner));

    // A message box over the owner.
    beside.clicks.clear();
    Reach inBox;
    MessageBoxes boxes(owner, [&](const std::string&) {
        inBox.Try(owner, beside);
        return true;
    });
    owner.MessageBox("Сообщение");
    EXPECT_EQ(boxes.Closed(), 1);
    EXPECT_FALSE(inBox.owner);
    EXPECT_TRUE(inBox.beside);
    EXPECT_EQ(owner.Window().Check(IDC_FLAG), 0);
    EXPECT_EQ(beside.clicks, (std::vector<int>{IDC_FORWARD, IDC_BACK}));
    EXPECT_TRUE(TakesInput(owner));

    // Once the loops are over, the owner takes clicks again.
    Click(owner, IDC_FLAG);
    EXPECT_EQ(owner.Window().Check(IDC_FLAG), 1);
}

// A close request while a modal loop runs over the window: the loop is
// asked to end, and the window closes only once it has, and the handler
// that ran it has returned. A task queued meanwhile, and the handler going
// on, both find the window still open.
class ClosingPanel : public PanelDialog {
public:
    bool ended = false;
    std::vector<std::string> ran;  // what ran on the window, and whether after its end
    void Note(const std::string& what) { ran.push_back(ended ? what + " after the end" : what); }

protected:
    void OnDestroy() override { ended = true; }
};

struct NestedLoop {
    const char* name;
    // Runs a modal loop over `panel`, calling `inside` once from within it.
    void (*run)(ClosingPanel& panel, const std::function<void()>& inside);
};

// The box over `owner` that `show` opens: `inside` runs while it is up, and
// the box is left for the close request to end.
void RunBox(DialogBase& owner, const std::function<void()>& inside, const std::function<void()>& show) {
    bool done = false;
    MessageBoxes boxes(owner, [&](const std::string&) {
        if (done) {
            ADD_FAILURE() << "the close request left the box open";
            return true;
        }
        inside();
        done = true;
        return false;
    });
    show();
    EXPECT_TRUE(done);
    EXPECT_EQ(boxes.Closed(), 0);
    EXPECT_EQ(MessageBoxes::Open(), 0);
}

// A modal dialog over `panel`, with `inside` run in its loop.
void RunChild(ClosingPanel& panel, const std::function<void(SmallDialog&)>& inside) {
    SmallDialog child(&panel);
    child.PostToDialog([&] {
        inside(child);
        // What the close request queued has run by this task's turn.
        child.PostToDialog([&] {
            if (!child.IsVisible()) return;
            ADD_FAILURE() << "the close request left the dialog open";
            child.EndDialog(IDOK);
        });
    });
    EXPECT_EQ(child.DoModal(), IDCANCEL);
    EXPECT_EQ(child.cancelCount, 1);  // ended through its own Cancel
}

const NestedLoop kNestedLoops[] = {
    {"a modal dialog", [](ClosingPanel& panel,
                          const std::function<void()>& inside) { RunChild(panel, [&](SmallDialog&) { inside(); }); }},
    {"a message box",
     [](ClosingPanel& panel, const std::function<void()>& inside) {
         RunBox(panel, inside, [&] { panel.MessageBox("Окно"); });
     }},
    {"the integer box",
     [](ClosingPanel& panel, const std::function<void()>& inside) {
         panel.Window().SetText(IDC_PORT, "x");
         RunBox(panel, inside, [&] { EXPECT_FALSE(panel.UpdateData(true)); });
     }},
    {"a message box over a modal dialog",
     [](ClosingPanel& panel, const std::function<void()>& inside) {
         RunChild(panel, [&](SmallDialog& child) { RunBox(child, inside, [&] { child.MessageBox("Окно"); }); });
     }},
    {"a file question of a window of its own",
     [](ClosingPanel& panel, const std::function<void()>& inside) {
         // A modeless window of the panel's, as the line monitor is the
         // main window's, asks for a file.
         ViewDialog own(&panel);
         ASSERT_TRUE(Show(own));
         bool answered = false;
         own.PostToDialog([&] {
             inside();
             own.PostToDialog([&] {
                 if (answered) return;
                 ADD_FAILURE() << "the close request left the file dialog open";
                 own.Window().CloseBox();
             });
         });
         platform::ui::FileQuestion question;
         question.title = "Открыть";
         question.patterns = {"*.txt"};
         EXPECT_EQ(own.AskFileName(question), "");
         answered = true;
     }},
};

TEST(Modal, ACloseRequestEndsTheLoopsOverTheWindowBeforeTheWindow) {
    for (const NestedLoop& loop : kNestedLoops) {
        SCOPED_TRACE(loop.name);
        ClosingPanel panel;
        ASSERT_TRUE(Show(panel));
        loop.run(panel, [&] {
            RequestClose(panel);
            panel.PostToDialog([&] { panel.Note("queued task"); });
        });
        panel.Note("handler");
        // No new loop starts over the window while its close waits.
        SmallDialog later(&panel);
        later.PostToDialog([&] { later.EndDialog(5); });
        EXPECT_EQ(later.DoModal(), IDCANCEL);

        ASSERT_TRUE(PumpUntil([&] { return panel.ended; }));
        PumpQueued();
        std::sort(panel.ran.begin(), panel.ran.end());
        EXPECT_EQ(panel.ran, (std::vector<std::string>{"handler", "queued task"}));
        EXPECT_EQ(panel.cancelCount, 1);
        EXPECT_FALSE(panel.IsVisible());
    }
}

// A dialog that ends itself while it initialises.
class SelfEndingDialog : public SmallDialog {
protected:
    bool OnInitDialog() override {
        EndDialog(9);
        return false;
    }
};

TEST(Modal, DialogEndedByItsInitialisationStaysHidden) {
    SelfEndingDialog modal;
    EXPECT_EQ(modal.DoModal(), 9);
    EXPECT_FALSE(modal.IsVisible());

    SelfEndingDialog modeless;
    modeless.ShowModeless();
    PumpQueued();
    EXPECT_FALSE(modeless.IsVisible());
    EXPECT_EQ(modeless.Result(), 9);
}

TEST(Modal, ModelessWindowOverAModalLoopGetsItsKeys) {
    SmallDialog modal;
    ViewDialog view(&modal);
    view.Window().SetKeyCommand(Key::Right, IDC_FORWARD);
    int afterTab = -1;
    modal.PostToDialog([&] {
        view.ShowModeless();
        // Tab is the dialog manager's, for the window the key is in.
        PressKey(view, IDC_BACK, Press::Tab);
        afterTab = FocusedControl(view);
        PressKey(view, afterTab, Press::Right);
        modal.EndDialog(5);
    });
    EXPECT_EQ(modal.DoModal(), 5);
    EXPECT_EQ(afterTab, IDC_FORWARD);
    EXPECT_EQ(view.clicks, std::vector<int>{IDC_FORWARD});
}

}  // namespace
}  // namespace testing_ui
