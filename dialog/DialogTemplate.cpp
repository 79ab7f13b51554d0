#include "dialog/DialogTemplate.h"

#include "dialog/ControlIds.h"
#include "dialog/DialogTexts.h"

namespace {

using K = ControlKind;

constexpr uint32_t EDIT_STYLE = BORDER | AUTO_SCROLL | TAB_STOP;
constexpr uint32_t LEFT_VCENTRE = ALIGN_VCENTRE;
constexpr uint32_t RIGHT_VCENTRE = ALIGN_RIGHT | ALIGN_VCENTRE;

}  // namespace

// clang-format off
const std::array<TemplateEntry, TEMPLATE_CONTROL_COUNT> DIALOG_TEMPLATE = {{
    {IDC_NODE_LABEL, K::StaticText, "接続先ノード (0-254) :", "NodeLabel", {10, 12, 64, 8}, STYLE_NONE},
    {IDC_NODE_EDIT, K::Edit, nullptr, "NodeEdit", {80, 10, 40, 14}, EDIT_STYLE},
    {IDC_ROUTE_GROUP, K::GroupBox, "ゲートウェイを選択", "RouteGroup", {10, 30, 290, 50}, STYLE_NONE},
    {IDC_LAN_RADIO, K::RadioButton, "LAN接続", "LanRadio", {15, 45, 42, 10}, GROUP_START | TAB_STOP},
    {IDC_USB_RADIO, K::RadioButton, "USB接続", "UsbRadio", {15, 60, 43, 10}, STYLE_NONE},
    {IDC_ADDRESS_EDIT, K::Edit, nullptr, "AddressEdit", {91, 45, 124, 14}, EDIT_STYLE},
    {IDC_TCP_PORT_EDIT, K::Edit, nullptr, "TcpPortEdit", {260, 45, 30, 14}, EDIT_STYLE | DIGITS_ONLY},
    {IDC_PORT_COMBO, K::DropDownList, nullptr, "PortCombo", {66, 60, 224, 290}, TAB_STOP},
    {IDC_CONNECT_BUTTON, K::PushButton, CONNECT_CAPTION, "ConnectButton", {255, 85, 50, 14}, TAB_STOP},
    {IDC_ADDRESS_LABEL, K::StaticText, "アドレス :", "AddressLabel", {65, 47, 25, 8}, STYLE_NONE},
    {IDC_PORT_LABEL, K::StaticText, "ポート番号 :", "PortLabel", {225, 47, 34, 8}, STYLE_NONE},
    {IDC_STATIC, K::Line, nullptr, "separator", {5, 110, 300, 1}, ETCHED_HORZ},
    {IDC_ENABLE_CHECK, K::CheckBox, "有効", "EnableCheck", {20, 151, 30, 10}, TAB_STOP},
    {IDC_SINGLE_PHASE_RADIO, K::RadioButton, "単相(通常)カウント", "SinglePhaseRadio", {30, 165, 68, 10}, GROUP_START | TAB_STOP},
    {IDC_TWO_PHASE_RADIO, K::RadioButton, "2相カウント\n  DI1/DI2 : A相/B相 \n  DI4/DI5 : A相/B相", "TwoPhaseRadio", {30, 180, 85, 25}, MULTI_LINE},
    {IDC_X2_RADIO, K::RadioButton, "2逓倍カウント", "X2Radio", {45, 210, 53, 10}, GROUP_START | TAB_STOP},
    {IDC_X4_RADIO, K::RadioButton, "4逓倍カウント", "X4Radio", {45, 225, 53, 10}, STYLE_NONE},
    {IDC_CLEAR_SIGNAL_CHECK, K::CheckBox, "クリア信号有効 ( DI3 : Z相 )", "ClearSignalCheck", {45, 240, 95, 10}, TAB_STOP},
    {IDC_PERIOD_LABEL, K::StaticText, "計数期間 :", "PeriodLabel", {20, 277, 32, 8}, STYLE_NONE},
    {IDC_PERIOD_COMBO, K::DropDownList, nullptr, "PeriodCombo", {60, 275, 60, 175}, TAB_STOP},
    {IDC_DEBOUNCE_LABEL, K::StaticText, "チャタリング除去 :", "DebounceLabel", {155, 277, 47, 8}, STYLE_NONE},
    {IDC_DEBOUNCE_COMBO, K::DropDownList, nullptr, "DebounceCombo", {205, 275, 60, 175}, TAB_STOP},
    {IDC_SETTINGS_GROUP, K::GroupBox, "パルスカウント設定", "SettingsGroup", {10, 135, 295, 165}, STYLE_NONE},
    {IDC_READ_SETTINGS_BUTTON, K::PushButton, "設定受信", "ReadSettingsButton", {195, 120, 50, 14}, TAB_STOP},
    {IDC_WRITE_SETTINGS_BUTTON, K::PushButton, "設定反映", "WriteSettingsButton", {255, 120, 50, 14}, TAB_STOP},
    {IDC_COUNT_STATUS_TEXT, K::StaticText, "PULSE COUNT OFF", "CountStatusText", {15, 315, 185, 8}, ALIGN_CENTRE},
    {IDC_START_STOP_BUTTON, K::PushButton, "Start / Stop", "StartStopButton", {210, 305, 90, 30}, TAB_STOP},
    {IDC_STATIC, K::Line, nullptr, "separator", {5, 345, 295, 1}, ETCHED_HORZ},
    {IDC_READ_COUNTS_BUTTON, K::PushButton, "カウント値受信", "ReadCountsButton", {5, 355, 50, 14}, TAB_STOP},
    {IDC_STATIC, K::Line, nullptr, "separator", {60, 355, 1, 59}, ETCHED_VERT},
    {IDC_AUTO_UPDATE_CHECK, K::CheckBox, "自動更新", "AutoUpdateCheck", {5, 380, 43, 10}, TAB_STOP},
    {IDC_INTERVAL_LABEL, K::StaticText, "更新間隔", "IntervalLabel", {5, 400, 28, 8}, STYLE_NONE},
    {IDC_INTERVAL_EDIT, K::Edit, nullptr, "IntervalEdit", {5, 410, 30, 14}, EDIT_STYLE | DIGITS_ONLY},
    {IDC_SECONDS_LABEL, K::StaticText, "秒", "SecondsLabel", {40, 413, 15, 8}, STYLE_NONE},
    {IDC_COUNT_VALUE_DI1, K::StaticText, "DI1", "CountValue DI1", {95, 355, 75, 15}, RIGHT_VCENTRE},
    {IDC_COUNT_LABEL_DI1, K::StaticText, "DI1", "CountLabel DI1", {65, 355, 25, 15}, LEFT_VCENTRE},
    {IDC_COUNT_VALUE_DI2, K::StaticText, "DI2", "CountValue DI2", {215, 355, 75, 15}, RIGHT_VCENTRE},
    {IDC_COUNT_LABEL_DI2, K::StaticText, "DI2", "CountLabel DI2", {185, 355, 23, 15}, LEFT_VCENTRE},
    {IDC_COUNT_VALUE_DI3, K::StaticText, "DI3", "CountValue DI3", {95, 375, 75, 15}, RIGHT_VCENTRE},
    {IDC_COUNT_LABEL_DI3, K::StaticText, "DI3", "CountLabel DI3", {65, 375, 25, 15}, LEFT_VCENTRE},
    {IDC_COUNT_VALUE_DI4, K::StaticText, "DI4", "CountValue DI4", {215, 375, 75, 15}, RIGHT_VCENTRE},
    {IDC_COUNT_LABEL_DI4, K::StaticText, "DI4", "CountLabel DI4", {185, 375, 23, 15}, LEFT_VCENTRE},
    {IDC_COUNT_VALUE_DI5, K::StaticText, "DI5", "CountValue DI5", {95, 395, 75, 15}, RIGHT_VCENTRE},
    {IDC_COUNT_LABEL_DI5, K::StaticText, "DI5", "CountLabel DI5", {65, 395, 25, 15}, LEFT_VCENTRE},
    {IDC_VERSION_TEXT, K::StaticText, "Static", "VersionText", {160, 435, 145, 8}, ALIGN_RIGHT},
    {IDC_STATIC, K::Line, nullptr, "separator", {180, 355, 1, 59}, ETCHED_VERT},
    {IDC_STATIC, K::Line, nullptr, "separator", {205, 165, 1, 95}, ETCHED_VERT},
    {IDC_EDGE_LABEL_DI1, K::StaticText, "DI1 :", "EdgeLabel DI1", {220, 165, 15, 13}, LEFT_VCENTRE},
    {IDC_EDGE_COMBO_DI1, K::DropDownList, nullptr, "EdgeCombo DI1", {235, 165, 60, 80}, TAB_STOP},
    {IDC_EDGE_LABEL_DI2, K::StaticText, "DI2 :", "EdgeLabel DI2", {220, 185, 15, 13}, LEFT_VCENTRE},
    {IDC_EDGE_COMBO_DI2, K::DropDownList, nullptr, "EdgeCombo DI2", {235, 185, 60, 80}, TAB_STOP},
    {IDC_EDGE_LABEL_DI3, K::StaticText, "DI3 :", "EdgeLabel DI3", {220, 205, 15, 13}, LEFT_VCENTRE},
    {IDC_EDGE_COMBO_DI3, K::DropDownList, nullptr, "EdgeCombo DI3", {235, 205, 60, 80}, TAB_STOP},
    {IDC_EDGE_LABEL_DI4, K::StaticText, "DI4 :", "EdgeLabel DI4", {220, 225, 15, 13}, LEFT_VCENTRE},
    {IDC_EDGE_COMBO_DI4, K::DropDownList, nullptr, "EdgeCombo DI4", {235, 225, 60, 80}, TAB_STOP},
    {IDC_EDGE_LABEL_DI5, K::StaticText, "DI5 :", "EdgeLabel DI5", {220, 245, 15, 13}, LEFT_VCENTRE},
    {IDC_EDGE_COMBO_DI5, K::DropDownList, nullptr, "EdgeCombo DI5", {235, 245, 60, 80}, TAB_STOP},
    {IDC_STATIC, K::Line, nullptr, "separator", {15, 265, 280, 1}, ETCHED_HORZ},
    {IDC_PROGRESS_BAR, K::ProgressBar, nullptr, "ProgressBar", {5, 430, 295, 14}, BORDER},
    {IDC_DEVICE_INFO_TEXT, K::StaticText, "スタティック", "DeviceInfoText", {10, 120, 175, 8}, STYLE_NONE},
}};
// clang-format on

const TemplateEntry* TemplateEntryOf(int32_t id) {
    if (id == IDC_STATIC) return nullptr;
    for (const TemplateEntry& entry : DIALOG_TEMPLATE) {
        if (entry.id == id) return &entry;
    }
    return nullptr;
}
