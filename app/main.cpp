#include <QApplication>
#include <QIcon>

#include "ui/ZonterDlg.h"

// The application: runs the main dialog modally; its end is the program's.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zonter"));
    QApplication::setApplicationVersion(QStringLiteral("2.0"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/zonter.png")));

    CZonterDlg dialog;
    dialog.DoModal();
    dialog.DestroyWindow();
    return 0;
}
