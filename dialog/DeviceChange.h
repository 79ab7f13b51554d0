#pragma once

#include <cstdint>

// Device-change notifications as the port watcher reports them to the dialog.
constexpr uint32_t DBT_DEVICEARRIVAL = 0x8000;
constexpr uint32_t DBT_DEVICEREMOVECOMPLETE = 0x8004;
// Device type of a serial port.
constexpr uint32_t DBT_DEVTYP_PORT = 3;
