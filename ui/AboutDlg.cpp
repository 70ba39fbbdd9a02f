#include "ui/AboutDlg.h"

#include "res/DialogTemplates.h"

CAboutDlg::CAboutDlg(QWidget* parent) : DialogBase(res::AboutDialogTemplate(), parent) {}
