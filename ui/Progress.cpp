#include "dialog/ControlIds.h"
#include "ui/VelkorDlg.h"

// ProgressBar and VersionText share the bottom strip: one of them is shown at a time. The
// progress bar has no range, so it runs its marquee whenever it is shown.
void CVelkorDlg::BeginProgress() {
    ShowControl(IDC_VERSION_TEXT, false);
    ShowControl(IDC_PROGRESS_BAR, true);
}

void CVelkorDlg::EndProgress() {
    ShowControl(IDC_PROGRESS_BAR, false);
    ShowControl(IDC_VERSION_TEXT, true);
}

// After a frame could not be sent the exchange ends the busy display itself.
void CVelkorDlg::ResetProgress() {
    EndProgress();
}
