// The port list following ports that come and go where no hot-plug notifications arrive: the
// watcher lists the names of a device directory and enumerates the ports only when they changed.
// The directory is the test's own, once in memory (tmpfs, as /dev is, whose names the kernel
// announces) and once on the disk (listed every poll); each "tty" entry in it is a port, a symbolic
// link to a pseudo-terminal as a device node would be.
#include <pty.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <filesystem>

#include "DialogTestSupport.h"
#include "dialog/ControlIds.h"
#include "dialog/DeviceChange.h"
#include "dialog/UiTiming.h"
#include "ui/PortSource.h"

namespace {

constexpr int POLL_MS = 40;
// Long enough for several looks of the watcher.
constexpr int SEVERAL_POLLS_MS = 6 * POLL_MS;

class PortDirectory : public DialogTest, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(directory.isValid());
        char name[128] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        ptyPath = name;
        SetPortDeviceDirectory(directory.path().toStdString());
        SetPortSource([this] { return PortsInDirectory(); });
        TheUiTiming().portPollMs.store(POLL_MS);
        DialogTest::SetUp();
    }
    void TearDown() override {
        DialogTest::TearDown();
        TheUiTiming().portPollMs.store(2000);
        SetPortDeviceDirectory({});
        SetPortSource([] { return std::vector<SerialPortDescription>{}; });
        close(master);
        close(slave);
    }

    // The enumeration, counted: the ports are the directory's "tty" entries, in name order.
    std::vector<SerialPortDescription> PortsInDirectory() {
        ++enumerations;
        std::vector<SerialPortDescription> ports;
        for (const auto& entry : std::filesystem::directory_iterator(Path(""))) {
            if (entry.path().filename().string().rfind("tty", 0) == 0)
                ports.push_back({"", entry.path().string(), false});
        }
        std::sort(ports.begin(), ports.end(),
                  [](const auto& a, const auto& b) { return a.path < b.path; });
        return ports;
    }
    std::string Path(const std::string& name) const {
        return directory.path().toStdString() + "/" + name;
    }
    void Make(const std::string& name) {
        ASSERT_EQ(symlink(ptyPath.c_str(), Path(name).c_str()), 0);
    }
    void Remove(const std::string& name) { ASSERT_EQ(unlink(Path(name).c_str()), 0); }
    QStringList ComboItems() {
        auto* combo = ControlAs<QComboBox>(IDC_PORT_COMBO);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    }
    QString Item(const std::string& name) const { return QString::fromStdString(Path(name)); }
    // Lets the watcher look several times, then tells whether the condition held.
    bool AfterSeveralPolls(const std::function<bool()>& condition) {
        WaitUntil([] { return false; }, SEVERAL_POLLS_MS);
        return condition();
    }

    QTemporaryDir directory{(*GetParam() ? QString::fromUtf8(GetParam()) : QDir::tempPath()) +
                            QStringLiteral("/velkor-ports-XXXXXX")};
    int master = -1;
    int slave = -1;
    std::string ptyPath;
    std::atomic<int> enumerations{0};
};

TEST_P(PortDirectory, PortMadeAndRemovedWhileDisconnectedComesAndGoesInTheList) {
    EXPECT_EQ(Inside().Watcher().ListsOnAnnouncement(), *GetParam() != '\0');
    ASSERT_EQ(Inside().PortCount(), 0);
    Make("ttyUSB0");
    ASSERT_TRUE(WaitUntil([&] { return Inside().PortCount() == 1; }));
    EXPECT_EQ(ComboItems(), QStringList{Item("ttyUSB0")});
    Make("ttyUSB1");
    ASSERT_TRUE(WaitUntil([&] { return Inside().PortCount() == 2; }));
    Remove("ttyUSB0");
    ASSERT_TRUE(WaitUntil([&] { return Inside().PortCount() == 1; }));
    EXPECT_EQ(ComboItems(), QStringList{Item("ttyUSB1")});
    Remove("ttyUSB1");
    ASSERT_TRUE(WaitUntil([&] { return Inside().PortCount() == 0; }));
    EXPECT_EQ(ComboItems(), QStringList());
    EXPECT_FALSE(dialog->IsEnabled(IDC_PORT_COMBO));
}

// The point of listing names: nothing is enumerated while they stay as they are, once when a name
// changes, and once more (the list's refresh) when that name is a port.
TEST_P(PortDirectory, PortsAreEnumeratedOnlyWhenTheDeviceNamesChange) {
    const struct {
        const char* step;
        std::function<void()> change;
        int enumerations;
        int32_t ports;
    } steps[] = {
        {"nothing changes", [] {}, 0, 0},
        {"a name that is no port comes", [this] { Make("null0"); }, 1, 0},
        {"a port comes", [this] { Make("ttyACM0"); }, 2, 1},
        {"the other name goes", [this] { Remove("null0"); }, 1, 1},
        {"the port goes", [this] { Remove("ttyACM0"); }, 2, 0},
    };
    for (const auto& s : steps) {
        const int before = enumerations.load();
        s.change();
        WaitUntil([&] { return enumerations.load() >= before + s.enumerations; });
        EXPECT_TRUE(AfterSeveralPolls([&] {
            return enumerations.load() == before + s.enumerations;
        })) << s.step
            << ": " << enumerations.load() - before << " enumerations";
        EXPECT_EQ(Inside().PortCount(), s.ports) << s.step;
    }
}

TEST_P(PortDirectory, PortsThatComeOrGoWhileConnectingOrConnectedShowAfterTheDisconnection) {
    for (int32_t state : {Connecting, Connected}) {
        Inside().ConnState().store(state);
        const int before = enumerations.load();
        Make("ttyS5");
        EXPECT_TRUE(AfterSeveralPolls([&] { return Inside().PortCount() == 0; })) << state;
        EXPECT_EQ(enumerations.load(), before) << state;
        Inside().ConnState().store(Disconnected);
        EXPECT_TRUE(WaitUntil([&] { return Inside().PortCount() == 1; })) << state;

        Inside().ConnState().store(state);
        Remove("ttyS5");
        EXPECT_TRUE(AfterSeveralPolls([&] { return Inside().PortCount() == 1; })) << state;
        Inside().ConnState().store(Disconnected);
        EXPECT_TRUE(WaitUntil([&] { return Inside().PortCount() == 0; })) << state;
    }
}

// udev tells of a change once. One told while a connection is made or held must not be lost: it
// shows once the dialog is disconnected again, as the listed names' changes do. The directory's
// names stay as they are here, so only the announcement can bring the change into the list.
TEST_P(PortDirectory, PortEventsAnnouncedWhileConnectingOrConnectedShowAfterTheDisconnection) {
    std::vector<SerialPortDescription> ports;
    SetPortSource([&ports] { return ports; });
    const SerialPortDescription replugged{"USB-Serial", Path("ttyUSB7"), true};
    for (int32_t state : {Connecting, Connected}) {
        const struct {
            uint32_t event;
            std::vector<SerialPortDescription> present;
            int32_t count;
        } changes[] = {{DEVICE_ARRIVAL, {replugged}, 1}, {DEVICE_REMOVE_COMPLETE, {}, 0}};
        for (const auto& change : changes) {
            const int32_t before = Inside().PortCount();
            Inside().ConnState().store(state);
            ports = change.present;
            Inside().Watcher().AnnouncePortEvent(change.event);
            EXPECT_TRUE(AfterSeveralPolls([&] { return Inside().PortCount() == before; })) << state;
            Inside().ConnState().store(Disconnected);
            EXPECT_TRUE(WaitUntil([&] { return Inside().PortCount() == change.count; })) << state;
        }
    }
    // Told while disconnected, a change shows at once.
    ports = {replugged};
    Inside().Watcher().AnnouncePortEvent(DEVICE_ARRIVAL);
    EXPECT_EQ(Inside().PortCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(AnnouncedInMemory, PortDirectory, ::testing::Values("/dev/shm"));
INSTANTIATE_TEST_SUITE_P(ListedOnDisk, PortDirectory, ::testing::Values(""));

}  // namespace
