#pragma once

#include <string>

namespace platform::ui {

class DialogBase;

// A control member bound by DoDataExchange, as a CButton member is: it
// reaches one control of its dialog by identifier. Unbound, it does nothing.
class DialogControl {
public:
    int id() const { return id_; }
    explicit operator bool() const { return dialog_ != nullptr; }
    void EnableWindow(bool enable) const;
    bool IsWindowEnabled() const;

private:
    friend class DataExchange;
    DialogBase* dialog_ = nullptr;
    int id_ = 0;
};

// Data exchange between controls and members, in DoDataExchange order.
// Saving (pull): control -> member; otherwise (push): member -> control.
// After the first failure every later exchange is skipped.
class DataExchange {
public:
    DataExchange(DialogBase& dialog, bool saving) : dialog_(dialog), saving_(saving) {}

    bool saving() const { return saving_; }
    bool failed() const { return failed_; }
    int failedId() const { return failedId_; }

    void Int(int id, int& value);                  // integer kind; push as "%d"
    void Text(int id, std::string& value);         // text kind, UTF-8
    void Check(int id, int& value);                // 0 clear, 1 ticked (2 = indeterminate)
    void Selection(int id, int& index);            // combo box index, -1 for none
    void Slider(int id, int& position);            // slider thumb position
    void Control(int id, DialogControl& control);  // binds a control member

private:
    bool Skip(int id) const;

    DialogBase& dialog_;
    bool saving_;
    bool failed_ = false;
    int failedId_ = 0;
};

}  // namespace platform::ui
