#include "tests/support/UserInput.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>

#include "platform/ui/qt/OwnerModal.h"
#include "platform/ui/qt/QtDialogWindow.h"
#include "platform/ui/qt/ReportList.h"
#include "tests/support/WindowPump.h"

namespace testing_support {

namespace {

using platform::ui::qt::QtDialogWindow;
using platform::ui::qt::ReportList;
using platform::ui::qt::Widget;
using platform::ui::qt::WidgetAs;
using platform::ui::qt::WindowOf;

QLineEdit* FieldOf(const DialogBase& dialog, int id) {
    if (auto* edit = WidgetAs<QLineEdit>(dialog, id)) return edit;
    if (auto* combo = WidgetAs<QComboBox>(dialog, id)) return combo->lineEdit();
    return nullptr;
}

Qt::Key KeyOf(Press key) {
    switch (key) {
        case Press::Enter:
            return Qt::Key_Return;
        case Press::KeypadEnter:
            return Qt::Key_Enter;
        case Press::Escape:
            return Qt::Key_Escape;
        case Press::Tab:
            return Qt::Key_Tab;
        case Press::Up:
            return Qt::Key_Up;
        case Press::Down:
            return Qt::Key_Down;
        case Press::Left:
            return Qt::Key_Left;
        case Press::Right:
            return Qt::Key_Right;
    }
    return Qt::Key_unknown;
}

QAction* MenuAction(const DialogBase& dialog, unsigned code) {
    const char* name = code == kMinimiseCommand ? QtDialogWindow::kMinimiseActionName
                       : code == kCloseCommand  ? QtDialogWindow::kCloseActionName
                                                : nullptr;
    const QString objectName = name ? QString::fromLatin1(name) : QStringLiteral("CMD_%1").arg(code);
    return WindowOf(dialog).findChild<QAction*>(objectName);
}

}  // namespace

void Click(DialogBase& dialog, int id) {
    QWidget* control = Widget(dialog, id);
    if (!control || !TakesInput(dialog)) return;
    // A check box takes clicks on its box and text only.
    QPoint point = control->rect().center();
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        point = box->style()->subElementRect(QStyle::SE_CheckBoxClickRect, &option, box).center();
    }
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, point);
    PumpQueued();
}

void PressKey(DialogBase& dialog, int id, Press key) {
    dialog.Window().SetFocus(id);
    QWidget* control = Widget(dialog, id);
    if (!control) return;
    QTest::keyClick(control, KeyOf(key), key == Press::KeypadEnter ? Qt::KeypadModifier : Qt::NoModifier);
    PumpQueued();
}

void Type(DialogBase& dialog, int id, std::string_view text) {
    dialog.Window().SetFocus(id);
    QLineEdit* field = FieldOf(dialog, id);
    if (!field) return;
    field->selectAll();
    if (text.empty()) {
        QTest::keyClick(field, Qt::Key_Backspace);
    } else {
        // As typed: the box is told that it was edited.
        field->insert(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    PumpQueued();
}

int FocusedControl(const DialogBase& dialog) {
    const QWidget* focus = WindowOf(dialog).focusWidget();
    if (!focus) return -1;
    for (const platform::ControlTemplate& c : dialog.Template().controls) {
        const QWidget* control = c.id == -1 ? nullptr : Widget(dialog, c.id);
        if (control && (control == focus || control->isAncestorOf(focus))) return c.id;
    }
    return -1;
}

int Caret(const DialogBase& dialog, int id) {
    const QLineEdit* field = FieldOf(dialog, id);
    return field ? field->cursorPosition() : -1;
}

void PutCaret(DialogBase& dialog, int id, int position) {
    if (QLineEdit* field = FieldOf(dialog, id)) field->setCursorPosition(position);
}

std::string SelectedText(const DialogBase& dialog, int id) {
    const QLineEdit* field = FieldOf(dialog, id);
    return field ? field->selectedText().toStdString() : std::string();
}

void CloseWindow(DialogBase& dialog) {
    WindowOf(dialog).close();
    PumpQueued();
}

// The window manager's close comes as the close box's does.
void RequestClose(DialogBase& dialog) { CloseWindow(dialog); }

bool TakesInput(const DialogBase& dialog) {
    const QWidget* window = &WindowOf(dialog);
    // A modal window of Qt's own blocks every other one; the test's events
    // would not see that, the screen's would.
    if (const QWidget* modal = QApplication::activeModalWidget(); modal && modal != window) return false;
    return platform::ui::qt::TakesInput(window);
}

bool Minimised(const DialogBase& dialog) { return WindowOf(dialog).isMinimized(); }

std::vector<std::string> WindowMenu(const DialogBase& dialog) {
    std::vector<std::string> items;
    for (const QAction* action : WindowOf(dialog).WindowMenu()->actions()) {
        const QString name = action->objectName();
        if (action->isSeparator())
            items.push_back("-");
        else if (name == QLatin1String(QtDialogWindow::kMoveActionName))
            items.push_back("move");
        else if (name == QLatin1String(QtDialogWindow::kMinimiseActionName))
            items.push_back("minimise");
        else if (name == QLatin1String(QtDialogWindow::kCloseActionName))
            items.push_back("close");
        else
            items.push_back(action->text().toStdString());
    }
    return items;
}

void ChooseFromWindowMenu(DialogBase& dialog, unsigned code) {
    if (QAction* action = MenuAction(dialog, code)) action->trigger();
}

void DragSlider(DialogBase& dialog, int id, int position) {
    if (auto* slider = WidgetAs<QSlider>(dialog, id)) slider->setValue(position);
}

int SliderPage(const DialogBase& dialog, int id) {
    const auto* slider = WidgetAs<QSlider>(dialog, id);
    return slider ? slider->pageStep() : 0;
}

std::string ToolTipOf(const DialogBase& dialog, int id) {
    const QWidget* control = Widget(dialog, id);
    return control ? control->toolTip().toStdString() : std::string();
}

ShownFont FontOf(const DialogBase& dialog, int id) {
    const QWidget* control = Widget(dialog, id);
    if (!control) return {};
    return {control->font().family().toStdString(), control->font().pixelSize()};
}

namespace {

ReportList* ListOf(const DialogBase& dialog, int id) { return WidgetAs<ReportList>(dialog, id); }

}  // namespace

int TopRow(const DialogBase& dialog, int id) {
    const ReportList* list = ListOf(dialog, id);
    return list ? list->rowAt(0) : -1;
}

int RowsPerPage(const DialogBase& dialog, int id) {
    const ReportList* list = ListOf(dialog, id);
    if (!list) return 0;
    // Rows are scrolled whole: the list shows its last row at the bottom,
    // partly when the rows do not fill the height exactly.
    const int pitch = list->verticalHeader()->defaultSectionSize();
    return (list->viewport()->height() + pitch - 1) / pitch;
}

void ScrollListPages(DialogBase& dialog, int id, int pages) {
    ReportList* list = ListOf(dialog, id);
    if (!list) return;
    for (int i = 0; i < std::abs(pages); ++i)
        list->verticalScrollBar()->triggerAction(pages < 0 ? QAbstractSlider::SliderPageStepSub
                                                           : QAbstractSlider::SliderPageStepAdd);
    PumpQueued();
}

void ScrollListTo(DialogBase& dialog, int id, int row) {
    ReportList* list = ListOf(dialog, id);
    if (!list) return;
    list->verticalScrollBar()->setValue(row);  // a row a step
    PumpQueued();
}

std::string CellText(const DialogBase& dialog, int id, int row, int column) {
    const ReportList* list = ListOf(dialog, id);
    return list ? list->model()->index(row, column).data().toString().toStdString() : std::string();
}

void PickRow(DialogBase& dialog, int id, int row) {
    if (ReportList* list = ListOf(dialog, id)) list->selectRow(row);
}

int PickedRow(const DialogBase& dialog, int id) {
    const ReportList* list = ListOf(dialog, id);
    if (!list || !list->selectionModel()->hasSelection()) return -1;
    return list->selectionModel()->selectedRows().value(0).row();
}

struct MessageBoxes::Watch {
    Watch(const QWidget* watched, std::function<bool(const std::string&)> look)
        : owner(watched), seen(std::move(look)) {}
    const QWidget* owner;
    std::function<bool(const std::string&)> seen;
    int closed = 0;
    std::string last;
    QTimer timer;
};

MessageBoxes::MessageBoxes(const DialogBase& owner, std::function<bool(const std::string&)> seen)
    : watch_(std::make_unique<Watch>(&WindowOf(owner), std::move(seen))) {
    Watch* watch = watch_.get();
    watch->timer.setInterval(5);
    QObject::connect(&watch->timer, &QTimer::timeout, [watch] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(top);
            if (!box || !box->isVisible() || box->parentWidget() != watch->owner) continue;
            const std::string text = box->text().toStdString();
            if (watch->seen && !watch->seen(text)) continue;
            ++watch->closed;
            watch->last = text;
            box->button(QMessageBox::Ok)->click();
        }
    });
    watch->timer.start();
}

MessageBoxes::~MessageBoxes() = default;

int MessageBoxes::Closed() const { return watch_->closed; }

std::string MessageBoxes::LastText() const { return watch_->last; }

int MessageBoxes::Open() {
    int open = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) open += qobject_cast<QMessageBox*>(top) && top->isVisible();
    return open;
}

}  // namespace testing_support
