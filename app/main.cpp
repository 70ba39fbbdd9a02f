#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"
#include "ui/ZonterDlg.h"

// The application: runs the main dialog modally; its end is the program's.
int main(int argc, char* argv[]) {
    // --version and --help are answered before Qt looks for a display.
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (const auto status = app::AnswerCommandLine(args, stdout, stderr)) return *status;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zonter"));
    QApplication::setApplicationVersion(QStringLiteral(ZONTER_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/zonter.png")));

    CZonterDlg dialog;
    dialog.DoModal();
    dialog.DestroyWindow();
    return 0;
}
