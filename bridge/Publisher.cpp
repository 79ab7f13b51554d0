#include "bridge/Publisher.h"

#include <mqtt_protocol.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "bridge/BrokerSecurity.h"
#include "bridge/Log.h"
#include "bridge/ServiceNotify.h"

namespace {

constexpr int STATE_QOS = 1;
// 60 s; a test waits for less through VELKOR_BRIDGE_STATS_PERIOD_MS.
std::chrono::milliseconds StatsPeriod() {
    const char* given = std::getenv("VELKOR_BRIDGE_STATS_PERIOD_MS");
    const long ms = given ? std::strtol(given, nullptr, 10) : 0;
    return std::chrono::milliseconds(ms > 0 ? ms : 60000);
}
constexpr size_t LATENCY_SAMPLES = 100000;  // the most recent, for p50 and p99
constexpr int TAKEOVERS_BEFORE_GIVING_UP = 3;
constexpr int32_t BROKER_LONGEST_PAUSE_S = 60;
// libmosquitto's loop wakes for what comes from the broker and for every message queued; the wait
// only bounds how late it sees a stop, and idle wake-ups cost a quiet bridge more than its work.
constexpr int NETWORK_WAIT_MS = 1000;
constexpr int LAST_WRITE_WAIT_MS = 100;
// A connection closed this soon after the broker accepted it was taken away, not lost.
constexpr auto QUICK_LOSS = std::chrono::seconds(2);

double Percentile(std::vector<double> samples, double share) {
    if (samples.empty()) return 0;
    const auto at = static_cast<size_t>(share * static_cast<double>(samples.size() - 1));
    std::nth_element(samples.begin(), samples.begin() + static_cast<ptrdiff_t>(at), samples.end());
    return samples[at];
}

}  // namespace

Publisher::Publisher(const BridgeConfig& config)
    : config_(config), base_(config.topicPrefix + "/" + config.name + "/") {}

Publisher::~Publisher() {
    Stop();
}

bool Publisher::Start(std::string& error) {
    mosquitto_lib_init();
    client_ = mosquitto_new(config_.broker.clientId.c_str(), true, this);
    if (client_ == nullptr) {
        error = "cannot set up the MQTT client";
        return false;
    }
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    const std::string status = base_ + "status";
    mosquitto_will_set_v5(client_, status.c_str(), 7, "offline", STATE_QOS, true, nullptr);
    mosquitto_threaded_set(client_, true);
    mosquitto_connect_v5_callback_set(client_, &Publisher::OnConnect);
    mosquitto_disconnect_v5_callback_set(client_, &Publisher::OnDisconnect);
    mosquitto_publish_v5_callback_set(client_, &Publisher::OnPublish);
    mosquitto_message_v5_callback_set(client_, &Publisher::OnMessage);
    if (!ApplyBrokerSecurity(client_, config_.broker.security, error)) return false;
    SetState("status", "online");
    NotifyStatus("connecting to the broker " + BrokerAddress());
    BeginConnectAttempt();
    const int rc = mosquitto_connect_async(client_, config_.broker.host.c_str(),
                                           config_.broker.port, config_.broker.keepalive);
    const int connectError = errno;
    // A broker not reached, or a name not resolved yet (the network coming up at boot), is tried
    // again; only what no retry can mend ends the start.
    if (rc == MOSQ_ERR_INVAL || rc == MOSQ_ERR_NOMEM) {
        error = std::string("broker: ") + mosquitto_strerror(rc);
        return false;
    }
    if (rc != MOSQ_ERR_SUCCESS) AttemptFailed(ConnectFailureText(rc, connectError), 0);
    nextStats_ = Clock::now() + StatsPeriod();
    network_ = std::thread([this, up = rc == MOSQ_ERR_SUCCESS] { NetworkLoop(up); });
    thread_ = std::thread([this] { Run(); });
    return true;
}

// libmosquitto's own loop gives up on a broker that was never reached: this one goes on trying,
// at once after a connection was lost, then after 1, 2, 4 ... s up to 60 s.
void Publisher::NetworkLoop(bool up) {
    int32_t pause = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (!up) {
            if (gaveUp_) break;
            if (pause > 0 &&
                wake_.wait_for(lock, std::chrono::seconds(pause), [this] { return stopping_; }))
                break;
            pause = pause == 0 ? 1 : std::min(pause * 2, BROKER_LONGEST_PAUSE_S);
            refusal_.clear();
            attemptAccepted_ = false;
            BeginConnectAttempt();
            lock.unlock();
            const int rc = mosquitto_reconnect(client_);
            const int error = errno;
            lock.lock();
            up = rc == MOSQ_ERR_SUCCESS;
            if (!up) AttemptFailed(ConnectFailureText(rc, error), pause);
            continue;
        }
        lock.unlock();
        const int rc = mosquitto_loop(client_, NETWORK_WAIT_MS, 1);
        const int error = errno;
        lock.lock();
        if (rc != MOSQ_ERR_SUCCESS) {
            up = false;
            // Not as far as the broker's acceptance: the TLS handshake or the login failed. A
            // connection lost later is said by OnDisconnect.
            if (!attemptAccepted_ && !stopping_)
                AttemptFailed(refusal_.empty() ? ConnectFailureText(rc, error) : refusal_, pause);
        }
        if (connected_) pause = 0;
    }
}

std::string Publisher::BrokerAddress() const {
    return config_.broker.host + ":" + std::to_string(config_.broker.port);
}

// Each failed attempt is said with its cause and the pause before the next one.
void Publisher::AttemptFailed(const std::string& cause, int32_t pause) {
    const std::string text =
        "broker " + BrokerAddress() + ": " + cause +
        (pause > 0 ? "; next try in " + std::to_string(pause) + " s" : "; trying again");
    Log(LogLevel::Warning, text);
    NotifyStatus("not connected: " + text);
}

void Publisher::Stop() {
    if (client_ == nullptr) return;
    SetState("status", "offline");
    bool connected = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connected = connected_;
    }
    if (connected) AwaitDelivered(std::chrono::seconds(5));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (network_.joinable()) network_.join();
    // A clean end, written by this thread now that the network thread is gone: the broker drops
    // the last will.
    mosquitto_disconnect_v5(client_, MQTT_RC_NORMAL_DISCONNECTION, nullptr);
    mosquitto_loop(client_, LAST_WRITE_WAIT_MS, 1);
    mosquitto_destroy(client_);
    client_ = nullptr;
    mosquitto_lib_cleanup();
}

void Publisher::SetState(const std::string& topic, const std::string& payload) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string full = base_ + topic;
    if (state_.count(full) == 0) stateOrder_.push_back(full);
    state_[full] = payload;
    // While away, the whole state goes again after the reconnect.
    if (connected_) queue_.push_back({full, payload, STATE_QOS, true, false, Clock::now()});
    wake_.notify_all();
}

void Publisher::AddReading(const std::string& topic, const std::string& payload,
                           Clock::time_point taken) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queuedReadings_ >= config_.broker.queueLimit) {
        const auto oldest =
            std::find_if(queue_.begin(), queue_.end(), [](const Message& m) { return m.reading; });
        if (oldest != queue_.end()) {
            queue_.erase(oldest);
            --queuedReadings_;
            ++stats_.dropped;
            if (!std::exchange(dropLogged_, true))
                Log(LogLevel::Warning, "queue limit of " +
                                           std::to_string(config_.broker.queueLimit) +
                                           " readings reached: the oldest are dropped");
        }
    }
    queue_.push_back({base_ + topic, payload, config_.broker.qos, true, true, taken});
    ++queuedReadings_;
    wake_.notify_all();
}

void Publisher::PublishTransient(const std::string& topic, const std::string& payload) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!connected_) return;
    queue_.push_back({base_ + topic, payload, STATE_QOS, false, false, Clock::now()});
    wake_.notify_all();
}

void Publisher::Subscribe(std::vector<std::string> filters,
                          std::function<void(BrokerMessage)> receive) {
    filters_ = std::move(filters);
    receive_ = std::move(receive);
}

void Publisher::PublishAnswer(const std::string& topic, const std::string& payload,
                              const BrokerMessage& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(
        {base_ + topic, payload, STATE_QOS, false, false, Clock::now(), true, request.correlation});
    if (!request.responseTopic.empty())
        queue_.push_back({request.responseTopic, payload, STATE_QOS, false, false, Clock::now(),
                          true, request.correlation});
    wake_.notify_all();
}

bool Publisher::AwaitDelivered(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    ++awaiting_;
    const bool delivered = wake_.wait_for(lock, limit, [this] {
        return connected_ && !republish_ && sending_ == 0 && queue_.empty() && inFlight_.empty();
    });
    --awaiting_;
    return delivered;
}

bool Publisher::GaveUp() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return gaveUp_;
}

void Publisher::CountRead(bool succeeded) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++stats_.reads;
    if (!succeeded) ++stats_.failedReads;
}

void Publisher::CountGatewayReconnect() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++stats_.gatewayReconnects;
}

BridgeStats Publisher::Stats() const {
    std::lock_guard<std::mutex> lock(mutex_);
    BridgeStats stats = stats_;
    stats.queued = queuedReadings_;
    stats.latencyP50 = Percentile(latencies_, 0.50);
    stats.latencyP99 = Percentile(latencies_, 0.99);
    return stats;
}

// ----- libmosquitto's network thread -------------------------------------------------------------

void Publisher::OnConnect(mosquitto*, void* self, int rc, int, const mosquitto_property*) {
    auto& publisher = *static_cast<Publisher*>(self);
    if (rc != 0) {
        // Said once the connection has closed, with the pause before the next attempt.
        std::lock_guard<std::mutex> lock(publisher.mutex_);
        publisher.refusal_ = RefusalText(rc);
        return;
    }
    // Retained commands are never run: they would run again after every reconnect. Commands
    // published by this client itself are not taken either.
    const int options =
        MQTT_SUB_OPT_NO_LOCAL | MQTT_SUB_OPT_RETAIN_AS_PUBLISHED | MQTT_SUB_OPT_SEND_RETAIN_NEVER;
    for (const std::string& filter : publisher.filters_)
        mosquitto_subscribe_v5(publisher.client_, nullptr, filter.c_str(), STATE_QOS, options,
                               nullptr);
    std::lock_guard<std::mutex> lock(publisher.mutex_);
    publisher.attemptAccepted_ = true;
    if (publisher.everConnected_) ++publisher.stats_.brokerReconnects;
    publisher.everConnected_ = true;
    publisher.connected_ = true;
    publisher.connectedAt_ = Clock::now();
    publisher.republish_ = true;
    publisher.dropLogged_ = false;
    // What was queued as a state change is in the state republished first.
    publisher.queue_.erase(std::remove_if(publisher.queue_.begin(), publisher.queue_.end(),
                                          [](const Message& m) { return !m.reading && !m.answer; }),
                           publisher.queue_.end());
    Log(LogLevel::Info, "connected to the broker " + publisher.BrokerAddress());
    NotifyStatus("connected to the broker " + publisher.BrokerAddress());
    publisher.wake_.notify_all();
}

void Publisher::OnDisconnect(mosquitto*, void* self, int rc, const mosquitto_property*) {
    auto& publisher = *static_cast<Publisher*>(self);
    std::lock_guard<std::mutex> lock(publisher.mutex_);
    const bool wasConnected = publisher.connected_;
    publisher.connected_ = false;
    if (publisher.stopping_) return;
    // A broker that hands the session to another client with the same id says so (0x8E) to an
    // MQTT 5 client, or just closes the connection it had accepted a moment before.
    const bool quick = wasConnected && Clock::now() - publisher.connectedAt_ < QUICK_LOSS;
    if (rc == MQTT_RC_SESSION_TAKEN_OVER || (quick && rc != MOSQ_ERR_SUCCESS)) {
        ++publisher.takeovers_;
        Log(LogLevel::Error,
            "the broker took the session away right after accepting it (session taken over): "
            "another client uses the client id " +
                publisher.config_.broker.clientId + "; give each bridge its own client_id");
        NotifyStatus(
            "not connected: the broker handed the session to another client with the "
            "client id " +
            publisher.config_.broker.clientId);
        if (publisher.takeovers_ >= TAKEOVERS_BEFORE_GIVING_UP) {
            publisher.gaveUp_ = true;
            Log(LogLevel::Error, "session taken over " + std::to_string(publisher.takeovers_) +
                                     " times in a row: the bridge stops instead of taking it back");
        }
    } else if (wasConnected) {
        publisher.takeovers_ = 0;
        const std::string text = std::string("broker connection lost: ") +
                                 (rc > 127 ? mosquitto_reason_string(rc) : mosquitto_strerror(rc)) +
                                 "; reconnecting";
        Log(LogLevel::Warning, text);
        NotifyStatus("not connected: " + text);
    }
    publisher.wake_.notify_all();
}

void Publisher::OnPublish(mosquitto*, void* self, int mid, int reason, const mosquitto_property*) {
    static_cast<Publisher*>(self)->Delivered(mid, reason);
}

void Publisher::OnMessage(mosquitto*, void* self, const mosquitto_message* message,
                          const mosquitto_property* properties) {
    auto& publisher = *static_cast<Publisher*>(self);
    if (!publisher.receive_) return;
    BrokerMessage received;
    received.topic = message->topic;
    if (message->payloadlen > 0)
        received.payload.assign(static_cast<const char*>(message->payload),
                                static_cast<size_t>(message->payloadlen));
    received.retained = message->retain;
    char* responseTopic = nullptr;
    if (mosquitto_property_read_string(properties, MQTT_PROP_RESPONSE_TOPIC, &responseTopic,
                                       false) != nullptr &&
        responseTopic != nullptr)
        received.responseTopic = responseTopic;
    std::free(responseTopic);
    void* correlation = nullptr;
    uint16_t length = 0;
    if (mosquitto_property_read_binary(properties, MQTT_PROP_CORRELATION_DATA, &correlation,
                                       &length, false) != nullptr &&
        correlation != nullptr)
        received.correlation.assign(static_cast<const char*>(correlation), length);
    std::free(correlation);
    publisher.receive_(std::move(received));
}

void Publisher::Delivered(int mid, int reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    DeliveredLocked(mid, reason);
}

// A reason of 0x80 and above is the broker's refusal (not authorised, quota exceeded): the
// message is lost, and said so, not counted as delivered.
void Publisher::DeliveredLocked(int mid, int reason) {
    const auto sent = inFlight_.find(mid);
    if (sent == inFlight_.end()) {
        earlyAcks_[mid] = reason;
        return;
    }
    const Message& message = sent->second;
    if (reason >= MQTT_RC_UNSPECIFIED) {
        Log(LogLevel::Error,
            "the broker refused " + message.topic + ": " + mosquitto_reason_string(reason));
        if (message.reading) ++stats_.dropped;
    } else if (message.reading) {
        ++stats_.published;
        const double ms =
            std::chrono::duration<double, std::milli>(Clock::now() - message.taken).count();
        if (latencies_.size() < LATENCY_SAMPLES) {
            latencies_.push_back(ms);
        } else {
            latencies_[nextLatency_] = ms;
            nextLatency_ = (nextLatency_ + 1) % LATENCY_SAMPLES;
        }
        lastCounts_[message.topic] = message.payload;
    }
    inFlight_.erase(sent);
    // Only a wait for the delivery looks at what is in flight: the publishing thread, woken for
    // every acknowledgement, would find nothing to do.
    if (awaiting_ > 0) wake_.notify_all();
}

// ----- The publishing thread ---------------------------------------------------------------------

std::vector<Publisher::Message> Publisher::StateToRepublish() const {
    std::vector<Message> messages;
    for (const std::string& topic : stateOrder_)
        messages.push_back({topic, state_.at(topic), STATE_QOS, true, false, Clock::now()});
    for (const auto& [topic, payload] : lastCounts_)
        messages.push_back({topic, payload, config_.broker.qos, true, false, Clock::now()});
    return messages;
}

void Publisher::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        wake_.wait_until(lock, nextStats_, [this] {
            return stopping_ || (connected_ && (republish_ || !queue_.empty()));
        });
        if (stopping_) break;
        if (Clock::now() >= nextStats_) {
            nextStats_ += StatsPeriod();
            if (connected_) {
                ++sending_;
                lock.unlock();
                PublishStats();
                lock.lock();
            }
        }
        if (!connected_) continue;
        if (republish_) {
            republish_ = false;
            const std::vector<Message> state = StateToRepublish();
            sending_ += static_cast<int32_t>(state.size());
            lock.unlock();
            for (const Message& message : state)
                Send(message);
            lock.lock();
        }
        while (connected_ && !queue_.empty() && !stopping_) {
            const Message message = std::move(queue_.front());
            queue_.pop_front();
            if (message.reading) --queuedReadings_;
            ++sending_;
            lock.unlock();
            Send(message);
            lock.lock();
        }
    }
}

void Publisher::Send(const Message& message) {
    mosquitto_property* properties = nullptr;
    if (!message.correlation.empty())
        mosquitto_property_add_binary(&properties, MQTT_PROP_CORRELATION_DATA,
                                      message.correlation.data(),
                                      static_cast<uint16_t>(message.correlation.size()));
    int mid = 0;
    const int rc = mosquitto_publish_v5(
        client_, &mid, message.topic.c_str(), static_cast<int>(message.payload.size()),
        message.payload.data(), message.qos, message.retain, properties);
    mosquitto_property_free_all(&properties);
    std::lock_guard<std::mutex> lock(mutex_);
    --sending_;
    if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST) {
        // The connection went in the meantime: a reading or an answer waits for the next one,
        // the state is republished whole after it.
        if (message.reading || message.answer) queue_.push_front(message);
        if (message.reading) ++queuedReadings_;
        return;
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        // Nothing a retry mends (a packet too large for the broker, say): said, and counted.
        Log(LogLevel::Error, "cannot publish " + message.topic + ": " + mosquitto_strerror(rc));
        if (message.reading) ++stats_.dropped;
        wake_.notify_all();
        return;
    }
    inFlight_.emplace(mid, message);
    if (const auto early = earlyAcks_.find(mid); early != earlyAcks_.end()) {
        const int reason = early->second;
        earlyAcks_.erase(early);
        DeliveredLocked(mid, reason);
    }
}

void Publisher::PublishStats() {
    const std::string payload = StatsPayload(std::chrono::system_clock::now(), Stats());
    Send({base_ + "stats", payload, STATE_QOS, true, false, Clock::now()});
}
