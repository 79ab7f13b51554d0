#include "winui/PortEnumeration.h"

#include <windows.h>

#include <setupapi.h>

#include <algorithm>

#include "winui/WideText.h"

namespace {

constexpr wchar_t COM_MARK[] = L"(COM";
constexpr wchar_t SERIAL_MAP_KEY[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr char SERIAL_PORT_NAME[] = "Serial port (";

// One registry property of a device as text; false when the device does not have it. The size
// is asked first, then read into a buffer of that size.
bool DeviceText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property, std::wstring& text) {
    DWORD bytes = 0;
    SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr, nullptr, 0, &bytes);
    if (bytes == 0) return false;
    std::vector<BYTE> buffer(bytes + sizeof(wchar_t), 0);
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr, buffer.data(), bytes,
                                           nullptr)) {
        return false;
    }
    text.assign(reinterpret_cast<const wchar_t*>(buffer.data()));
    return true;
}

// Devices with a readable description and friendly name; those whose name carries a COM port.
std::vector<std::string> DeviceSetupPorts() {
    std::vector<std::string> names;
    const HDEVINFO set =
        SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return names;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        std::wstring description;
        std::wstring friendly;
        if (!DeviceText(set, device, SPDRP_DEVICEDESC, description)) continue;
        if (!DeviceText(set, device, SPDRP_FRIENDLYNAME, friendly)) continue;
        if (friendly.find(COM_MARK) != std::wstring::npos) names.push_back(Narrowed(friendly));
    }
    SetupDiDestroyDeviceInfoList(set);
    return names;
}

// The port names ("COM7") of the serial device map, in the map's order of values.
std::vector<std::string> SerialMapPorts() {
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SERIAL_MAP_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[256];
        DWORD nameLength = ARRAYSIZE(valueName);
        wchar_t port[64] = {};
        DWORD type = 0;
        DWORD bytes = sizeof port - sizeof(wchar_t);
        const LONG result = RegEnumValueW(key, index, valueName, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(port), &bytes);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        names.push_back(SERIAL_PORT_NAME + Narrowed(port) + ")");
    }
    RegCloseKey(key);
    return names;
}

}  // namespace

PresentPorts EnumeratePresentPorts() {
    PresentPorts ports;
    ports.names = DeviceSetupPorts();
    if (!ports.names.empty()) return ports;
    ports.source = PortSource::SerialComm;
    ports.names = SerialMapPorts();
    return ports;
}
