#pragma once

// Texts of the main dialog that more than one operation writes. UTF-8 throughout.

inline constexpr const char* DIALOG_TITLE = "Velkor";

// ConnectButton by connection state.
inline constexpr const char* CONNECT_CAPTION = "接続";
inline constexpr const char* DISCONNECT_CAPTION = "切断";
inline constexpr const char* ABORT_CAPTION = "中断";

// TwoPhaseRadio: one pair (DI1/DI2) or both pairs (also DI4/DI5) of encoder inputs. A line feed
// alone breaks the lines; the lines after the first start with two blanks.
inline constexpr const char* TWO_PHASE_SHORT_CAPTION = "2相カウント\n  DI1/DI2 : A相/B相";
inline constexpr const char* TWO_PHASE_LONG_CAPTION =
    "2相カウント\n  DI1/DI2 : A相/B相\n  DI4/DI5 : A相/B相";

// TcpPortEdit and IntervalEdit when the dialog opens.
inline constexpr const char* DEFAULT_TCP_PORT = "10003";
inline constexpr const char* DEFAULT_INTERVAL = "10";

// Filled into every CountValue while the dialog opens: the widest count text.
inline constexpr const char* WIDEST_COUNT_TEXT = "4294967295";
