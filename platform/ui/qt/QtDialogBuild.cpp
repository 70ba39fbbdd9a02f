// Building a dialog's widgets from its template.
#include "platform/ui/qt/QtDialogWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <algorithm>

#include "platform/ui/qt/AccessibleNames.h"
#include "platform/ui/qt/DropDownCombo.h"
#include "platform/ui/qt/EditPanelStyle.h"
#include "platform/ui/qt/ReportList.h"
#include "platform/ui/qt/StripChart.h"
#include "platform/ui/qt/UpDownControl.h"
#include "platform/ui/qt/WrappingCheckBox.h"

namespace platform::ui::qt {

namespace {

using platform::ControlKind;
using platform::ControlTemplate;

// The application icon as a static icon control shows it.
constexpr int kIconExtent = 32;

Qt::Alignment HorizontalAlignment(unsigned style) {
    if (style & platform::kCentred) return Qt::AlignHCenter;
    if (style & platform::kRightAligned) return Qt::AlignRight;
    return Qt::AlignLeft;
}

// A trackbar's page is a fifth of its range.
void KeepPageAFifth(QSlider* slider) { slider->setPageStep(std::max(1, (slider->maximum() - slider->minimum()) / 5)); }

}  // namespace

void QtDialogWindow::Build() {
    RegisterDialogFontSubstitutes();
    if (tmpl_.name) setObjectName(QString::fromUtf8(tmpl_.name));
    setWindowTitle(QString::fromUtf8(tmpl_.title ? tmpl_.title : ""));

    Qt::WindowFlags flags = (parentWidget() ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (tmpl_.minimiseBox) flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);

    if (tmpl_.fontFace) {
        QFont dialogFont(QString::fromUtf8(tmpl_.fontFace));
        if (tmpl_.pointSize > 0) dialogFont.setPointSize(tmpl_.pointSize);
        setFont(dialogFont);
    }
    units_ = DialogUnits::ForFont(font());
    setFixedSize(units_.X(tmpl_.w), units_.Y(tmpl_.h));

    const std::vector<QString> names = AccessibleNames(tmpl_);
    QWidget* previousStop = nullptr;
    for (std::size_t i = 0; i < tmpl_.controls.size(); ++i) {
        const ControlTemplate& c = tmpl_.controls[i];
        QWidget* control = CreateControl(c);
        if (c.name) {
            control->setObjectName(QString::fromUtf8(c.name));
            // A chart's description is what it shows.
            if (c.kind != ControlKind::Chart) control->setAccessibleDescription(QString::fromUtf8(c.name));
        }
        control->setAccessibleName(names[i].isEmpty() ? windowTitle() : names[i]);
        if (c.style & platform::kHidden) control->setHidden(true);
        if (c.style & platform::kDisabled) control->setEnabled(false);
        if (c.id != -1) controls_[c.id] = control;
        templateOrder_.push_back(control);

        if (control->focusPolicy() != Qt::NoFocus) {
            if (previousStop) setTabOrder(previousStop, control);
            previousStop = control;
        }
    }
    BuildWindowMenu();
}

namespace {

// A fixed caption drawn with the Linux stand-in fonts can come out a little
// wider than its template rectangle, which was measured with the Windows
// font; shrink it a step at a time (to 75 % at most) rather than clip it.
void FitCaption(QLabel* label, const QRect& rect) {
    QFont font = label->font();
    const qreal size = font.pointSizeF();
    if (size <= 0) return;
    for (qreal step = size; step >= size * 0.75; step -= 0.25) {
        font.setPointSizeF(step);
        const QRect needed =
            QFontMetrics(font).boundingRect(QRect(0, 0, rect.width(), 10000), Qt::TextWordWrap, label->text());
        if (needed.width() <= rect.width() && needed.height() <= rect.height()) {
            if (step < size) label->setFont(font);
            return;
        }
    }
}

}  // namespace

QWidget* QtDialogWindow::CreateControl(const platform::ControlTemplate& c) {
    const QString caption = c.caption ? QString::fromUtf8(c.caption) : QString();
    const QRect rect = units_.Map(c.x, c.y, c.w, c.h);
    const int id = c.id;

    switch (c.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(caption, this);
            if (c.kind == ControlKind::DefPushButton) button->setDefault(true);
            connect(button, &QAbstractButton::clicked, this,
                    [this, id] { owner_.WindowNotify(Notification::Clicked, id, 0); });
            button->setGeometry(rect);
            return button;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(StripMnemonics(caption), this);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            label->setAlignment(HorizontalAlignment(c.style) | Qt::AlignTop);
            label->setGeometry(rect);
            if (id == -1) {
                FitCaption(label, rect);
            } else {
                // A label whose text the program changes paints its own
                // background, so that a new text repaints the label alone
                // rather than the dialog behind it as well.
                label->setAutoFillBackground(true);
            }
            return label;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(caption, this);
            edit->setReadOnly(c.style & platform::kReadOnly);
            edit->setAlignment(HorizontalAlignment(c.style) | Qt::AlignVCenter);
            edit->setFrame(c.style & platform::kBorder);
            edit->setStyle(EditPanelStyle());
            edit->setGeometry(rect);
            return edit;
        }
        case ControlKind::CheckBox: {
            QCheckBox* box = (c.style & platform::kWrap)
                                 ? new WrappingCheckBox(caption, c.style & platform::kTopAligned, this)
                                 : new QCheckBox(caption, this);
            // Any change of the tick by the user -- mouse, keyboard or an
            // assistive tool's toggle action, which emits no clicked -- reaches
            // the handler after the state has changed, as BN_CLICKED does. The
            // dialog's own pushes run inside an exchange and notify nothing.
            connect(box, &QAbstractButton::toggled, this,
                    [this, id] { owner_.WindowNotify(Notification::Clicked, id, 0); });
            box->setGeometry(rect);
            return box;
        }
        case ControlKind::ComboBox: {
            auto* combo = new DropDownCombo(this);
            for (const char* item : c.items) combo->addItem(QString::fromUtf8(item));
            combo->setCurrentIndex(-1);  // a new list has no selection
            // The template's height counts the dropped list; the field keeps its own.
            const int fieldHeight = std::min(combo->sizeHint().height(), rect.height());
            combo->setGeometry(rect.x(), rect.y(), rect.width(), fieldHeight);
            const int itemHeight = std::max(1, combo->fontMetrics().height() + 2);
            combo->setMaxVisibleItems(std::max(1, (rect.height() - fieldHeight) / itemHeight));
            combo->installEventFilter(this);
            return combo;
        }
        case ControlKind::Slider: {
            auto* slider = new QSlider(Qt::Horizontal, this);
            slider->setRange(0, 100);
            KeepPageAFifth(slider);
            if (c.style & platform::kTickMarks) {
                slider->setTickPosition(QSlider::TicksBothSides);
                slider->setTickInterval(1);
            }
            connect(slider, &QSlider::valueChanged, this, [this, id] { owner_.WindowSliderMoved(id); });
            connect(slider, &QSlider::rangeChanged, this, [this, slider, id] {
                KeepPageAFifth(slider);
                owner_.WindowSliderMoved(id);
            });
            slider->setGeometry(rect);
            return slider;
        }
        case ControlKind::UpDown: {
            auto* upDown =
                new UpDownControl(QString::fromUtf8(c.name ? c.name : ""), c.style & platform::kArrowKeys, this);
            connect(upDown, &UpDownControl::deltaPos, this,
                    [this, id](int delta) { owner_.WindowNotify(Notification::UpDownStep, id, delta); });
            upDown->setGeometry(rect);
            return upDown;
        }
        case ControlKind::Icon: {
            auto* icon = new QLabel(this);
            icon->setPixmap(windowIcon().pixmap(kIconExtent, kIconExtent));
            icon->setGeometry(rect.x(), rect.y(), kIconExtent, kIconExtent);
            return icon;
        }
        case ControlKind::List: {
            auto* list = new ReportList([this, id](int row) { return owner_.WindowListRow(id, row); }, this);
            if (!(c.style & platform::kBorder)) list->setFrameShape(QFrame::NoFrame);
            list->setGeometry(rect);
            return list;
        }
        case ControlKind::Chart: {
            auto* chart = new StripChart(this);
            if (c.style & platform::kBorder) chart->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
            chart->setGeometry(rect);
            return chart;
        }
    }
    return new QWidget(this);
}

void QtDialogWindow::RefreshIcons() {
    for (std::size_t i = 0; i < tmpl_.controls.size() && i < templateOrder_.size(); ++i) {
        if (tmpl_.controls[i].kind != ControlKind::Icon) continue;
        if (auto* icon = qobject_cast<QLabel*>(templateOrder_[i]))
            icon->setPixmap(windowIcon().pixmap(kIconExtent, kIconExtent));
    }
}

void QtDialogWindow::FocusFirstControl() {
    for (QWidget* control : templateOrder_) {
        if ((control->focusPolicy() & Qt::TabFocus) && control->isEnabled() && control->isVisibleTo(this)) {
            // As the dialog manager does: an edit box taking the focus has its text selected.
            control->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

}  // namespace platform::ui::qt
