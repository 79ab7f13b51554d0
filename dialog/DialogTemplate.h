#pragma once

#include <array>
#include <cstdint>

#include "dialog/ControlIds.h"

// The main dialog's template: every control with its identifier, kind, caption, role and
// rectangle in dialog units, in template order, which is also the tab order and the order in
// which the dialog creates its controls.

enum class ControlKind {
    StaticText,
    Edit,
    GroupBox,
    RadioButton,
    CheckBox,
    PushButton,
    DropDownList,  // height of the rectangle = height of the opened list
    Line,          // etched separator, horizontal or vertical
    ProgressBar,
};

// Style flags of a template entry.
enum ControlStyle : uint32_t {
    STYLE_NONE = 0,
    ALIGN_CENTRE = 1u << 0,   // static text centred (otherwise left)
    ALIGN_RIGHT = 1u << 1,    // static text right-aligned
    ALIGN_VCENTRE = 1u << 2,  // static text vertically centred (otherwise at the top)
    DIGITS_ONLY = 1u << 3,    // edit refuses every character but 0 to 9
    MULTI_LINE = 1u << 4,     // button caption over several lines
    GROUP_START = 1u << 5,    // first radio button of a group
    ETCHED_HORZ = 1u << 6,    // horizontal separator
    ETCHED_VERT = 1u << 7,    // vertical separator
    BORDER = 1u << 8,         // framed edit or progress bar
    AUTO_SCROLL = 1u << 9,    // edit scrolls horizontally past its width
    TAB_STOP = 1u << 10,      // reached by the Tab key
};

// A rectangle in dialog units: x, y, width, height.
struct DialogUnitRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

struct TemplateEntry {
    int32_t id;  // IDC_STATIC for the separator lines
    ControlKind kind;
    const char* caption;  // nullptr: none
    const char* role;     // name of the control's role; per-input roles carry their input
    DialogUnitRect rect;
    uint32_t style;  // ControlStyle flags
};

constexpr int TEMPLATE_CONTROL_COUNT = 60;
extern const std::array<TemplateEntry, TEMPLATE_CONTROL_COUNT> DIALOG_TEMPLATE;

// Client area of the dialog in dialog units.
constexpr int32_t DIALOG_WIDTH_DU = 311;
constexpr int32_t DIALOG_HEIGHT_DU = 447;

// The dialog font and the font of the count labels and values, as the template names them.
inline constexpr const char* DIALOG_FONT_FACE = "MS UI Gothic";
constexpr int DIALOG_FONT_POINTS = 9;
inline constexpr const char* COUNT_FONT_FACE = "ＭＳ ゴシック";
constexpr int COUNT_FONT_TENTHS_OF_POINT = 180;

// Most characters an edit takes.
struct EditTextLimit {
    int32_t id;
    int32_t characters;
};
constexpr std::array<EditTextLimit, 3> EDIT_TEXT_LIMITS = {
    {{IDC_ADDRESS_EDIT, 64}, {IDC_TCP_PORT_EDIT, 5}, {IDC_NODE_EDIT, 3}}};

// The template entry of an identifier; nullptr when there is none.
const TemplateEntry* TemplateEntryOf(int32_t id);
