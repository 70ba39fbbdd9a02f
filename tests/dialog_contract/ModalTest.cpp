// Modal loops: a modal dialog or message box takes the input from its
// owner only, and ends with its result.
#include <gtest/gtest.h>

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
