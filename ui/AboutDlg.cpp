#include "ui/AboutDlg.h"

#include "res/DialogTemplates.h"

CAboutDlg::CAboutDlg(platform::ui::DialogBase* parent) : DialogBase(res::AboutDialogTemplate(), parent) {}
