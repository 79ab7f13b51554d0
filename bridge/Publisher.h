#pragma once

#include <mosquitto.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bridge/BridgeConfig.h"
#include "bridge/BrokerMessage.h"
#include "bridge/Payloads.h"

// The bridge's one connection to the broker, through libmosquitto's network thread, and the
// bridge's own queue in front of it.
//  - State topics (retained, QoS 1) are kept: each is published when it changes while connected,
//    and all of them again after every reconnect, before anything else.
//  - Readings wait in the queue, oldest first, up to the queue limit (beyond it the oldest are
//    dropped and counted), and are published while connected; one counts as delivered when the
//    broker acknowledged it (at QoS 0: when it was sent).
//  - Errors and stats are published only while connected.
//  - Answers to commands wait in the queue, across a reconnect, and go out while connected.
class Publisher {
public:
    using Clock = std::chrono::steady_clock;

    explicit Publisher(const BridgeConfig& config);
    ~Publisher();
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    // Connects in the background (and reconnects, with a pause from 1 s doubling to 60 s);
    // false with the reason when libmosquitto refuses to start.
    bool Start(std::string& error);
    // The state topics' last words, then a clean disconnect: the last will is not sent.
    void Stop();

    // `topic` is under <topic_prefix>/<name>/.
    void SetState(const std::string& topic, const std::string& payload);
    void AddReading(const std::string& topic, const std::string& payload, Clock::time_point taken);
    void PublishTransient(const std::string& topic, const std::string& payload);
    // Subscribes to `filters` after every connect, without the retained messages they hold;
    // each message that arrives on them goes to `receive`, on libmosquitto's thread. Before Start.
    void Subscribe(std::vector<std::string> filters, std::function<void(BrokerMessage)> receive);
    // The answer to `request` (QoS 1, not retained) on `topic`, and on the request's response
    // topic where it gave one, each with the request's correlation data.
    void PublishAnswer(const std::string& topic, const std::string& payload,
                       const BrokerMessage& request);

    // Waits until every reading and state change has been delivered; false after `limit`.
    bool AwaitDelivered(std::chrono::milliseconds limit);
    // The broker kept handing this bridge's session to another client with its id.
    bool GaveUp() const;

    void CountRead(bool succeeded);
    void CountGatewayReconnect();
    BridgeStats Stats() const;

private:
    struct Message {
        Message(std::string topic_, std::string payload_, int qos_, bool retain_, bool reading_,
                Clock::time_point taken_, bool answer_ = false, std::string correlation_ = {})
            : topic(std::move(topic_)),
              payload(std::move(payload_)),
              qos(qos_),
              retain(retain_),
              reading(reading_),
              taken(taken_),
              answer(answer_),
              correlation(std::move(correlation_)) {}
        std::string topic;
        std::string payload;
        int qos;
        bool retain;
        bool reading;
        Clock::time_point taken;
        bool answer;  // to a command: kept across a reconnect
        std::string correlation;
    };

    static void OnConnect(mosquitto*, void* self, int rc, int flags, const mosquitto_property*);
    static void OnDisconnect(mosquitto*, void* self, int rc, const mosquitto_property*);
    static void OnPublish(mosquitto*, void* self, int mid, int reason, const mosquitto_property*);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message,
                          const mosquitto_property* properties);

    void Run();
    void NetworkLoop(bool up);
    std::string BrokerAddress() const;
    void AttemptFailed(const std::string& cause, int32_t pause);
    void Send(const Message& message);
    void Delivered(int mid, int reason);
    void DeliveredLocked(int mid, int reason);
    void PublishStats();
    std::vector<Message> StateToRepublish() const;

    const BridgeConfig& config_;
    const std::string base_;  // <topic_prefix>/<name>/
    mosquitto* client_ = nullptr;
    std::thread thread_;                // publishes
    std::thread network_;               // libmosquitto's reads and writes, reconnects
    std::vector<std::string> filters_;  // set before Start, then only read
    std::function<void(BrokerMessage)> receive_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool connected_ = false;
    bool republish_ = false;
    bool everConnected_ = false;
    int takeovers_ = 0;             // in a row
    bool attemptAccepted_ = false;  // the broker accepted the connection being tried
    std::string refusal_;           // why it refused it
    Clock::time_point connectedAt_;
    bool gaveUp_ = false;
    std::deque<Message> queue_;  // readings, and state changes made while connected
    int64_t queuedReadings_ = 0;
    std::vector<std::string> stateOrder_;  // state topics in the order they first appeared
    std::map<std::string, std::string> state_;
    std::map<std::string, std::string> lastCounts_;  // the last reading delivered per topic
    std::map<int, Message> inFlight_;
    std::map<int, int> earlyAcks_;  // acknowledged (with the reason) before Send noted them
    int32_t sending_ = 0;           // taken from the queue, not yet in flight
    int32_t awaiting_ = 0;          // threads in AwaitDelivered
    bool dropLogged_ = false;       // since the last connect
    BridgeStats stats_;
    std::vector<double> latencies_;  // the most recent, a ring
    size_t nextLatency_ = 0;
    Clock::time_point nextStats_;
};
