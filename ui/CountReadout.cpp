#include "ui/VelkorDlg.h"

// ReadCountsButton: one read of the count values.
void CVelkorDlg::OnReadCounts() {}

// AutoUpdateCheck: auto-update on or off, by the check state after the click.
void CVelkorDlg::OnAutoUpdate() {}

// Tick of the auto-update timer.
void CVelkorDlg::OnTimer() {}

// WM_COUNT_UPDATE with the input index whose count the receive thread stored.
void CVelkorDlg::OnCountUpdate(int32_t index) {
    countUpdatesHandled.fetch_add(1);
    lastCountUpdateIndex = index;
}
