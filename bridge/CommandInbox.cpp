#include "bridge/CommandInbox.h"

#include <algorithm>

#include "bridge/Log.h"
#include "device/InputText.h"
#include "device/OperatorTexts.h"

namespace {

// "line1/3/set" as gateway, node and command; false for any other shape.
bool SplitTopic(const std::string& rest, std::string& gateway, std::string& node,
                std::string& command) {
    const size_t first = rest.find('/');
    if (first == std::string::npos) return false;
    const size_t second = rest.find('/', first + 1);
    if (second == std::string::npos || rest.find('/', second + 1) != std::string::npos)
        return false;
    gateway = rest.substr(0, first);
    node = rest.substr(first + 1, second - first - 1);
    command = rest.substr(second + 1);
    return true;
}

}  // namespace

CommandInbox::CommandInbox(const BridgeConfig& config, const std::vector<GatewayPoller*>& pollers)
    : base_(config.topicPrefix + "/" + config.name + "/") {
    for (size_t i = 0; i < config.gateways.size() && i < pollers.size(); ++i)
        if (config.gateways[i].commands) routes_.push_back({&config.gateways[i], pollers[i]});
}

std::vector<std::string> CommandInbox::Filters() const {
    std::vector<std::string> filters;
    for (const Route& route : routes_)
        for (const CommandName name : {CommandName::Set, CommandName::Start, CommandName::Stop})
            filters.push_back(base_ + route.gateway->name + "/+/" + CommandWord(name));
    return filters;
}

void CommandInbox::Receive(BrokerMessage message) {
    std::string gatewayName, nodeText, commandWord;
    if (message.topic.compare(0, base_.size(), base_) != 0 ||
        !SplitTopic(message.topic.substr(base_.size()), gatewayName, nodeText, commandWord))
        return;
    const auto route = std::find_if(routes_.begin(), routes_.end(),
                                    [&](const Route& r) { return r.gateway->name == gatewayName; });
    const auto name = CommandNamed(commandWord);
    const auto node = DecimalInRange(nodeText, 0, MAX_NODE);
    const bool polled =
        route != routes_.end() && node && std::to_string(*node) == nodeText &&
        std::count(route->gateway->nodes.begin(), route->gateway->nodes.end(), *node);
    if (!name || !polled) {
        Log(LogLevel::Warning, "ignored a command on " + message.topic + ": no such unit");
        return;
    }
    if (message.retained) {
        Log(LogLevel::Warning, "ignored a retained command on " + message.topic +
                                   ": commands are sent without the retain flag");
        return;
    }
    GatewayCommand command;
    command.node = *node;
    command.request = ReadCommand(*name, message.payload);
    message.payload.clear();
    command.message = std::move(message);
    route->poller->Submit(std::move(command));
}
