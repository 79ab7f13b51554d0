#include <QCoreApplication>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "device/CommandEncoding.h"
#include "ui/AsciiTrim.h"
#include "ui/ControlIds.h"
#include "ui/CountUpdateEvent.h"
#include "ui/OperationTexts.h"
#include "ui/OperatorText.h"
#include "ui/UiTiming.h"
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

int CVelkorDlg::RequestCounts(QString& errorText) {
    if (pulseConfig.mode < MODE_TWO_PHASE_X2) return RequestInputCounts(errorText);
    return RequestPairCounts(errorText);
}

// Single-phase use (and counting off): one request per counted input, in input order.
int CVelkorDlg::RequestInputCounts(QString& errorText) {
    const int32_t inputs = InputCount.load();
    for (int32_t j = 0; j < MAX_INPUTS; ++j) {
        if (j < inputs && pulseConfig.edge[j] != 0) {
            SetControlText(IDC_COUNT_LABEL[j], QString(INPUT_LABEL_FORMAT).arg(j + 1));
            // The value keeps its previous text until the reply arrives.
            if (!RequestCount(j, errorText)) return -1;
        } else {
            SetControlText(IDC_COUNT_LABEL[j], QString());
            SetControlText(IDC_COUNT_VALUE[j], QString());
        }
    }
    return 0;
}

// Two-phase use: one request per encoder pair, shown in the first two displays.
int CVelkorDlg::RequestPairCounts(QString& errorText) {
    for (int32_t j = 0; j < MAX_INPUTS; ++j) {
        SetControlText(IDC_COUNT_LABEL[j], QString());
        SetControlText(IDC_COUNT_VALUE[j], QString());
    }
    if (pulseConfig.edge[0] != 0) {
        SetControlText(IDC_COUNT_LABEL[0], FIRST_PAIR_LABEL);
        if (!RequestCount(0, errorText)) return -1;
    }
    if (InputCount.load() > SECOND_PAIR_INDEX && pulseConfig.edge[SECOND_PAIR_INDEX] != 0) {
        SetControlText(IDC_COUNT_LABEL[1], SECOND_PAIR_LABEL);
        if (!RequestCount(SECOND_PAIR_INDEX, errorText)) return -1;
    }
    return 0;
}

// Sends one count request; on failure the operator's text (none for the operator's own abort).
bool CVelkorDlg::RequestCount(int32_t index, QString& errorText) {
    const int code = PostCommand(Session, *this, CMD_READ_COUNT, ParamChar(index));
    if (code == 0) return true;
    errorText = OperatorTextUnlessAborted(code, Session);
    return false;
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
    if (pulseConfig.mode < MODE_TWO_PHASE_X2) {
        SetControlText(IDC_COUNT_VALUE[index], QString::number(pulseConfig.count[index].Load()));
    } else if (index == 0) {
        SetControlText(IDC_COUNT_VALUE[0], QString::number(pulseConfig.count[0].Load()));
    } else {
        SetControlText(IDC_COUNT_VALUE[1],
                       QString::number(pulseConfig.count[SECOND_PAIR_INDEX].Load()));
    }
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
