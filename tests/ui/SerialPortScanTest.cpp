#include "ui/SerialPortScan.h"

#include <gtest/gtest.h>

#include <QSerialPortInfo>

namespace {

// The ports of this machine, as Qt Serial Port lists them, are what the window lists.
TEST(SerialPortScan, ListsThePortsQtSerialPortLists) {
    std::vector<SerialPortDescription> expected;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        expected.push_back({info.description().toStdString(), info.systemLocation().toStdString(),
                            info.hasVendorIdentifier()});
    }
    const std::vector<SerialPortDescription> scanned = ScanSerialPorts();
    ASSERT_EQ(scanned.size(), expected.size());
    for (size_t i = 0; i < scanned.size(); ++i) {
        EXPECT_EQ(scanned[i].path, expected[i].path);
        EXPECT_EQ(scanned[i].description, expected[i].description) << expected[i].path;
        EXPECT_EQ(scanned[i].usb, expected[i].usb) << expected[i].path;
    }
}

TEST(SerialPortScan, PropertiesMakeDescriptionsAndVendorIdentifiers) {
    EXPECT_EQ(DescriptionOfModel("FT232R_USB_UART"), "FT232R USB UART");
    EXPECT_EQ(DescriptionOfModel(nullptr), "");
    for (const char* id : {"0403", "10c4", "ffff"})
        EXPECT_TRUE(IsVendorIdentifier(id)) << id;
    for (const char* id : {"", "04g3", "0403 "})
        EXPECT_FALSE(IsVendorIdentifier(id)) << id;
    EXPECT_FALSE(IsVendorIdentifier(nullptr));
    for (const char* name : {"rfcomm0", "tnt1", "ttyGS0"})
        EXPECT_TRUE(IsVirtualPortName(name)) << name;
    for (const char* name : {"tty0", "ttyS0", "ptmx", "console"})
        EXPECT_FALSE(IsVirtualPortName(name)) << name;
}

TEST(SerialPortScan, AMissingClassDirectoryHasNoPorts) {
    EXPECT_TRUE(ScanSerialPorts("/nonexistent/class/tty").empty());
}

}  // namespace
