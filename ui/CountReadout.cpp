#include <QCoreApplication>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "device/CountRows.h"
#include "link/UnitCommands.h"
#include "ui/AsciiTrim.h"
#include "dialog/ControlIds.h"
#include "ui/CountUpdateEvent.h"
#include "device/OperatorTexts.h"
#include "ui/OperatorText.h"
#include "dialog/UiTiming.h"
#include "ui/VelkorDlg.h"

namespace {

// The interval as its leading decimal number (optional sign, then digits; a text without them
// reads as 0). A number beyond 32 bits is held at the nearest limit, so that it can never wrap
// into the accepted range.
int32_t IntervalSeconds(const QString& text) {
    const long value = std::strtol(text.toUtf8().constData(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

// One request per display that counts, in display order; each display is labelled (or emptied)
// in the same step as its request, so that a failure leaves the displays after it as they were.
int CVelkorDlg::RequestCounts(QString& errorText) {
    const auto rows = CountRowsOf(pulseConfig, InputCount.load());
    if (pulseConfig.mode >= MODE_TWO_PHASE_X2) ClearCountDisplays();
    for (int32_t j = 0; j < MAX_INPUTS; ++j) {
        ShowCountRow(j, rows[j]);
        if (rows[j].index < 0) continue;
        const int code = CountRequest(Session, *this, rows[j].index);
        if (code != 0) {
            errorText = OperatorTextUnlessAborted(code, Session);
            return -1;
        }
    }
    return 0;
}

void CVelkorDlg::ClearCountDisplays() {
    OnGuiThread([this] {
        for (int32_t j = 0; j < MAX_INPUTS; ++j) {
            SetControlText(IDC_COUNT_LABEL[j], QString());
            SetControlText(IDC_COUNT_VALUE[j], QString());
        }
    });
}

// A requested display keeps its value until the reply arrives; the others are emptied.
void CVelkorDlg::ShowCountRow(int32_t j, const CountRow& row) {
    OnGuiThread([this, j, &row] {
        SetControlText(IDC_COUNT_LABEL[j], QString::fromStdString(row.label));
        if (row.index < 0) SetControlText(IDC_COUNT_VALUE[j], QString());
    });
}

// The receive thread hands the count over through the user-interface thread's queue.
void CVelkorDlg::PostCountUpdate(int32_t index) {
    QCoreApplication::postEvent(this, new CountUpdateEvent(index));
}

void CVelkorDlg::OnCountUpdate(int32_t index) {
    countUpdatesHandled.fetch_add(1);
    lastCountUpdateIndex.store(index);
    CountBusyFlag.store(0);
    // Only a malformed reply could carry another index; there is no display for it.
    if (index < 0 || index >= MAX_INPUTS) return;
    // A reply posted just before a disconnect would fill a display the disconnect emptied.
    if (ConnState.load() == Disconnected) return;
    // The mode held now decides where the value goes, not the one of the request.
    const CountDisplay shown = CountDisplayOf(pulseConfig.mode, index);
    SetControlText(IDC_COUNT_VALUE[shown.display],
                   QString::number(pulseConfig.count[shown.index].Load()));
}

void CVelkorDlg::OnReadCounts() {
    // Before the connection is made its own requests may still be going out, and a failing
    // attempt closes the link under a second writer.
    if (ConnState.load() != Connected) return;
    QString errorText;
    if (RequestCounts(errorText) >= 0) return;
    if (AutoUpdateSeconds.load() != 0) StopAutoUpdate();
    ShowMessage(errorText);
}

void CVelkorDlg::OnAutoUpdate() {
    // Connecting resets auto-update; a timer started before it ends would outlive a failure.
    if (ConnState.load() != Connected) {
        SetChecked(IDC_AUTO_UPDATE_CHECK, false);
        return;
    }
    if (!IsChecked(IDC_AUTO_UPDATE_CHECK)) {
        KillTimer(AUTO_UPDATE_TIMER_ID);
        AutoUpdateSeconds.store(0);
        UpdateControls();
        return;
    }
    // Trimmed of ASCII white space, as every other field the operator types.
    const QString interval = QString::fromStdString(TrimmedAscii(ControlText(IDC_INTERVAL_EDIT)));
    if (interval.isEmpty()) {
        ShowMessage(INTERVAL_EMPTY_MESSAGE);
        SetChecked(IDC_AUTO_UPDATE_CHECK, false);
        return;
    }
    const int32_t seconds = IntervalSeconds(interval);
    AutoUpdateSeconds.store(seconds);
    if (seconds >= 1 && seconds <= AUTO_UPDATE_MAX_SECONDS) {
        // The first timed read comes one interval from now.
        SetTimer(AUTO_UPDATE_TIMER_ID, seconds * TheUiTiming().millisecondsPerSecond.load());
        UpdateControls();
        return;
    }
    AutoUpdateSeconds.store(0);
    ShowMessage(QString::asprintf(INTERVAL_RANGE_FORMAT, AUTO_UPDATE_MAX_SECONDS));
    SetChecked(IDC_AUTO_UPDATE_CHECK, false);
}

void CVelkorDlg::OnTimer() {
    // A request still being written: this tick is skipped, the next one reads as usual.
    if (CountBusyFlag.load() != 0) return;
    QString errorText;
    if (RequestCounts(errorText) >= 0) return;
    // Stopped before the message opens, so no further tick arrives while it is shown.
    StopAutoUpdate();
    ShowMessage(errorText);
}

// Auto-update off after a failed read: the checkbox clear and the interval editable again.
void CVelkorDlg::StopAutoUpdate() {
    KillTimer(AUTO_UPDATE_TIMER_ID);
    AutoUpdateSeconds.store(0);
    SetChecked(IDC_AUTO_UPDATE_CHECK, false);
    EnableControl(IDC_INTERVAL_EDIT, true);
}
