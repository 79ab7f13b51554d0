#pragma once

// The real dialog against a real velkor-sim on loopback: the simulator is started per test with
// the test's own arguments and a log of every frame, and the dialog is driven through its
// controls the way the operator drives it.

#include <QString>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../sim/SimLog.h"
#include "../sim/SimProcess.h"
#include "DialogTestSupport.h"

class SimFixture : public DialogTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts velkor-sim on a free loopback port with `args` and a fresh log file. Fails the test
    // (fatally, so call it through ASSERT_NO_FATAL_FAILURE) when it does not come up.
    void StartSim(std::vector<std::string> args = {});
    int SimPort() const;
    const std::string& SimLogPath() const { return logPath; }

    // LanRadio, address 127.0.0.1, the simulator's port and the node typed in, ConnectButton
    // clicked; returns at once.
    void ClickConnect(int node);
    // Connects through the controls: LanRadio, address 127.0.0.1, the simulator's port and the
    // node typed in, ConnectButton clicked; returns the connection state once the attempt ended
    // (or the time ran out).
    int32_t ConnectThroughUi(int node, int timeoutMs = 10000);
    // Connects and waits until the count replies of the connection have been shown; fails the
    // test if the unit is not connected.
    void ConnectUnit(int node);

    // Clicks a push button, or the indicator of a check box or radio button.
    void Click(int32_t id);
    // Replaces the text of an edit by typing.
    void Type(int32_t id, const QString& text);

    // Runs the event loop until the dialog's worker threads (connection attempt, settings read or
    // write) have ended; false if they have not within the time.
    bool WaitForWorkers(int timeoutMs = 10000);
    // Runs the event loop until the simulator has logged at least `count` received frames.
    bool WaitForFrames(size_t count, int timeoutMs = 5000);
    // Runs the event loop until `count` more count notifications have been handled.
    bool WaitForCountUpdates(int32_t count, int timeoutMs = 5000);
    // Runs the event loop for a while (for "nothing more happens" checks).
    void Settle(int ms = 150);

    // Every frame the simulator has received, as on the wire (node digits to end byte).
    std::vector<std::string> ReceivedFrames() const;
    // The same as commands (see CommandOf); `from` skips the first ones.
    std::vector<std::string> ReceivedCommands(size_t from = 0) const;
    // The count requests among them.
    size_t CountRequestsSince(size_t from) const;

    // The link's reply wait in total (10 s unless a test shortens it); restored after the test.
    void SetReplyWaitMs(int32_t ms);

    std::unique_ptr<SimProcess> sim;
    std::string logPath;

private:
    int32_t savedMillisecondsPerSecond = 0;
};
