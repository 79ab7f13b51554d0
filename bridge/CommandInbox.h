#pragma once

#include <string>
#include <vector>

#include "bridge/BridgeConfig.h"
#include "bridge/BrokerMessage.h"
#include "bridge/GatewayPoller.h"

// The command topics of the gateways configured to take commands, and each command that arrives
// handed to the thread of its unit's gateway. Nothing else is subscribed.
class CommandInbox {
public:
    // `pollers` in the order of the config's gateways.
    CommandInbox(const BridgeConfig& config, const std::vector<GatewayPoller*>& pollers);

    // <topic_prefix>/<name>/<gateway>/+/set, start and stop of each such gateway.
    std::vector<std::string> Filters() const;
    // On libmosquitto's thread.
    void Receive(BrokerMessage message);

private:
    struct Route {
        const GatewayConfig* gateway;
        GatewayPoller* poller;
    };

    const std::string base_;  // <topic_prefix>/<name>/
    std::vector<Route> routes_;
};
