#include <gtest/gtest.h>

#include "dialog/ControlIds.h"
#include "dialog/ControlStateRules.h"
#include "dialog/DialogTexts.h"

namespace {

DialogState Connected5(Operation op = Operation::None) {
    DialogState s;
    s.ConnState = op == Operation::Connecting || op == Operation::ConnectSettingsShown ? Connecting
                                                                                       : Connected;
    s.operation = op;
    s.InputCount = 5;
    s.enable = true;
    return s;
}

// State in, the enabled state of the buttons that start or end an exchange out: a click that must
// not act in a state finds its button disabled.
TEST(ControlStateRules, ButtonsThatMustNotActAreDisabled) {
    struct Case {
        const char* name;
        DialogState state;
        bool connect, read, write, startStop, readCounts, autoUpdate;
        const char* caption;
    };
    DialogState opening = Connected5(Operation::Connecting);
    opening.enable = false;
    const Case cases[] = {
        {"disconnected", DialogState{}, true, false, false, false, false, false, CONNECT_CAPTION},
        {"opening", opening, true, false, false, false, false, false, ABORT_CAPTION},
        {"settings shown while connecting", Connected5(Operation::ConnectSettingsShown), true,
         false, false, false, false, false, DISCONNECT_CAPTION},
        {"connected", Connected5(), true, true, true, true, true, true, DISCONNECT_CAPTION},
        {"reading", Connected5(Operation::ReadingSettings), false, false, false, false, true, true,
         DISCONNECT_CAPTION},
        {"writing", Connected5(Operation::WritingSettings), false, false, false, false, true, true,
         DISCONNECT_CAPTION},
    };
    for (const Case& c : cases) {
        const ControlStates out = ControlStatesOf(c.state);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(out.Of(IDC_CONNECT_BUTTON).enabled, c.connect);
        EXPECT_EQ(out.Of(IDC_READ_SETTINGS_BUTTON).enabled, c.read);
        EXPECT_EQ(out.Of(IDC_WRITE_SETTINGS_BUTTON).enabled, c.write);
        EXPECT_EQ(out.Of(IDC_START_STOP_BUTTON).enabled, c.startStop);
        EXPECT_EQ(out.Of(IDC_READ_COUNTS_BUTTON).enabled, c.readCounts);
        EXPECT_EQ(out.Of(IDC_AUTO_UPDATE_CHECK).enabled, c.autoUpdate);
        EXPECT_STREQ(out.connectCaption, c.caption);
    }
}

// While the link opens, the route is locked and every input row stays shown: never the connected
// layout before the unit has answered.
TEST(ControlStateRules, OpeningKeepsTheDisconnectedLayoutWithTheRouteLocked) {
    const ControlStates out = ControlStatesOf(Connected5(Operation::Connecting));
    for (int32_t id : {IDC_NODE_EDIT, IDC_LAN_RADIO, IDC_USB_RADIO, IDC_ADDRESS_EDIT,
                       IDC_TCP_PORT_EDIT, IDC_PORT_COMBO, IDC_ENABLE_CHECK})
        EXPECT_EQ(out.Of(id).enabled, false) << id;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(out.Of(IDC_COUNT_VALUE[i]).shown, true) << i;
    EXPECT_FALSE(out.clearDeviceInfo);
}

// Rows, the clear signal and the two-phase caption follow the input count; the interval follows
// auto-update; debounce and the multipliers follow the phase radios.
TEST(ControlStateRules, ConnectedRowsAndModeControls) {
    struct Case {
        int32_t inputs;
        bool twoPhase, autoUpdate;
        int shownRows;
        bool clearShown;
        const char* caption;
    };
    const Case cases[] = {{2, false, false, 2, false, TWO_PHASE_SHORT_CAPTION},
                          {3, true, true, 3, true, TWO_PHASE_SHORT_CAPTION},
                          {4, false, true, 4, true, TWO_PHASE_LONG_CAPTION},
                          {5, true, false, 5, true, TWO_PHASE_LONG_CAPTION}};
    for (const Case& c : cases) {
        DialogState s = Connected5();
        s.InputCount = c.inputs;
        s.twoPhase = c.twoPhase;
        s.singlePhase = !c.twoPhase;
        s.autoUpdate = c.autoUpdate;
        const ControlStates out = ControlStatesOf(s);
        SCOPED_TRACE(c.inputs);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(out.Of(IDC_EDGE_COMBO[i]).shown, i < c.shownRows);
            EXPECT_EQ(out.Of(IDC_COUNT_VALUE[i]).shown, i < c.shownRows);
        }
        EXPECT_EQ(out.Of(IDC_CLEAR_SIGNAL_CHECK).shown, c.clearShown);
        EXPECT_STREQ(out.twoPhaseCaption, c.caption);
        EXPECT_EQ(out.Of(IDC_INTERVAL_EDIT).enabled, !c.autoUpdate);
        EXPECT_EQ(out.Of(IDC_SECONDS_LABEL).enabled, !c.autoUpdate);
        EXPECT_EQ(out.Of(IDC_DEBOUNCE_COMBO).enabled, !c.twoPhase);
        EXPECT_EQ(out.Of(IDC_X4_RADIO).enabled, c.twoPhase);
        EXPECT_EQ(out.debounceToFirst, c.twoPhase);
    }
}

// Disconnected: the route pair follows LAN or USB; the count values and device text are emptied.
TEST(ControlStateRules, DisconnectedRouteFollowsTheRadios) {
    for (bool lan : {true, false}) {
        DialogState s;
        s.lan = lan;
        s.usb = !lan;
        const ControlStates out = ControlStatesOf(s);
        EXPECT_EQ(out.Of(IDC_ADDRESS_EDIT).enabled, lan);
        EXPECT_EQ(out.Of(IDC_PORT_COMBO).enabled, !lan);
        EXPECT_EQ(out.Of(IDC_ADDRESS_LABEL).enabled, true);
        EXPECT_TRUE(out.clearCountValues);
        EXPECT_TRUE(out.clearDeviceInfo);
    }
}

}  // namespace
