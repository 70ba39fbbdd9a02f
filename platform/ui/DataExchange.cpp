#include "platform/ui/DialogBase.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>

#include <string_view>

#include "platform/IntegerScan.h"
#include "platform/ui/ControlText.h"

namespace platform::ui {

void DataExchange::Int(int id, int& value) {
    QWidget* control = failed_ ? nullptr : dialog_.Control(id);
    if (!control) return;
    if (!saving_) {
        SetControlText(control, QString::number(value));
        return;
    }
    const QByteArray text = ControlText(control).toUtf8();
    int scanned = 0;
    if (!platform::ScanDialogInteger(std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                                     scanned)) {
        failed_ = true;
        failedId_ = id;
        dialog_.ShowIntegerError(id);
        return;
    }
    value = scanned;
}

void DataExchange::Text(int id, QString& value) {
    QWidget* control = failed_ ? nullptr : dialog_.Control(id);
    if (!control) return;
    if (saving_)
        value = ControlText(control);
    else
        SetControlText(control, value);
}

void DataExchange::Check(int id, int& value) {
    auto* box = failed_ ? nullptr : dialog_.ControlAs<QCheckBox>(id);
    if (!box) return;
    if (saving_) {
        switch (box->checkState()) {
            case Qt::Unchecked:
                value = 0;
                break;
            case Qt::Checked:
                value = 1;
                break;
            case Qt::PartiallyChecked:
                value = 2;
                break;
        }
        return;
    }
    const int state = (value < 0 || value > 2) ? 0 : value;
    if (state == 2) {
        box->setCheckState(Qt::PartiallyChecked);  // turns the box three-state
    } else {
        box->setCheckState(state == 1 ? Qt::Checked : Qt::Unchecked);
        box->setTristate(false);
    }
}

void DataExchange::Selection(int id, int& index) {
    auto* combo = failed_ ? nullptr : dialog_.ControlAs<QComboBox>(id);
    if (!combo) return;
    if (saving_) {
        index = combo->currentIndex();
        return;
    }
    const int selected = (index >= 0 && index < combo->count()) ? index : -1;
    combo->setCurrentIndex(selected);
    // Selecting also puts the item's text into the edit field, even when the
    // index did not change.
    if (combo->isEditable()) {
        const QString text = selected >= 0 ? combo->itemText(selected) : QString();
        if (combo->currentText() != text) combo->setEditText(text);
    }
}

void DataExchange::Slider(int id, int& position) {
    auto* slider = failed_ ? nullptr : dialog_.ControlAs<QSlider>(id);
    if (!slider) return;
    if (saving_)
        position = slider->value();
    else
        slider->setValue(position);  // a move schedules the slider's Draw
}

}  // namespace platform::ui
