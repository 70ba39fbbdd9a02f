#pragma once

// What a person does to a dialog, and what they see of it, as each window
// system has it: the per-system half of the dialog tests written once. Each
// system implements it in a folder of its own (qt/, win32/). Calls come on
// the dialog's thread; actions deliver what they queue before returning.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/DialogBase.h"

namespace testing_support {

using platform::ui::DialogBase;

// --- the mouse ---
// Clicks button or check box `id`. As on the screen, a control or window
// that takes no input gets nothing.
void Click(DialogBase& dialog, int id);

// --- the keyboard ---
enum class Press { Enter, KeypadEnter, Escape, Tab, Up, Down, Left, Right };
// Presses `key` with control `id` focused (the focus is put there first).
void PressKey(DialogBase& dialog, int id, Press key);
// Replaces the text of edit box or combo box field `id` by typing `text`.
void Type(DialogBase& dialog, int id, std::string_view text);
// The control that has the focus (a combo box for its field), -1 for none.
int FocusedControl(const DialogBase& dialog);
// The caret of edit box `id`, and putting it there with nothing selected.
int Caret(const DialogBase& dialog, int id);
void PutCaret(DialogBase& dialog, int id, int position);
std::string SelectedText(const DialogBase& dialog, int id);

// --- the window ---
// Closes the window with its close box.
void CloseWindow(DialogBase& dialog);
// Another program asks the window to close (WM_CLOSE; on X11 the window
// manager's close), which reaches it also while it takes no input.
void RequestClose(DialogBase& dialog);
// False while the window takes no input (a modal dialog over it runs).
bool TakesInput(const DialogBase& dialog);
bool Minimised(const DialogBase& dialog);

// The window menu: "move", "minimise", "close" for the system's items,
// "-" for a separator, an appended item by its text.
std::vector<std::string> WindowMenu(const DialogBase& dialog);
// The system's codes of its items (SC_MINIMIZE, SC_CLOSE).
inline constexpr unsigned kMinimiseCommand = 0xF020;
inline constexpr unsigned kCloseCommand = 0xF060;
// Chooses the item with `code` from the window menu.
void ChooseFromWindowMenu(DialogBase& dialog, unsigned code);

// --- controls ---
// Moves slider `id` to `position`, as a drag does.
void DragSlider(DialogBase& dialog, int id, int position);
// The slider's page: how far a click beside the thumb moves it.
int SliderPage(const DialogBase& dialog, int id);
std::string ToolTipOf(const DialogBase& dialog, int id);
// The face the control was given and its height in pixels at 96 dpi.
struct ShownFont {
    std::string face;
    int pixelHeight = 0;
};
ShownFont FontOf(const DialogBase& dialog, int id);

// --- report lists ---
int TopRow(const DialogBase& dialog, int id);
// The rows a list at its end shows, from its top row to its last.
int RowsPerPage(const DialogBase& dialog, int id);
// Scrolls by `pages` pages (negative: up), as the scroll bar's track does.
void ScrollListPages(DialogBase& dialog, int id, int pages);
// Scrolls by whole rows until `row` is at the top, or as near as it goes.
void ScrollListTo(DialogBase& dialog, int id, int row);
std::string CellText(const DialogBase& dialog, int id, int row, int column);
void PickRow(DialogBase& dialog, int id, int row);
// The picked row, -1 for none.
int PickedRow(const DialogBase& dialog, int id);

// Watches for message boxes over `owner` from the dialog thread's own
// events, so inside any modal loop too. Each box seen is handed to `seen`
// with its text; it is closed with OK when `seen` returns true, and looked
// at again later otherwise.
class MessageBoxes {
public:
    explicit MessageBoxes(const DialogBase& owner, std::function<bool(const std::string& text)> seen = nullptr);
    ~MessageBoxes();
    MessageBoxes(const MessageBoxes&) = delete;
    MessageBoxes& operator=(const MessageBoxes&) = delete;

    // Boxes closed so far, and the text of the last one.
    int Closed() const;
    std::string LastText() const;
    // Message boxes shown now, over any window.
    static int Open();

    struct Watch;

private:
    std::unique_ptr<Watch> watch_;
};

}  // namespace testing_support
