#pragma once

#include <optional>
#include <string>
#include <vector>

#include "unit/UnitJson.h"
#include "unit/WritePlan.h"

// A write of settings as a front end asks for it: some settings changed, or the settings of
// another unit copied (`copy`; `change` then holds at most the counting switch).
struct SettingsWrite {
    SettingsChange change;
    std::optional<UnitSettingsFile> copy;
    bool force = false;  // write despite the clear-signal warning
};

// What the checks before a write found.
enum class WriteCheck {
    Passed,
    MissingInput,  // refused: an input the unit lacks is named
    PairSplit,     // refused: an encoder pair counted on one input only
    ForceNeeded,   // refused: the clear signal is on while DI3 does not count
    Forced,        // the same, written all the same
};

struct CheckedWrite {
    WriteCheck check = WriteCheck::Passed;
    std::string text;                  // the refusal or the warning
    std::vector<PlannedFrame> frames;  // none where refused
};

// Whether the checks refuse the write: nothing is then sent.
bool RefusesWrite(WriteCheck check);

// The checks of every settings write against what the unit holds (inputs it lacks, the encoder
// pairs, the clear signal without DI3), and the frames it sends where they pass.
CheckedWrite CheckWrite(const SettingsWrite& write, const HeldSettings& held);
