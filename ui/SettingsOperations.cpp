#include "ui/VelkorDlg.h"

// ReadSettingsButton: read the unit's settings into the controls.
void CVelkorDlg::OnReadSettings() {}

// WriteSettingsButton: write the settings shown in the controls to the unit.
void CVelkorDlg::OnApplySettings() {}

// StartStopButton: start or stop counting.
void CVelkorDlg::OnStartStop() {}
