#pragma once

#include <QComboBox>

namespace platform::ui::qt {

// A drop-down combo box with an editable field that selects as the Windows
// one does: typing into the field while the list is closed leaves no entry
// selected; while the list is dropped down, the keys go to the field and the
// first entry that begins with its text (any case) is selected. Picking an
// entry from the list selects it and shows its text.
class DropDownCombo : public QComboBox {
    Q_OBJECT

public:
    explicit DropDownCombo(QWidget* parent = nullptr);

    // Selects `index` (-1: none) and keeps `text` in the field as typed.
    void SelectKeepingText(int index, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void FieldEdited(const QString& text);
    int FirstEntryBeginningWith(const QString& text) const;

    bool typed_ = false;      // the field holds typed text, not an entry's
    int typedIndex_ = -1;     // what the typing selected
    bool selecting_ = false;  // inside SelectKeepingText
    bool holding_ = false;    // Qt's own handlers of the field's end run now
};

}  // namespace platform::ui::qt
