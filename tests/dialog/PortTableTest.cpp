#include <gtest/gtest.h>

#include "dialog/PortTable.h"

namespace {

// Names, COM numbers and the selection the list makes of the ports present.
TEST(PortTable, SelectsTheFirstUsbPortElseTheRememberedOne) {
    const SerialPortDescription s0{"Communications Port (COM1)", "/dev/ttyS0", false};
    const SerialPortDescription s4{"Communications Port (COM4)", "/dev/ttyS4", false};
    const SerialPortDescription usb{"USB Serial Port (COM5)", "/dev/ttyUSB0", false};
    const struct {
        std::vector<SerialPortDescription> present;
        const char* remembered;
        int32_t selected;
    } cases[] = {
        {{s0, usb}, "/dev/ttyS0", 1},
        {{s0, s4}, "/dev/ttyS4", 1},
        {{s4, s0}, "/dev/ttyS4", 0},
        {{s0}, "/dev/ttyS4", 0},
        {{}, "", -1},
    };
    for (const auto& c : cases) {
        PortTable table;
        EXPECT_EQ(table.Refill(c.present, c.remembered), c.selected) << c.remembered;
        EXPECT_EQ(table.Names().size(), c.present.size());
    }
    PortTable table;
    table.Refill({s4}, "");
    EXPECT_EQ(table.Names().front(), "Communications Port (COM4) (/dev/ttyS4)");
    EXPECT_EQ(table.Entries().front().ComNumber, 4);
    // A Windows port is named by its friendly name, which ends in the port already.
    table.Refill({{"Serial port (COM7)", "COM7", false}}, "");
    EXPECT_EQ(table.Names().front(), "Serial port (COM7)");
    EXPECT_EQ(table.Entries().front().ComNumber, 7);
}

}  // namespace
