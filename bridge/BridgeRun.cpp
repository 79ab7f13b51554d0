#include "bridge/BridgeRun.h"

#include <signal.h>

#include <csignal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <vector>

#include "bridge/CommandInbox.h"
#include "bridge/FrameLog.h"
#include "bridge/GatewayPoller.h"
#include "bridge/Log.h"
#include "bridge/Publisher.h"
#include "bridge/ServiceNotify.h"

namespace {

constexpr auto ONCE_DELIVERY_LIMIT = std::chrono::seconds(30);
constexpr int64_t GATEWAYS_PER_GROUP = 10;

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

sigset_t StopSignals() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    return stops;
}

// The main thread waits in sigtimedwait for the stop signals, which every thread started after
// this holds back: a loop that looked at a flag ten times a second cost a bridge of one gateway
// as much as its readings. Whether the broker took the session away is looked at once a second.
void AwaitStop(const Publisher& publisher) {
    const sigset_t stops = StopSignals();
    const timespec second{1, 0};
    while (!stopRequested.load() && !publisher.GaveUp())
        if (sigtimedwait(&stops, nullptr, &second) > 0) stopRequested.store(true);
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

// Gateways polled at the same moment would all wait for each other, each second: their sockets,
// the bridge's one publisher and the broker, on a host with fewer cores than gateways. Each
// gateway polled alone would cost a wake-up of every thread on the way for every reading (twice
// the CPU of ten together). So the gateways go in groups of ten, whose first rounds are spread
// over their interval, at most a second.
void StartSpread(const BridgeConfig& config, std::vector<std::unique_ptr<GatewayPoller>>& pollers) {
    const auto count = static_cast<int64_t>(pollers.size());
    const int64_t groups = (count + GATEWAYS_PER_GROUP - 1) / GATEWAYS_PER_GROUP;
    for (int64_t i = 0; i < count; ++i) {
        const int64_t spanMs =
            std::min<int64_t>(config.gateways[static_cast<size_t>(i)].interval * 1000LL, 1000);
        pollers[i]->Start(std::chrono::milliseconds(spanMs * (i % groups) / groups));
    }
}

}  // namespace

bool RunBridge(const BridgeConfig& config, BridgeMode mode) {
    CatchStopSignals();
    if (mode == BridgeMode::Run) {
        const sigset_t stops = StopSignals();
        pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    }
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
        StartSpread(config, pollers);
        NotifyReady();
        AwaitStop(publisher);
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
