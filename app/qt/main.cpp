#include <QApplication>
#include <QIcon>
#include <QPixmap>

#include <cstdio>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"
#include "platform/ui/qt/QtDialogWindow.h"
#include "res/AppIcon.h"
#include "ui/ZonterDlg.h"

// The Qt start-up: runs the main dialog modally; its end is the program's.
int main(int argc, char* argv[]) {
    // --version and --help are answered before Qt looks for a display.
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (const auto status = app::AnswerCommandLine(args, stdout, stderr)) return *status;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zonter"));
    QApplication::setApplicationVersion(QStringLiteral(ZONTER_VERSION));
    QPixmap icon;
    const auto png = res::AppIconPng();
    if (icon.loadFromData(png.data(), static_cast<uint>(png.size()), "PNG")) QApplication::setWindowIcon(QIcon(icon));
    platform::ui::qt::QtWindowSystem::Install();

    CZonterDlg dialog;
    dialog.DoModal();
    dialog.DestroyWindow();
    return 0;
}
