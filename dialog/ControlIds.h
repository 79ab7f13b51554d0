#pragma once

#include <array>
#include <cstdint>

// Identifiers of the main dialog's controls. The separator lines have no identifier of their own.
enum ControlId : int32_t {
    IDC_STATIC = -1,

    IDC_NODE_EDIT = 1000,
    IDC_CONNECT_BUTTON = 1001,
    IDC_ENABLE_CHECK = 1002,
    IDC_LAN_RADIO = 1003,
    IDC_PORT_COMBO = 1004,
    IDC_USB_RADIO = 1005,
    IDC_SINGLE_PHASE_RADIO = 1006,
    IDC_TWO_PHASE_RADIO = 1007,
    IDC_X2_RADIO = 1008,
    IDC_X4_RADIO = 1009,
    IDC_ADDRESS_EDIT = 1010,
    IDC_TCP_PORT_EDIT = 1011,
    IDC_CLEAR_SIGNAL_CHECK = 1012,
    IDC_PERIOD_COMBO = 1013,
    IDC_DEBOUNCE_COMBO = 1014,
    IDC_READ_SETTINGS_BUTTON = 1015,
    IDC_WRITE_SETTINGS_BUTTON = 1016,
    IDC_START_STOP_BUTTON = 1017,
    IDC_COUNT_STATUS_TEXT = 1018,
    IDC_READ_COUNTS_BUTTON = 1019,
    IDC_AUTO_UPDATE_CHECK = 1020,
    IDC_INTERVAL_EDIT = 1021,
    IDC_NODE_LABEL = 1022,
    IDC_ROUTE_GROUP = 1023,
    IDC_ADDRESS_LABEL = 1024,
    IDC_PORT_LABEL = 1025,
    IDC_SETTINGS_GROUP = 1026,
    IDC_PERIOD_LABEL = 1027,
    IDC_DEBOUNCE_LABEL = 1028,
    IDC_INTERVAL_LABEL = 1029,
    IDC_SECONDS_LABEL = 1030,
    IDC_EDGE_COMBO_DI1 = 1031,
    IDC_EDGE_LABEL_DI1 = 1032,
    IDC_EDGE_LABEL_DI2 = 1033,
    IDC_EDGE_COMBO_DI2 = 1034,
    IDC_EDGE_LABEL_DI3 = 1035,
    IDC_EDGE_COMBO_DI3 = 1036,
    IDC_EDGE_LABEL_DI4 = 1037,
    IDC_EDGE_COMBO_DI4 = 1038,
    IDC_EDGE_LABEL_DI5 = 1039,
    IDC_EDGE_COMBO_DI5 = 1040,
    IDC_PROGRESS_BAR = 1041,
    IDC_DEVICE_INFO_TEXT = 1042,
    IDC_COUNT_VALUE_DI1 = 1046,
    IDC_COUNT_VALUE_DI2 = 1047,
    IDC_COUNT_VALUE_DI3 = 1050,
    IDC_COUNT_VALUE_DI4 = 1051,
    IDC_COUNT_LABEL_DI1 = 1052,
    IDC_COUNT_VALUE_DI5 = 1053,
    IDC_COUNT_LABEL_DI2 = 1056,
    IDC_COUNT_LABEL_DI3 = 1057,
    IDC_COUNT_LABEL_DI4 = 1058,
    IDC_COUNT_LABEL_DI5 = 1059,
    IDC_VERSION_TEXT = 1062,
};

// Per-input controls, indexed by input (DI1 is index 0).
inline constexpr std::array<int32_t, 5> IDC_EDGE_COMBO = {IDC_EDGE_COMBO_DI1, IDC_EDGE_COMBO_DI2,
                                                          IDC_EDGE_COMBO_DI3, IDC_EDGE_COMBO_DI4,
                                                          IDC_EDGE_COMBO_DI5};
inline constexpr std::array<int32_t, 5> IDC_EDGE_LABEL = {IDC_EDGE_LABEL_DI1, IDC_EDGE_LABEL_DI2,
                                                          IDC_EDGE_LABEL_DI3, IDC_EDGE_LABEL_DI4,
                                                          IDC_EDGE_LABEL_DI5};
inline constexpr std::array<int32_t, 5> IDC_COUNT_LABEL = {IDC_COUNT_LABEL_DI1, IDC_COUNT_LABEL_DI2,
                                                           IDC_COUNT_LABEL_DI3, IDC_COUNT_LABEL_DI4,
                                                           IDC_COUNT_LABEL_DI5};
inline constexpr std::array<int32_t, 5> IDC_COUNT_VALUE = {IDC_COUNT_VALUE_DI1, IDC_COUNT_VALUE_DI2,
                                                           IDC_COUNT_VALUE_DI3, IDC_COUNT_VALUE_DI4,
                                                           IDC_COUNT_VALUE_DI5};

// The static texts of the connection area and of the settings and count area, which the
// control-state rules enable and disable as a block.
inline constexpr std::array<int32_t, 4> IDC_ROUTE_TEXTS = {IDC_NODE_LABEL, IDC_ROUTE_GROUP,
                                                           IDC_ADDRESS_LABEL, IDC_PORT_LABEL};
inline constexpr std::array<int32_t, 5> IDC_SETTINGS_TEXTS = {
    IDC_SETTINGS_GROUP, IDC_PERIOD_LABEL, IDC_DEBOUNCE_LABEL, IDC_INTERVAL_LABEL,
    IDC_SECONDS_LABEL};

// The dialog's one timer: auto-update of the count values.
constexpr int32_t AUTO_UPDATE_TIMER_ID = 1000;
