#pragma once

#include <cstdint>

// Connection state of the dialog.
enum ConnectionState : int32_t { Disconnected = 0, Connecting = 1, Connected = 2 };

// What the dialog is busy with besides the connection state. Connecting has two phases that the
// control-state rules tell apart: before the unit's settings are shown every input of the
// connection is locked and the rest of the window stays as it was; once they are shown the
// connected layout appears, with the buttons that would start an exchange still disabled until
// the connection is made.
enum class Operation : int32_t {
    None = 0,
    Connecting,            // the connection worker runs: opening, identifying, reading settings
    ConnectSettingsShown,  // the settings of the connection are shown; the counts follow
    ReadingSettings,       // a settings read worker runs
    WritingSettings,       // a settings write worker runs
};

// The inputs of the control-state rules: the dialog's own state and the check states of its
// buttons, read when the rules run.
struct DialogState {
    int32_t ConnState = Disconnected;
    Operation operation = Operation::None;
    int32_t InputCount = 0;   // pulse inputs of the identified unit, 0 to 5
    bool lan = true;          // LanRadio checked
    bool usb = false;         // UsbRadio checked
    bool enable = false;      // EnableCheck checked
    bool singlePhase = true;  // SinglePhaseRadio checked
    bool twoPhase = false;    // TwoPhaseRadio checked
    bool autoUpdate = false;  // AutoUpdateCheck checked
};
