// The serial port list: how ports are named and numbered, which one is preselected, and when the
// list follows ports that come and go. The ports are the test's own, injected as the system's.
#include <QComboBox>
#include <QPushButton>
#include <mutex>

#include "../support/Texts.h"
#include "DialogTestSupport.h"
#include "dialog/ControlIds.h"
#include "dialog/DeviceChange.h"
#include "dialog/PortTable.h"
#include "dialog/UiTiming.h"
#include "ui/PortSource.h"

namespace {

using Ports = std::vector<SerialPortDescription>;

const SerialPortDescription ONBOARD_S0{"Communications Port (COM1)", "/dev/ttyS0", false};
const SerialPortDescription ONBOARD_S4{"Communications Port (COM4)", "/dev/ttyS4", false};
const SerialPortDescription ADAPTER_USB0{"USB-Serial Controller (COM5)", "/dev/ttyUSB0", true};
const SerialPortDescription LINUX_S1{"ttyS1", "/dev/ttyS1", false};
const SerialPortDescription LINUX_ACM0{"", "/dev/ttyACM0", true};

// The ports the dialog finds, changeable while it runs.
class InjectedPorts {
public:
    void Set(Ports next) {
        std::lock_guard<std::mutex> lock(mutex);
        ports = std::move(next);
    }
    Ports Get() {
        std::lock_guard<std::mutex> lock(mutex);
        return ports;
    }

private:
    std::mutex mutex;
    Ports ports;
};

class PortList : public DialogTest {
protected:
    void SetUp() override {
        SetPortSource([this] { return injected.Get(); });
        TheUiTiming().portPollMs.store(POLL_MS);
        DialogTest::SetUp();
    }
    void TearDown() override {
        DialogTest::TearDown();
        TheUiTiming().portPollMs.store(2000);
        SetPortSource([] { return Ports{}; });
    }

    // Makes these the ports found and refreshes the list as a port arrival does.
    void Arrive(Ports ports) {
        injected.Set(std::move(ports));
        dialog->Core().OnDeviceChange(DEVICE_ARRIVAL, DEVICE_TYPE_PORT);
    }
    QStringList ComboItems() {
        auto* combo = ControlAs<QComboBox>(IDC_PORT_COMBO);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    }
    QString SelectedPath() {
        const int selected = dialog->Selection(IDC_PORT_COMBO);
        if (selected < 0 || selected >= Inside().PortCount()) return {};
        return QString::fromStdString(Inside().Port(selected).DevicePath);
    }
    void ChooseUsb() {
        ClickIndicator(ControlAs<QAbstractButton>(IDC_USB_RADIO));
        ASSERT_TRUE(dialog->IsChecked(IDC_USB_RADIO));
    }

    static constexpr int POLL_MS = 40;
    InjectedPorts injected;
};

// The list is filled from the ports present when the window opens, before any arrival, with the
// first USB port chosen; LAN being the route, it is disabled.
TEST_F(PortList, FilledFromThePortsPresentWhenTheWindowOpens) {
    injected.Set({ONBOARD_S4, ADAPTER_USB0, LINUX_S1});
    dialog = std::make_unique<TestDialog>(session);
    EXPECT_EQ(ComboItems(),
              (QStringList{"Communications Port (COM4) (/dev/ttyS4)",
                           "USB-Serial Controller (COM5) (/dev/ttyUSB0)", "ttyS1 (/dev/ttyS1)"}));
    EXPECT_EQ(Inside().PortCount(), 3);
    EXPECT_EQ(SelectedPath(), "/dev/ttyUSB0");
    EXPECT_FALSE(dialog->IsEnabled(IDC_PORT_COMBO));
}

// ----- Entries from names --------------------------------------------------------------------

struct NameCase {
    const char* name;
    bool listed;
    int32_t comNumber;
};

TEST_F(PortList, ComNumberFromTheNameOrNoneForLinuxNames) {
    const NameCase cases[] = {
        {"Communications Port (COM3)", true, 3},
        {"USB Serial Port (COM12)", true, 12},
        {"Modem (COM)", true, 0},
        {"Adapter (COM7x)", true, 7},
        {"Printer Port (LPT1)", true, NO_COM_NUMBER},
        {"USB-Serial Controller (/dev/ttyUSB0)", true, NO_COM_NUMBER},
        {"/dev/ttyS0", true, NO_COM_NUMBER},
        {"Broken (COM3", false, 0},
        {"Odd (COMx)", false, 0},
        {"Odd (COM-1)", false, 0},
    };
    for (const NameCase& c : cases) {
        PortTable table;
        table.AddPortEntry(c.name, "/dev/ttyX", false);
        ASSERT_EQ(static_cast<int32_t>(table.Entries().size()), c.listed ? 1 : 0) << c.name;
        if (!c.listed) continue;
        const PortEntry& entry = table.Entries()[0];
        EXPECT_EQ(entry.PortName, c.name);
        EXPECT_EQ(entry.ComNumber, c.comNumber) << c.name;
        EXPECT_EQ(entry.DevicePath, "/dev/ttyX");
    }
}

TEST_F(PortList, UsbByVendorIdOrByTheLettersUsbInTheName) {
    const struct {
        const char* name;
        bool vendorId;
        bool usb;
    } cases[] = {
        {"Communications Port (COM1)", false, false},
        {"USB Serial Port (COM5)", false, true},
        {"Serial adapter (/dev/ttyACM0)", true, true},
        {"usb lower case (/dev/ttyS2)", false, false},
    };
    for (const auto& c : cases) {
        PortTable table;
        table.AddPortEntry(c.name, "/dev/ttyX", c.vendorId);
        ASSERT_EQ(static_cast<int32_t>(table.Entries().size()), 1);
        EXPECT_EQ(table.Entries()[0].Usb, c.usb) << c.name;
    }
}

TEST_F(PortList, ShownAsDescriptionAndPathInTheOrderFound) {
    Arrive({ONBOARD_S0, LINUX_S1, LINUX_ACM0, ADAPTER_USB0});
    EXPECT_EQ(ComboItems(),
              QStringList({"Communications Port (COM1) (/dev/ttyS0)", "ttyS1 (/dev/ttyS1)",
                           "/dev/ttyACM0", "USB-Serial Controller (COM5) (/dev/ttyUSB0)"}));
    ASSERT_EQ(Inside().PortCount(), 4);
    EXPECT_EQ(Inside().Port(0).ComNumber, 1);
    EXPECT_EQ(Inside().Port(1).ComNumber, NO_COM_NUMBER);
    EXPECT_EQ(Inside().Port(3).ComNumber, 5);
    EXPECT_EQ(Inside().Port(3).DevicePath, "/dev/ttyUSB0");
}

TEST_F(PortList, EveryPortIsListedUpToTheRoomOfTheTable) {
    Ports many;
    for (int i = 0; i < MAX_PORT_ENTRIES + 20; ++i) {
        many.push_back({"", "/dev/ttyS" + std::to_string(i), false});
    }
    Arrive(many);
    EXPECT_EQ(Inside().PortCount(), MAX_PORT_ENTRIES);
    EXPECT_EQ(ComboItems().size(), MAX_PORT_ENTRIES);
    EXPECT_EQ(ComboItems().last(), QString("/dev/ttyS%1").arg(MAX_PORT_ENTRIES - 1));
    // A last port without a description hides none of those before it.
    Arrive({ONBOARD_S0, LINUX_ACM0});
    EXPECT_EQ(Inside().PortCount(), 2);
}

// ----- Which port is selected ----------------------------------------------------------------

TEST_F(PortList, FirstUsbPortWinsOverTheRememberedSelection) {
    Arrive({ONBOARD_S0, ONBOARD_S4});
    dialog->SetSelection(IDC_PORT_COMBO, 0);
    Arrive({ONBOARD_S0, ONBOARD_S4, ADAPTER_USB0, LINUX_ACM0});
    EXPECT_EQ(dialog->Selection(IDC_PORT_COMBO), 2);
    EXPECT_EQ(SelectedPath(), "/dev/ttyUSB0");
}

TEST_F(PortList, RememberedPortFoundAgainAtItsNewPosition) {
    Arrive({ONBOARD_S0, ONBOARD_S4});
    dialog->SetSelection(IDC_PORT_COMBO, 1);
    Arrive({LINUX_S1, ONBOARD_S0, ONBOARD_S4});
    EXPECT_EQ(dialog->Selection(IDC_PORT_COMBO), 2);
    EXPECT_EQ(SelectedPath(), "/dev/ttyS4");
    // Gone: the first item.
    Arrive({LINUX_S1, ONBOARD_S0});
    EXPECT_EQ(dialog->Selection(IDC_PORT_COMBO), 0);
    EXPECT_EQ(SelectedPath(), "/dev/ttyS1");
}

TEST_F(PortList, NoPortsLeaveTheListEmptyAndDisabledAndConnectAsksForAPort) {
    ShowAndActivate();
    Arrive({ONBOARD_S0});
    ChooseUsb();
    EXPECT_TRUE(dialog->IsEnabled(IDC_PORT_COMBO));
    Arrive({});
    EXPECT_EQ(ComboItems(), QStringList());
    EXPECT_EQ(Inside().PortCount(), 0);
    EXPECT_FALSE(dialog->IsEnabled(IDC_PORT_COMBO));
    EXPECT_EQ(dialog->Selection(IDC_PORT_COMBO), -1);

    dialog->SetText(IDC_NODE_EDIT, "1");
    ControlAs<QPushButton>(IDC_CONNECT_BUTTON)->click();
    EXPECT_EQ(messages, std::vector<QString>{QString::fromStdString(texts::SERIAL_PORT_MISSING)});
    EXPECT_EQ(Inside().ConnState().load(), Disconnected);
    EXPECT_EQ(dialog->Text(IDC_CONNECT_BUTTON).toStdString(), texts::CONNECT);
}

// ----- When the list follows the ports --------------------------------------------------------

TEST_F(PortList, OnlyPortArrivalsAndRemovalsWhileDisconnectedRefresh) {
    const struct {
        int32_t state;
        uint32_t eventType;
        uint32_t deviceType;
        bool refreshed;
    } cases[] = {
        {Disconnected, DEVICE_ARRIVAL, DEVICE_TYPE_PORT, true},
        {Disconnected, DEVICE_REMOVE_COMPLETE, DEVICE_TYPE_PORT, true},
        {Disconnected, DEVICE_ARRIVAL, 5, false},
        {Disconnected, 0x0007, DEVICE_TYPE_PORT, false},
        {Connecting, DEVICE_ARRIVAL, DEVICE_TYPE_PORT, false},
        {Connecting, DEVICE_REMOVE_COMPLETE, DEVICE_TYPE_PORT, false},
        {Connected, DEVICE_ARRIVAL, DEVICE_TYPE_PORT, false},
        {Connected, DEVICE_REMOVE_COMPLETE, DEVICE_TYPE_PORT, false},
    };
    for (const auto& c : cases) {
        Arrive({ONBOARD_S0});
        injected.Set({ONBOARD_S0, ONBOARD_S4});
        Inside().ConnState().store(c.state);
        // Through the dialog's notification, as the watcher delivers it.
        emit dialog->DeviceChange(c.eventType, c.deviceType);
        EXPECT_EQ(Inside().PortCount(), c.refreshed ? 2 : 1)
            << "state " << c.state << " event " << c.eventType << " type " << c.deviceType;
        EXPECT_EQ(ComboItems().size(), c.refreshed ? 2 : 1);
        EXPECT_EQ(dialog->Core().OnDeviceChange(c.eventType, c.deviceType), 0);
        Inside().ConnState().store(Disconnected);
    }
}

}  // namespace
