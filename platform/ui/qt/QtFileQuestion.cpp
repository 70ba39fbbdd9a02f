// The file-name question: Qt's own file dialog rather than the desktop's,
// so that it behaves alike on every desktop and under a bare X server, and
// assistive tools find it and its name box by identifier.
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>

#include <utility>

#include "platform/ui/qt/QtDialogWindow.h"

namespace platform::ui::qt {

namespace {

constexpr const char* kFileDialogName = "IDD_FILE";
constexpr const char* kFileNameBoxName = "IDC_FILE_NAME";

void Identify(QWidget* widget, const char* name) {
    widget->setAccessibleName(QString::fromLatin1(name));
    widget->setAccessibleDescription(QString::fromLatin1(name));
}

}  // namespace

std::string QtDialogWindow::AskFileName(const FileQuestion& question) {
    QPointer<QFileDialog> dialog = new QFileDialog(this, QString::fromStdString(question.title));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);  // the caller never replaces a file
    dialog->setAcceptMode(question.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(question.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!question.patterns.empty()) {
        QStringList patterns;
        for (const std::string& pattern : question.patterns) patterns.push_back(QString::fromStdString(pattern));
        dialog->setNameFilter(QStringLiteral("%1 (%2)").arg(QString::fromStdString(question.filterName),
                                                            patterns.join(QLatin1Char(' '))));
    }
    if (question.save && !question.proposedName.empty())
        dialog->selectFile(QString::fromStdString(question.proposedName));
    dialog->setObjectName(QString::fromLatin1(kFileDialogName));
    Identify(dialog, kFileDialogName);
    QLineEdit* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!nameBox) nameBox = dialog->findChild<QLineEdit*>();
    if (nameBox) Identify(nameBox, kFileNameBoxName);

    const QPointer<QDialog> outer = std::exchange(box_, dialog.data());
    const QPointer<QtDialogWindow> self(this);
    const bool chosen = dialog->exec() == QDialog::Accepted;
    if (self) box_ = outer;
    std::string path;
    if (dialog && chosen && !dialog->selectedFiles().isEmpty()) path = dialog->selectedFiles().first().toStdString();
    delete dialog.data();  // already gone if the window went while it was open
    return path;
}

}  // namespace platform::ui::qt
