#pragma once

// Texts that every front end shows an operator for the same situation, and the limits they name.
// UTF-8 throughout.

// Counting state of a unit.
inline constexpr const char* COUNTING_ON_TEXT = "PULSE COUNT ON";
inline constexpr const char* COUNTING_OFF_TEXT = "PULSE COUNT OFF";

// Checks of the encoder inputs before settings are written.
inline constexpr const char* FIRST_PAIR_MESSAGE =
    "エンコーダモードではDI1、DI2はセットで有効にする必要があります。";
inline constexpr const char* SECOND_PAIR_MESSAGE =
    "エンコーダモードではDI4、DI5はセットで有効にする必要があります。";
inline constexpr const char* Z_PHASE_MESSAGE =
    "Z相を有効にした場合、DI3を有効にする必要があります。";

// Count displays: an encoder pair in two-phase use (a single input is "DI" and its number).
inline constexpr const char* FIRST_PAIR_LABEL = "1-2";
inline constexpr const char* SECOND_PAIR_LABEL = "4-5";

// Validation of the route and node before connecting.
inline constexpr const char* ADDRESS_MISSING_MESSAGE =
    "LAN接続の場合、接続先アドレスを設定してください。";
inline constexpr const char* PORT_MISSING_MESSAGE =
    "LAN接続の場合、接続先ポートを設定してください。";
inline constexpr const char* SERIAL_PORT_MISSING_MESSAGE = "接続先を選択してください。";
inline constexpr const char* NODE_INVALID_MESSAGE = "宛先ノードが正しくありません。";
inline constexpr int MAX_NODE = 254;

// Identification of the connected unit: model name, five blanks, the ID.
inline constexpr const char* DEVICE_INFO_FORMAT = "%s     ID : %d";
inline constexpr const char* NO_PULSE_INPUTS_MESSAGE =
    "パルスカウント機能に対応していないモデルです。";

// Automatic count reading: interval limits and their messages.
inline constexpr int AUTO_UPDATE_MAX_SECONDS = 3600;
inline constexpr const char* INTERVAL_EMPTY_MESSAGE = "自動更新時間を入力してください。";
inline constexpr const char* INTERVAL_RANGE_FORMAT =
    "自動更新間隔は 1 - %d 秒の範囲で設定してください。";
