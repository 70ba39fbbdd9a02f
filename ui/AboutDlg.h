#pragma once

#include "platform/ui/DialogBase.h"

// The About box: the application icon and one line about the program.
class CAboutDlg : public platform::ui::DialogBase {
public:
    explicit CAboutDlg(platform::ui::DialogBase* parent = nullptr);
};
