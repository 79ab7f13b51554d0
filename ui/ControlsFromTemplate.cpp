#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "dialog/ControlIds.h"
#include "dialog/DialogTexts.h"
#include "ui/DialogFonts.h"
#include "ui/DigitsValidator.h"
#include "ui/StaticText.h"
#include "ui/VelkorDlg.h"

namespace {

template <typename T>
T* As(QWidget* widget) {
    return qobject_cast<T*>(widget);
}

Qt::Alignment StaticTextAlignment(uint32_t style) {
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (style & ALIGN_CENTRE) horizontal = Qt::AlignHCenter;
    if (style & ALIGN_RIGHT) horizontal = Qt::AlignRight;
    return horizontal | ((style & ALIGN_VCENTRE) ? Qt::AlignVCenter : Qt::AlignTop);
}

QString CaptionOf(const TemplateEntry& entry) {
    return entry.caption ? QString::fromUtf8(entry.caption) : QString();
}

}  // namespace

void CVelkorDlg::CreateWindowFromTemplate() {
    setWindowTitle(QString::fromUtf8(DIALOG_TITLE));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(MakeDialogFont());
    baseUnits = BaseUnitsOf(font());
    setFixedSize(HorizontalPixels(DIALOG_WIDTH_DU, baseUnits),
                 VerticalPixels(DIALOG_HEIGHT_DU, baseUnits));

    std::vector<QWidget*> tabStops;
    std::vector<QWidget*> groupBoxes;
    QButtonGroup* radioGroup = nullptr;
    for (const TemplateEntry& entry : DIALOG_TEMPLATE) {
        QWidget* control = CreateControl(entry);
        control->setObjectName(QString::fromUtf8(entry.role));
        control->setProperty("controlId", entry.id);
        control->setGeometry(DialogUnitsToPixels(entry.rect, baseUnits));
        control->installEventFilter(this);
        if (entry.id == IDC_STATIC) {
            separators.push_back(control);
        } else {
            controlsById[entry.id] = control;
        }
        if (entry.kind == ControlKind::RadioButton) {
            if ((entry.style & GROUP_START) || radioGroup == nullptr) {
                radioGroup = new QButtonGroup(this);
            }
            radioGroup->addButton(As<QAbstractButton>(control), entry.id);
        }
        if (entry.kind == ControlKind::GroupBox) groupBoxes.push_back(control);
        if (entry.style & TAB_STOP) tabStops.push_back(control);
    }
    // A group box frames controls created before it as well: keep it behind all of them.
    for (QWidget* groupBox : groupBoxes)
        groupBox->lower();
    ArrangeTabOrder(tabStops);
}

QWidget* CVelkorDlg::CreateControl(const TemplateEntry& entry) {
    const QString caption = CaptionOf(entry);
    switch (entry.kind) {
        case ControlKind::StaticText:
            return new StaticText(caption, StaticTextAlignment(entry.style), this);
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(this);
            edit->setFrame(entry.style & BORDER);
            if (entry.style & DIGITS_ONLY) edit->setValidator(new DigitsValidator(edit));
            return edit;
        }
        case ControlKind::GroupBox:
            return new QGroupBox(caption, this);
        case ControlKind::RadioButton:
            return new QRadioButton(caption, this);
        case ControlKind::CheckBox:
            return new QCheckBox(caption, this);
        case ControlKind::PushButton: {
            // Return never presses a button: no button is ever the default one.
            auto* button = new QPushButton(caption, this);
            button->setAutoDefault(false);
            button->setDefault(false);
            return button;
        }
        case ControlKind::DropDownList: {
            // The rectangle's height is the opened list's; the closed box keeps its own height.
            auto* combo = new QComboBox(this);
            const int listHeight = VerticalPixels(entry.rect.height, baseUnits);
            const int closedHeight = combo->sizeHint().height();
            const int itemHeight = combo->fontMetrics().height() + 4;
            combo->setMaxVisibleItems(std::max(1, (listHeight - closedHeight) / itemHeight));
            combo->setFixedHeight(std::min(closedHeight, listHeight));
            return combo;
        }
        case ControlKind::Line: {
            auto* line = new QFrame(this);
            line->setFrameShape((entry.style & ETCHED_VERT) ? QFrame::VLine : QFrame::HLine);
            line->setFrameShadow(QFrame::Sunken);
            return line;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(this);
            bar->setTextVisible(false);
            return bar;
        }
    }
    return new QWidget(this);
}

// Tab order is template order; controls that are not tab stops take the focus only by click
// (the other radio buttons of a group) or not at all (texts, frames, lines).
void CVelkorDlg::ArrangeTabOrder(const std::vector<QWidget*>& tabStops) {
    for (const TemplateEntry& entry : DIALOG_TEMPLATE) {
        QWidget* control = entry.id == IDC_STATIC ? nullptr : controlsById.at(entry.id);
        if (control == nullptr || (entry.style & TAB_STOP)) continue;
        const bool button = entry.kind == ControlKind::RadioButton;
        control->setFocusPolicy(button ? Qt::ClickFocus : Qt::NoFocus);
    }
    for (QWidget* separator : separators)
        separator->setFocusPolicy(Qt::NoFocus);
    for (size_t i = 0; i < tabStops.size(); ++i)
        tabStops[i]->setFocusPolicy(Qt::StrongFocus);
    for (size_t i = 1; i < tabStops.size(); ++i)
        setTabOrder(tabStops[i - 1], tabStops[i]);
}

QWidget* CVelkorDlg::Control(int32_t id) const {
    const auto found = controlsById.find(id);
    return found == controlsById.end() ? nullptr : found->second;
}
