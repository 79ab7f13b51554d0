#pragma once

#include <cstdint>

// Device-change notifications as the port watcher reports them to the dialog; the values are
// those of the Windows device broadcasts, so the Win32 view passes them on unchanged.
constexpr uint32_t DEVICE_ARRIVAL = 0x8000;
constexpr uint32_t DEVICE_REMOVE_COMPLETE = 0x8004;
// Device type of a serial port.
constexpr uint32_t DEVICE_TYPE_PORT = 3;
