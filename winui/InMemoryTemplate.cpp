#include "winui/InMemoryTemplate.h"

#include <commctrl.h>

#include "dialog/DialogTexts.h"
#include "winui/WideText.h"

namespace {

// The ordinals by which a template names the predefined control classes.
constexpr WORD BUTTON_CLASS = 0x0080;
constexpr WORD EDIT_CLASS = 0x0081;
constexpr WORD STATIC_CLASS = 0x0082;
constexpr WORD COMBO_BOX_CLASS = 0x0085;

// A popup with caption, system menu and minimise box, a modal frame, not resizable, with a
// taskbar button of its own.
constexpr DWORD DIALOG_STYLE =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT;
constexpr DWORD DIALOG_EX_STYLE = WS_EX_APPWINDOW;

DWORD StaticStyle(unsigned flags) {
    DWORD style = SS_NOPREFIX;
    if (flags & ALIGN_CENTRE) style |= SS_CENTER;
    if (flags & ALIGN_RIGHT) style |= SS_RIGHT;
    // One line, centred in the height: the count rows and the edge labels.
    if (flags & ALIGN_VCENTRE) style |= SS_CENTERIMAGE;
    return style;
}

DWORD KindStyle(const TemplateEntry& entry) {
    const unsigned flags = entry.style;
    switch (entry.kind) {
        case ControlKind::StaticText:
            return StaticStyle(flags);
        case ControlKind::Edit:
            return ES_LEFT | ((flags & AUTO_SCROLL) ? ES_AUTOHSCROLL : 0) |
                   ((flags & DIGITS_ONLY) ? ES_NUMBER : 0);
        case ControlKind::GroupBox:
            return BS_GROUPBOX;
        case ControlKind::RadioButton:
            return BS_AUTORADIOBUTTON | ((flags & MULTI_LINE) ? BS_MULTILINE : 0);
        case ControlKind::CheckBox:
            return BS_AUTOCHECKBOX;
        case ControlKind::PushButton:
            return BS_PUSHBUTTON;
        case ControlKind::DropDownList:
            return CBS_DROPDOWNLIST | WS_VSCROLL;
        case ControlKind::Line:
            return (flags & ETCHED_VERT) ? SS_ETCHEDVERT : SS_ETCHEDHORZ;
        case ControlKind::ProgressBar:
            return PBS_MARQUEE;
    }
    return 0;
}

// A radio group runs from its first button up to the next control that starts a group, so every
// control that is not a radio button starts one: the groups then hold their buttons only.
bool StartsGroup(const TemplateEntry& entry) {
    return (entry.style & GROUP_START) || entry.kind != ControlKind::RadioButton;
}

}  // namespace

DWORD Win32StyleOf(const TemplateEntry& entry) {
    return WS_CHILD | WS_VISIBLE | KindStyle(entry) | ((entry.style & BORDER) ? WS_BORDER : 0) |
           ((entry.style & TAB_STOP) ? WS_TABSTOP : 0) | (StartsGroup(entry) ? WS_GROUP : 0);
}

InMemoryTemplate::InMemoryTemplate() {
    words_ = {1, 0xFFFF};  // version and signature of the extended template
    AppendDword(0);        // help id
    AppendDword(DIALOG_EX_STYLE);
    AppendDword(DIALOG_STYLE);
    words_.push_back(static_cast<WORD>(DIALOG_TEMPLATE.size()));
    for (WORD word : {0, 0, DIALOG_WIDTH_DU, DIALOG_HEIGHT_DU})
        words_.push_back(word);
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the dialog class
    AppendText(Widened(DIALOG_TITLE));
    words_.push_back(static_cast<WORD>(DIALOG_FONT_POINTS));
    words_.push_back(FW_NORMAL);
    words_.push_back(MAKEWORD(FALSE, SHIFTJIS_CHARSET));  // not italic; the Japanese character set
    AppendText(Widened(DIALOG_FONT_FACE));
    for (const TemplateEntry& entry : DIALOG_TEMPLATE)
        AppendControl(entry);
}

void InMemoryTemplate::AppendControl(const TemplateEntry& entry) {
    AlignToDword();
    AppendDword(0);  // help id
    AppendDword(0);  // extended style
    AppendDword(Win32StyleOf(entry));
    const DialogUnitRect& r = entry.rect;
    for (int32_t value : {r.x, r.y, r.width, r.height}) {
        words_.push_back(static_cast<WORD>(static_cast<int16_t>(value)));
    }
    AppendDword(static_cast<DWORD>(entry.id));
    switch (entry.kind) {
        case ControlKind::StaticText:
        case ControlKind::Line:
            words_.insert(words_.end(), {0xFFFF, STATIC_CLASS});
            break;
        case ControlKind::Edit:
            words_.insert(words_.end(), {0xFFFF, EDIT_CLASS});
            break;
        case ControlKind::DropDownList:
            words_.insert(words_.end(), {0xFFFF, COMBO_BOX_CLASS});
            break;
        case ControlKind::ProgressBar:
            AppendText(PROGRESS_CLASSW);
            break;
        default:
            words_.insert(words_.end(), {0xFFFF, BUTTON_CLASS});
            break;
    }
    AppendText(entry.caption ? Widened(entry.caption) : std::wstring());
    words_.push_back(0);  // no creation data
}

void InMemoryTemplate::AppendDword(DWORD value) {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
}

void InMemoryTemplate::AppendText(const std::wstring& text) {
    for (wchar_t c : text)
        words_.push_back(static_cast<WORD>(c));
    words_.push_back(0);
}

void InMemoryTemplate::AlignToDword() {
    if (words_.size() % 2 != 0) words_.push_back(0);
}
