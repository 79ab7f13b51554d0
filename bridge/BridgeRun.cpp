#include "bridge/BridgeRun.h"

#include <csignal>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "bridge/CommandInbox.h"
#include "bridge/FrameLog.h"
#include "bridge/GatewayPoller.h"
#include "bridge/Log.h"
#include "bridge/Publisher.h"
#include "bridge/ServiceNotify.h"

namespace {

constexpr auto ONCE_DELIVERY_LIMIT = std::chrono::seconds(30);

std::atomic<bool> stopRequested{false};

void RequestStop(int) {
    stopRequested.store(true);
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// Every gateway's round at the same time, each on its own thread, as in a run.
bool RunOnce(std::vector<std::unique_ptr<GatewayPoller>>& pollers) {
    std::vector<std::future<bool>> rounds;
    for (auto& poller : pollers)
        rounds.push_back(std::async(std::launch::async, [&poller] { return poller->RunRound(); }));
    bool all = true;
    for (auto& round : rounds)
        all = round.get() && all;
    return all;
}

}  // namespace

bool RunBridge(const BridgeConfig& config, BridgeMode mode) {
    CatchStopSignals();
    FrameLog frames;
    frames.Install();
    Publisher publisher(config);
    std::vector<std::unique_ptr<GatewayPoller>> pollers;
    std::vector<GatewayPoller*> routes;
    for (const GatewayConfig& gateway : config.gateways) {
        pollers.push_back(std::make_unique<GatewayPoller>(gateway, publisher));
        routes.push_back(pollers.back().get());
    }
    // One round takes no commands.
    CommandInbox inbox(config, mode == BridgeMode::Run ? routes : std::vector<GatewayPoller*>{});
    if (!inbox.Filters().empty())
        publisher.Subscribe(inbox.Filters(),
                            [&inbox](BrokerMessage message) { inbox.Receive(std::move(message)); });
    std::string error;
    if (!publisher.Start(error)) {
        Log(LogLevel::Error, error);
        return false;
    }
    Log(LogLevel::Info, "bridge " + config.name + ": " + std::to_string(pollers.size()) +
                            " gateways, broker " + config.broker.host + ":" +
                            std::to_string(config.broker.port));
    bool succeeded = true;
    if (mode == BridgeMode::Once) {
        succeeded = RunOnce(pollers);
        if (!publisher.AwaitDelivered(ONCE_DELIVERY_LIMIT)) {
            Log(LogLevel::Error, "the broker did not acknowledge every reading in time");
            succeeded = false;
        }
    } else {
        for (auto& poller : pollers)
            poller->Start();
        NotifyReady();
        while (!stopRequested.load() && !publisher.GaveUp())
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        succeeded = !publisher.GaveUp();
        NotifyStopping();
        Log(LogLevel::Info, "stopping");
    }
    for (auto& poller : pollers)
        poller->Stop();
    if (mode == BridgeMode::Run)
        for (auto& poller : pollers)
            poller->PublishOffline();
    publisher.Stop();
    frames.Remove();
    return succeeded;
}
