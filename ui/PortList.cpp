#include "ui/VelkorDlg.h"

// Fills PortCombo from the serial ports present.
void CVelkorDlg::RefreshPortList() {}

// A port arrived or was removed.
int CVelkorDlg::OnDeviceChange(uint32_t /*eventType*/, uint32_t /*deviceType*/) {
    return 0;
}
