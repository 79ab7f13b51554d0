#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bridge/BrokerSecurity.h"
#include "link/LinkSession.h"

// The broker this bridge publishes to.
struct BrokerConfig {
    std::string host = "127.0.0.1";
    int32_t port = 1883;   // 8883 with TLS
    std::string clientId;  // "velkor-bridge-<name>" unless given
    int32_t keepalive = 30;
    int32_t qos = 1;  // of the counts; the state topics are always QoS 1
    int64_t queueLimit = 100000;
    BrokerSecurity security;
};

// One gateway: one line, polled by a thread of its own.
struct GatewayConfig {
    std::string name;
    LinkRoute route;
    std::string routeText;  // as the config names it, for the log
    std::vector<int32_t> nodes;
    int32_t interval = 10;  // seconds
    int32_t timeoutMs = 1000;
    int32_t offlineAfter = 3;
    bool commands = false;  // set, start and stop taken from the broker
    int32_t line = 0;       // of its [[gateway]] in the config
};

struct BridgeConfig {
    std::string name;
    std::string topicPrefix = "velkor";
    BrokerConfig broker;
    std::vector<GatewayConfig> gateways;
};

// Reads and checks a config file. On failure `error` says "FILE:LINE: what is wrong" (without a
// line where the file as a whole is wrong) and nothing is returned. `hostName` is the default name.
std::optional<BridgeConfig> ReadBridgeConfig(const std::string& path, const std::string& hostName,
                                             std::string& error);

// Whether `text` is a topic segment: letters, digits, '_' and '-'.
bool IsTopicSegment(const std::string& text);
