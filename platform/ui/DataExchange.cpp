#include "platform/ui/DataExchange.h"

#include <string_view>

#include "platform/IntegerScan.h"
#include "platform/ui/DialogBase.h"

namespace platform::ui {

void DialogControl::EnableWindow(bool enable) const {
    if (dialog_) dialog_->EnableControl(id_, enable);
}

bool DialogControl::IsWindowEnabled() const { return dialog_ && dialog_->IsControlEnabled(id_); }

bool DataExchange::Skip(int id) const { return failed_ || !dialog_.HasControl(id); }

void DataExchange::Int(int id, int& value) {
    if (Skip(id)) return;
    DialogWindow& window = dialog_.Window();
    if (!saving_) {
        window.SetText(id, std::to_string(value));
        return;
    }
    int scanned = 0;
    if (!platform::ScanDialogInteger(window.Text(id), scanned)) {
        failed_ = true;
        failedId_ = id;
        dialog_.ShowIntegerError(id);
        return;
    }
    value = scanned;
}

void DataExchange::Text(int id, std::string& value) {
    if (Skip(id)) return;
    if (saving_)
        value = dialog_.Window().Text(id);
    else
        dialog_.Window().SetText(id, value);
}

void DataExchange::Check(int id, int& value) {
    if (Skip(id)) return;
    if (saving_) {
        value = dialog_.Window().Check(id);
        return;
    }
    // A push touches only a box whose tick differs, so a refresh repaints
    // nothing that did not change (texts: DialogWindow::SetText).
    const int state = (value < 0 || value > 2) ? 0 : value;
    if (dialog_.Window().Check(id) != state) dialog_.Window().SetCheck(id, state);
}

void DataExchange::Selection(int id, int& index) {
    if (Skip(id)) return;
    DialogWindow& window = dialog_.Window();
    if (saving_) {
        index = window.Selection(id);
        return;
    }
    window.SetSelection(id, (index >= 0 && index < window.ItemCount(id)) ? index : -1);
}

void DataExchange::Slider(int id, int& position) {
    if (Skip(id)) return;
    if (saving_)
        position = dialog_.Window().SliderPos(id);
    else if (dialog_.Window().SliderPos(id) != position)
        dialog_.Window().SetSliderPos(id, position);  // a move schedules the slider's Draw
}

void DataExchange::Control(int id, DialogControl& control) {
    if (Skip(id)) return;
    control.dialog_ = &dialog_;
    control.id_ = id;
}

}  // namespace platform::ui
