#include "winui/PortEnumeration.h"

#include <windows.h>

#include <setupapi.h>

#include "winui/WideText.h"

namespace {

constexpr wchar_t COM_MARK[] = L"(COM";
constexpr wchar_t SERIAL_MAP_KEY[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr wchar_t USB_ENUMERATOR[] = L"USB";

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

// A string value of an open key; empty when there is none.
std::wstring KeyText(HKEY key, const wchar_t* name) {
    wchar_t text[64] = {};
    DWORD type = 0;
    DWORD bytes = sizeof text - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return text;
}

// The port name a device's driver gave it ("COM3"), from the device's own registry key.
std::wstring DevicePortName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    const HKEY key =
        SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) return {};
    std::wstring name = KeyText(key, L"PortName");
    RegCloseKey(key);
    return name;
}

// Devices with a readable description and friendly name, of which those named "... (COMn)".
std::vector<PresentPort> DeviceSetupPorts() {
    std::vector<PresentPort> ports;
    const HDEVINFO set =
        SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return ports;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        std::wstring description;
        std::wstring friendly;
        if (!DeviceText(set, device, SPDRP_DEVICEDESC, description)) continue;
        if (!DeviceText(set, device, SPDRP_FRIENDLYNAME, friendly)) continue;
        if (friendly.find(COM_MARK) == std::wstring::npos) continue;
        std::wstring enumerator;
        DeviceText(set, device, SPDRP_ENUMERATOR_NAME, enumerator);
        ports.push_back({Narrowed(friendly), Narrowed(DevicePortName(set, device)),
                         enumerator == USB_ENUMERATOR});
    }
    SetupDiDestroyDeviceInfoList(set);
    return ports;
}

// The ports of the serial device map, in the map's order of values.
std::vector<PresentPort> SerialMapPorts() {
    std::vector<PresentPort> ports;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SERIAL_MAP_KEY, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return ports;
    }
    wchar_t device[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = ARRAYSIZE(device);
        const LONG result =
            RegEnumValueW(key, index, device, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) continue;
        const std::string port = Narrowed(KeyText(key, device));
        if (!port.empty()) ports.push_back({"Serial port (" + port + ")", port, false});
    }
    RegCloseKey(key);
    return ports;
}

}  // namespace

PresentPorts EnumeratePresentPorts() {
    PresentPorts present;
    present.ports = DeviceSetupPorts();
    if (!present.ports.empty()) return present;
    present.source = PortSource::SerialMap;
    present.ports = SerialMapPorts();
    return present;
}
