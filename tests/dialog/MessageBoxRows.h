#pragma once

// What the operator sees of an operation behind a worker's message box, while it is open and
// after it, for the core's tests and the windows' alike.

#include <ostream>
#include <string>

#include "../support/Texts.h"

// The button caption, the unit shown, the busy display, and whether 接続, 設定受信 and 設定反映
// can be pressed.
struct Look {
    std::string caption, deviceInfo;
    bool busy, connect, read, write;
    bool operator==(const Look&) const = default;
};

inline void PrintTo(const Look& look, std::ostream* out) {
    *out << "{" << look.caption << ", \"" << look.deviceInfo << "\", busy " << look.busy
         << ", buttons " << look.connect << look.read << look.write << "}";
}

struct BoxRow {
    const char* name;
    int node;
    bool readSettings;
    std::string message;
    Look during, after;
};

// Against a velkor-sim run with --drop-every 14: connecting to node 1 takes 13 replies (MD, PY,
// five PH, PP, five PG), so the settings read's "PY" is lost. Node 9 has no unit.
inline const BoxRow BOX_ROWS[] = {
    {"a model without pulse inputs",
     4,
     false,
     texts::NO_PULSE_INPUTS,
     {texts::ABORT, texts::DeviceInfo("KV-410", 4), true, true, false, false},
     {texts::CONNECT, "", false, true, false, false}},
    {"no answer to MD",
     9,
     false,
     texts::TIMEOUT,
     {texts::ABORT, "", true, true, false, false},
     {texts::CONNECT, "", false, true, false, false}},
    {"no answer to the settings read",
     1,
     true,
     texts::TIMEOUT,
     {texts::DISCONNECT, texts::DeviceInfo("KV-420", 1), false, false, false, false},
     {texts::DISCONNECT, texts::DeviceInfo("KV-420", 1), false, true, true, true}},
};
