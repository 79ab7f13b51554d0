#pragma once

// What the operator reads and what a unit receives, written out once for every test of the
// front ends. A literal held here catches a typo in the program's own constant, which a test
// comparing with that constant could not.

#include <initializer_list>
#include <string>
#include <vector>

#include "../sim/SimLog.h"

namespace texts {

// Captions of 接続/切断.
inline const std::string CONNECT = "接続";
inline const std::string DISCONNECT = "切断";
inline const std::string ABORT = "中断";

inline const std::string COUNTING_ON = "PULSE COUNT ON";
inline const std::string COUNTING_OFF = "PULSE COUNT OFF";
inline const std::string NO_DEBOUNCE = "なし";  // the debounce list's first entry

inline const std::string ADDRESS_MISSING = "LAN接続の場合、接続先アドレスを設定してください。";
inline const std::string PORT_MISSING = "LAN接続の場合、接続先ポートを設定してください。";
inline const std::string SERIAL_PORT_MISSING = "接続先を選択してください。";
inline const std::string NODE_INVALID = "宛先ノードが正しくありません。";
inline const std::string NO_PULSE_INPUTS = "パルスカウント機能に対応していないモデルです。";

inline const std::string FIRST_PAIR =
    "エンコーダモードではDI1、DI2はセットで有効にする必要があります。";
inline const std::string SECOND_PAIR =
    "エンコーダモードではDI4、DI5はセットで有効にする必要があります。";
inline const std::string Z_PHASE = "Z相を有効にした場合、DI3を有効にする必要があります。";

inline const std::string INTERVAL_EMPTY = "自動更新時間を入力してください。";
inline const std::string INTERVAL_RANGE = "自動更新間隔は 1 - 3600 秒の範囲で設定してください。";

// A failed exchange: the prefix, and the message of one code.
inline const std::string COMMUNICATION_ERROR = "通信エラー : ";
inline std::string CommunicationError(int code) {
    return COMMUNICATION_ERROR + std::to_string(code);
}
inline const std::string TIMEOUT = COMMUNICATION_ERROR + "20003(タイムアウト)";

// What a connected unit shows: model, five blanks, the ID.
inline std::string DeviceInfo(const std::string& model, int id) {
    return model + "     ID : " + std::to_string(id);
}

}  // namespace texts

namespace sequences {

// Sequences one after the other.
inline std::vector<std::string> Joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> commands;
    for (const std::vector<std::string>& part : parts)
        commands.insert(commands.end(), part.begin(), part.end());
    return commands;
}

// The count requests of these inputs (0 for DI1).
inline std::vector<std::string> Counts(std::initializer_list<int> inputs) {
    std::vector<std::string> commands;
    for (int input : inputs)
        commands.push_back(Command("PG", {0x20 + input}));
    return commands;
}

// A settings read of a unit with `inputs` pulse inputs.
inline std::vector<std::string> Read(int inputs) {
    std::vector<std::string> commands{Command("PY")};
    for (int i = 0; i < inputs; ++i)
        commands.push_back(Command("PH", {0x20 + i}));
    commands.push_back(Command("PP"));
    return commands;
}

// A connection: identification, the settings read, then a count request per input (every
// input counted, as a unit's default settings have it).
inline std::vector<std::string> Connect(int inputs) {
    std::vector<std::string> commands = Joined({{Command("MD")}, Read(inputs)});
    for (int i = 0; i < inputs; ++i)
        commands.push_back(Command("PG", {0x20 + i}));
    return commands;
}

}  // namespace sequences
