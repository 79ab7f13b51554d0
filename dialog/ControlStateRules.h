#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "dialog/DialogState.h"

// What the rules make of one control; an empty field leaves that property as it is.
struct ControlState {
    std::optional<bool> enabled;
    std::optional<bool> shown;
};

// The enabled and shown state of every control the rules touch, and the few texts they set.
struct ControlStates {
    std::map<int32_t, ControlState> controls;  // by control identifier
    const char* connectCaption = nullptr;      // ConnectButton; nullptr: untouched
    const char* twoPhaseCaption = nullptr;     // TwoPhaseRadio; nullptr: untouched
    bool clearDeviceInfo = false;              // DeviceInfoText emptied
    bool clearCountValues = false;             // every CountValue emptied
    bool debounceToFirst = false;              // DebounceCombo back to its first entry ("なし")

    // The state of a control; both fields empty for one the rules do not touch.
    ControlState Of(int32_t id) const;
};

// The control-state rules: a pure function of the dialog's state, so running them twice gives
// what running them once gives. A button whose click must not act in a state is disabled in it.
ControlStates ControlStatesOf(const DialogState& state);
