#include <cstdint>

#include "device/CountRows.h"
#include "dialog/AutoUpdateInterval.h"
#include "dialog/ControlIds.h"
#include "dialog/DialogCore.h"
#include "dialog/OperatorText.h"
#include "dialog/UiTiming.h"

// One request per display that counts, in display order; each display is labelled (or emptied)
// before its request, so that a failure leaves the displays after it as they were.
int DialogCore::RequestCounts(std::string& errorText) {
    const auto rows = CountRowsOf(pulseConfig, inputCount);
    if (pulseConfig.mode >= MODE_TWO_PHASE_X2) {
        for (int32_t j = 0; j < MAX_INPUTS; ++j) {
            view.SetControlText(IDC_COUNT_LABEL[j], "");
            view.SetControlText(IDC_COUNT_VALUE[j], "");
        }
    }
    for (int32_t j = 0; j < MAX_INPUTS; ++j) {
        view.SetControlText(IDC_COUNT_LABEL[j], rows[j].label);
        // A requested display keeps its value until the reply arrives.
        if (rows[j].index < 0) {
            view.SetControlText(IDC_COUNT_VALUE[j], "");
            continue;
        }
        const Result<Done> requested = unit.RequestCount(rows[j].index);
        if (!requested) {
            errorText = OperatorTextUnlessAborted(requested.Failure());
            return -1;
        }
    }
    return 0;
}

// The receive thread stored the count and hands over its value; the user-interface thread shows
// the value it was given. Never blocks.
void DialogCore::PostCountUpdate(int32_t index, int32_t value) {
    view.PostToUiThread([this, index, value] { OnCountUpdate(index, value); });
}

void DialogCore::OnCountUpdate(int32_t index, int32_t value) {
    ++countUpdatesHandled;
    lastCountUpdateIndex = index;
    countBusy.store(0);
    // Only a malformed reply could carry another index; there is no display for it.
    if (index < 0 || index >= MAX_INPUTS) return;
    // A reply posted just before a disconnect would fill a display the disconnect emptied.
    if (connState.load() == Disconnected) return;
    // The mode held now decides where the value goes, not the one of the request.
    const CountDisplay shown = CountDisplayOf(pulseConfig.mode, index);
    // In two-phase use any index but the first pair's shows the second pair's count.
    const int32_t shownValue = shown.index == index ? value : pulseConfig.count[shown.index].Load();
    view.SetControlText(IDC_COUNT_VALUE[shown.display], std::to_string(shownValue));
}

void DialogCore::OnReadCounts() {
    // The rules disable the button until the connection is made.
    if (connState.load() != Connected || operation == Operation::ConnectSettingsShown) return;
    std::string errorText;
    if (RequestCounts(errorText) >= 0) return;
    if (autoUpdateSeconds != 0) StopAutoUpdate();
    ShowMessage(errorText);
}

void DialogCore::OnAutoUpdate() {
    // Connecting resets auto-update; a timer started before it ends would outlive a failure.
    if (connState.load() != Connected || operation == Operation::ConnectSettingsShown) {
        view.SetChecked(IDC_AUTO_UPDATE_CHECK, false);
        UpdateControls();
        return;
    }
    if (!view.IsChecked(IDC_AUTO_UPDATE_CHECK)) {
        view.KillTimer();
        autoUpdateSeconds = 0;
        UpdateControls();
        return;
    }
    const AutoUpdateInterval interval = IntervalOfText(view.ControlText(IDC_INTERVAL_EDIT));
    autoUpdateSeconds = interval.seconds;
    if (interval.seconds != 0) {
        // The first timed read comes one interval from now.
        view.SetTimer(interval.seconds * TheUiTiming().millisecondsPerSecond.load());
        UpdateControls();
        return;
    }
    view.ShowMessage(interval.refusal);
    // The box's own event loop may have run the rules with the box still checked.
    view.SetChecked(IDC_AUTO_UPDATE_CHECK, false);
    UpdateControls();
}

void DialogCore::OnTimer() {
    // A request still being written: this tick is skipped, the next one reads as usual.
    if (countBusy.load() != 0) return;
    std::string errorText;
    if (RequestCounts(errorText) >= 0) return;
    // Stopped before the message opens, so no further tick arrives while it is shown.
    StopAutoUpdate();
    ShowMessage(errorText);
}

// Auto-update off after a failed read: the checkbox clear and the interval editable again.
void DialogCore::StopAutoUpdate() {
    view.KillTimer();
    autoUpdateSeconds = 0;
    view.SetChecked(IDC_AUTO_UPDATE_CHECK, false);
    view.EnableControl(IDC_INTERVAL_EDIT, true);
}
