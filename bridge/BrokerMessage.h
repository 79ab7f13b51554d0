#pragma once

#include <string>

// A message the broker delivered on a topic the bridge subscribed to, as it arrived.
struct BrokerMessage {
    std::string topic;
    std::string payload;
    bool retained = false;      // as the sender published it
    std::string responseTopic;  // MQTT 5's, where the sender gave one
    std::string correlation;    // MQTT 5's correlation data, bytes as they came
};
