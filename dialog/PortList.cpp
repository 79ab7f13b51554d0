#include "dialog/ControlIds.h"
#include "dialog/DeviceChange.h"
#include "dialog/DialogCore.h"

// The list is filled from the ports present; whether PortCombo is enabled is the rules' matter,
// which a refresh does not run, except that an empty list is disabled at once.
void DialogCore::RefreshPortList() {
    const PortEntry* remembered = ports.At(view.Selection(IDC_PORT_COMBO));
    const std::string rememberedPath = remembered ? remembered->DevicePath : std::string();
    const int32_t selected = ports.Refill(view.EnumerateSerialPorts(), rememberedPath);
    view.SetListEntries(IDC_PORT_COMBO, ports.Names());
    if (selected < 0) {
        view.EnableControl(IDC_PORT_COMBO, false);
        return;
    }
    view.SetSelection(IDC_PORT_COMBO, selected);
}

int DialogCore::OnDeviceChange(uint32_t eventType, uint32_t deviceType) {
    const bool portEvent = (eventType == DEVICE_ARRIVAL || eventType == DEVICE_REMOVE_COMPLETE) &&
                           deviceType == DEVICE_TYPE_PORT;
    // The list stays as it is while a connection is made or held.
    if (portEvent && connState.load() == Disconnected) RefreshPortList();
    return 0;
}
