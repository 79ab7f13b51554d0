// velkor-bridge as a service: against velkor-sim and a Mosquitto of the test's own, watched by a
// subscriber the way a plant's systems watch it.
#include <gtest/gtest.h>
#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "../sim/SimLog.h"
#include "../sim/SimProcess.h"

namespace {

using Json = nlohmann::json;
using namespace std::chrono_literals;

bool Listening(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// A Mosquitto on a free loopback port, without persistence, stopped and started on that port.
// `listeners` come before it, each with its own settings; as root the broker then stays root, to
// read the test's private files.
class Broker {
public:
    explicit Broker(const std::string& listeners = "")
        : port_(ClosedLoopbackPort()), conf_(TempPath("mosquitto.conf")) {
        std::ofstream(conf_) << "persistence false\nlog_dest none\n"
                             << (listeners.empty() ? "" : "per_listener_settings true\nuser root\n")
                             << listeners << "listener " << port_
                             << " 127.0.0.1\nallow_anonymous true\n";
        Start();
    }
    void Start() {
        process_ =
            std::make_unique<ChildProcess>(MOSQUITTO_PATH, std::vector<std::string>{"-c", conf_});
        for (int i = 0; i < 200 && !Listening(port_); ++i)
            std::this_thread::sleep_for(50ms);
    }
    void Stop() {
        process_->Signal(SIGTERM);
        process_->Finish(RUN_LIMIT_MS);
    }
    int Port() const { return port_; }

private:
    int port_;
    std::string conf_;
    std::unique_ptr<ChildProcess> process_;
};

struct Message {
    std::string topic, payload;
    bool retained;
    std::string correlation;
};

// Everything under velkor/ and replies/, in the order it arrived, subscribed again after every
// reconnect; and the commands of a plant's system, over MQTT 5.
class Subscriber {
public:
    explicit Subscriber(int port) {
        mosquitto_lib_init();
        client_ = mosquitto_new(nullptr, true, this);
        mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
        mosquitto_connect_callback_set(client_, [](mosquitto* m, void*, int) {
            mosquitto_subscribe(m, nullptr, "velkor/#", 1);
            mosquitto_subscribe(m, nullptr, "replies/#", 1);
        });
        mosquitto_message_v5_callback_set(
            client_, [](mosquitto*, void* self, const mosquitto_message* m,
                        const mosquitto_property* properties) {
                auto& subscriber = *static_cast<Subscriber*>(self);
                void* data = nullptr;
                uint16_t length = 0;
                mosquitto_property_read_binary(properties, MQTT_PROP_CORRELATION_DATA, &data,
                                               &length, false);
                const std::lock_guard<std::mutex> lock(subscriber.mutex_);
                subscriber.messages_.push_back(
                    {m->topic, std::string(static_cast<const char*>(m->payload), m->payloadlen),
                     m->retain, data ? std::string(static_cast<const char*>(data), length) : ""});
                std::free(data);
            });
        mosquitto_reconnect_delay_set(client_, 1, 1, false);
        mosquitto_connect(client_, "127.0.0.1", port, 30);
        mosquitto_loop_start(client_);
    }
    ~Subscriber() {
        // The disconnection ends the loop; cancelling its thread could leave one of
        // libmosquitto's mutexes locked.
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, false);
        mosquitto_destroy(client_);
    }
    std::vector<Message> On(const std::string& topic) {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Message> on;
        for (const Message& m : messages_)
            if (m.topic == "velkor/plant/" + topic || m.topic == topic) on.push_back(m);
        return on;
    }
    // Publishes `payload` on the command topic of `unit` ("line1/1") and waits for the answer on
    // its result topic.
    Json Ask(const std::string& unit, const std::string& command, const std::string& payload,
             bool retain = false, const std::string& responseTopic = "",
             const std::string& correlation = "") {
        const size_t before = On(unit + "/result").size();
        Send("velkor/plant/" + unit + "/" + command, payload, retain, responseTopic, correlation);
        if (retain) return {};
        for (const auto end = std::chrono::steady_clock::now() + 30s;
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(20ms))
            if (const auto results = On(unit + "/result"); results.size() > before)
                return Json::parse(results[before].payload);
        ADD_FAILURE() << "no answer to " << command << " " << payload;
        return {};
    }
    void Send(const std::string& topic, const std::string& payload, bool retain,
              const std::string& responseTopic = "", const std::string& correlation = "") {
        mosquitto_property* properties = nullptr;
        if (!responseTopic.empty())
            mosquitto_property_add_string(&properties, MQTT_PROP_RESPONSE_TOPIC,
                                          responseTopic.c_str());
        if (!correlation.empty())
            mosquitto_property_add_binary(&properties, MQTT_PROP_CORRELATION_DATA,
                                          correlation.data(),
                                          static_cast<uint16_t>(correlation.size()));
        EXPECT_EQ(
            mosquitto_publish_v5(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                                 payload.data(), 1, retain, properties),
            MOSQ_ERR_SUCCESS);
        mosquitto_property_free_all(&properties);
    }
    // Waits until `topic` has had a message for which `done` holds; that message's payload.
    std::string Await(const std::string& topic, const std::function<bool(const std::string&)>& done,
                      std::chrono::milliseconds limit = 30s) {
        for (const auto end = std::chrono::steady_clock::now() + limit;
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(20ms))
            for (const Message& m : On(topic))
                if (done(m.payload)) return m.payload;
        ADD_FAILURE() << "nothing on " << topic;
        return {};
    }

private:
    mosquitto* client_;
    std::mutex mutex_;
    std::vector<Message> messages_;
};

int64_t SeqOf(const std::string& payload) {
    return Json::parse(payload).at("seq").get<int64_t>();
}

std::function<bool(const std::string&)> Is(const std::string& text) {
    return [text](const std::string& payload) { return payload == text; };
}

bool Any(const std::string&) {
    return true;
}

std::function<bool(const std::string&)> SeqAtLeast(int64_t seq) {
    return [seq](const std::string& payload) { return SeqOf(payload) >= seq; };
}

std::string Gateway(const std::string& name, int simPort, const std::string& nodes,
                    bool commands = false) {
    return "[[gateway]]\nname = \"" + name + "\"\nhost = \"127.0.0.1:" + std::to_string(simPort) +
           "\"\nnodes = \"" + nodes + "\"\ninterval = 1\ntimeout_ms = 200\noffline_after = 1\n" +
           (commands ? "commands = true\n" : "");
}

std::string Config(int brokerPort, int simPort, const std::string& nodes,
                   const std::string& broker = "", const std::string& more = "") {
    const std::string path = TempPath("bridge.toml");
    std::ofstream(path) << "name = \"plant\"\n[broker]\nport = " << brokerPort << "\n"
                        << broker << Gateway("line1", simPort, nodes) << more;
    return path;
}

// Throwaway certificates made with openssl: an authority that signed the broker's certificate
// for 127.0.0.1 and a client's, and another that signed nothing here.
class Certificates {
public:
    Certificates() : dir_(TempPath("pki") + "/") {
        std::filesystem::create_directory(dir_);
        for (const char* authority : {"ca", "other"})
            Make(authority, {"-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                             "keyUsage=keyCertSign"});
        Make("broker", {"-CA", dir_ + "ca.crt", "-CAkey", dir_ + "ca.key", "-addext",
                        "subjectAltName=IP:127.0.0.1"});
        Make("bridge", {"-CA", dir_ + "ca.crt", "-CAkey", dir_ + "ca.key"});
    }
    std::string Listener(int port) const {
        return "listener " + std::to_string(port) + " 127.0.0.1\ncafile " + dir_ +
               "ca.crt\ncertfile " + dir_ + "broker.crt\nkeyfile " + dir_ + "broker.key\n";
    }
    std::string Trust(const std::string& authority) const {
        return "ca_file = \"" + dir_ + authority + ".crt\"\n";
    }
    std::string Client() const {
        return "cert_file = \"" + dir_ + "bridge.crt\"\nkey_file = \"" + dir_ + "bridge.key\"\n";
    }

private:
    void Make(const std::string& name, const std::vector<std::string>& more) const {
        std::istringstream fixed(
            "req -x509 -config /dev/null -newkey ec -pkeyopt "
            "ec_paramgen_curve:P-256 -nodes -days 1 -subj");
        std::vector<std::string> args(std::istream_iterator<std::string>(fixed), {});
        args.insert(args.end(), {"/CN=velkor test " + name, "-keyout", dir_ + name + ".key", "-out",
                                 dir_ + name + ".crt"});
        args.insert(args.end(), more.begin(), more.end());
        const ProgramRun run = RunToEnd(OPENSSL_PATH, args, RUN_LIMIT_MS);
        EXPECT_EQ(run.exitCode, 0) << name << ": " << run.err;
    }

    std::string dir_;
};

// The service manager's end of sd_notify, named by NOTIFY_SOCKET to the programs started while
// it exists.
class NotifySocket {
public:
    NotifySocket() : path_(TempPath("notify")), fd_(::socket(AF_UNIX, SOCK_DGRAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path_.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::setenv("NOTIFY_SOCKET", path_.c_str(), 1);
    }
    ~NotifySocket() {
        ::unsetenv("NOTIFY_SOCKET");
        ::close(fd_);
    }
    // Waits until a message holds `text`; every message so far, one a line.
    std::string Await(const std::string& text, std::chrono::milliseconds limit = 30s) {
        for (const auto end = std::chrono::steady_clock::now() + limit;
             told_.find(text) == std::string::npos;) {
            pollfd wait{fd_, POLLIN, 0};
            if (std::chrono::steady_clock::now() >= end) {
                ADD_FAILURE() << "no message with " << text << " in:\n" << told_;
                break;
            }
            if (::poll(&wait, 1, 100) != 1) continue;
            char message[4096];
            const ssize_t got = ::recv(fd_, message, sizeof message, 0);
            if (got > 0) told_.append(message, static_cast<size_t>(got)).push_back('\n');
        }
        return told_;
    }

private:
    std::string path_;
    int fd_;
    std::string told_;
};

std::string FileHolding(const std::string& text) {
    const std::string path = TempPath("file");
    std::ofstream(path) << text;
    return path;
}

std::unique_ptr<ChildProcess> Bridge(const std::string& config) {
    return std::make_unique<ChildProcess>(VELKOR_BRIDGE_PATH,
                                          std::vector<std::string>{"--config", config});
}

// Counts as the units hold them, seq going up by one; info as velkorctl shows the unit; a refused
// model reported once; an absent node, and on a line of its own a unit that answers everything
// but its counts, offline without holding up the others; a late subscriber handed the retained
// state; the will after kill -9.
TEST(Bridge, PublishesTheUnitsAsTheyHoldThem) {
    Broker broker;
    const std::vector<std::string> units = {"--count",    "1:0:123",  "--count", "1:4:-5",
                                            "--settings", "3:mode=3", "--count", "3:0:77"};
    SimProcess sim(units), twin(units);  // a gateway serves one client: velkorctl asks the twin
    SimProcess silent({"--silent", "PG"});
    ASSERT_TRUE(sim.Started() && twin.Started() && silent.Started());
    Subscriber early(broker.Port());
    auto bridge = Bridge(
        Config(broker.Port(), sim.Port(), "1,3,4,9", "", Gateway("line2", silent.Port(), "2")));
    early.Await("line1/1/counts", SeqAtLeast(3));
    int64_t seq = 0;
    for (const Message& m : early.On("line1/1/counts")) {
        EXPECT_EQ(SeqOf(m.payload), ++seq);
        EXPECT_EQ(Json::parse(m.payload).at("counts"),
                  Json::parse(R"({"DI1":123,"DI2":0,"DI3":0,"DI4":0,"DI5":-5})"));
    }
    EXPECT_EQ(Json::parse(early.Await("line1/3/counts", SeqAtLeast(1))).at("counts"),
              Json::parse(R"({"DI1+DI2":77})"));
    const Json refusal = Json::parse(early.Await("line1/4/error", Any));
    EXPECT_EQ(refusal.at("kind"), "refused");
    EXPECT_EQ(refusal.at("text"), "パルスカウント機能に対応していないモデルです。");
    EXPECT_EQ(early.On("line1/4/error").size(), 1u) << "reported once, not polled again";
    for (const char* failing : {"line1/9/error", "line2/2/error"}) {
        const Json failure = Json::parse(early.Await(failing, Any));
        EXPECT_EQ(failure.at("kind"), "link") << failing;
        EXPECT_EQ(failure.at("code"), 20003) << failing;
    }
    EXPECT_EQ(Json::parse(early.Await("line2/2/info", Any)).at("pulseInputs"), 3);

    Subscriber late(broker.Port());
    for (const char* offline :
         {"line1/4/availability", "line1/9/availability", "line2/2/availability"})
        late.Await(offline, Is("offline"));
    late.Await("status", Is("online"));
    late.Await("line1/1/availability", Is("online"));
    EXPECT_TRUE(late.On("line1/1/counts").at(0).retained);
    EXPECT_TRUE(late.On("line1/9/error").empty()) << "errors are not retained";
    Json info = Json::parse(late.Await("line1/1/info", Any));
    const std::string route = "--host=127.0.0.1:" + std::to_string(twin.Port());
    Json settings = Json::parse(
        RunToEnd(VELKORCTL_PATH, {"settings", route, "-n", "1", "--json"}, RUN_LIMIT_MS).out);
    settings.erase("node");
    EXPECT_EQ(info.at("settings"), settings);
    info.erase("settings");
    EXPECT_EQ(
        info,
        Json::parse(
            RunToEnd(VELKORCTL_PATH, {"identify", route, "-n", "1", "--json"}, RUN_LIMIT_MS).out));

    bridge->Signal(SIGKILL);
    late.Await("status", Is("offline"));
}

// The gateway lost and back, the broker stopped and started again without persistence: readings
// go on, those taken while the broker was away arrive afterwards in order, the retained state
// first; a clean stop marks everything offline.
TEST(Bridge, OutagesOnEitherSideLoseNoReading) {
    Broker broker;
    const int simPort = ClosedLoopbackPort();
    const std::vector<std::string> simArgs = {"--listen", "127.0.0.1:" + std::to_string(simPort)};
    auto sim = std::make_unique<SimProcess>(simArgs);
    auto subscriber = std::make_unique<Subscriber>(broker.Port());
    ::setenv("VELKOR_BRIDGE_STATS_PERIOD_MS", "1000", 1);
    auto bridge = Bridge(Config(broker.Port(), simPort, "1"));
    subscriber->Await("line1/1/counts", SeqAtLeast(2));
    sim.reset();
    subscriber->Await("line1/1/error", Any);
    // The gateway comes back holding other settings: they are read again and the info follows.
    std::vector<std::string> changed = simArgs;
    changed.insert(changed.end(), {"--settings", "1:period=2"});
    sim = std::make_unique<SimProcess>(changed);
    const int64_t before = SeqOf(subscriber->On("line1/1/counts").back().payload);
    subscriber->Await("line1/1/counts", SeqAtLeast(before + 2));
    subscriber->Await("line1/1/info", [](const std::string& payload) {
        return Json::parse(payload)["settings"]["period"]["word"] == "10s";
    });

    const int64_t delivered = SeqOf(subscriber->On("line1/1/counts").back().payload);
    subscriber.reset();
    broker.Stop();
    std::this_thread::sleep_for(
        3500ms);  // readings are taken meanwhile; the bridge retries at 1 and 3 s
    broker.Start();
    subscriber = std::make_unique<Subscriber>(broker.Port());
    subscriber->Await("line1/1/counts", SeqAtLeast(delivered + 4));
    subscriber->Await("status", Is("online"));
    subscriber->Await("line1/1/availability", Is("online"));
    const auto after = subscriber->On("line1/1/counts");
    EXPECT_EQ(SeqOf(after.at(0).payload), delivered) << "the retained reading comes first";
    for (size_t i = 1; i < after.size(); ++i)
        EXPECT_EQ(SeqOf(after[i].payload), delivered + static_cast<int64_t>(i));
    const Json stats = Json::parse(subscriber->Await(
        "stats", [](const std::string& p) { return Json::parse(p).at("brokerReconnects") >= 1; }));
    EXPECT_GE(stats.at("gatewayReconnects"), 1);
    EXPECT_GT(stats.at("published"), 0);

    bridge->Signal(SIGTERM);
    subscriber->Await("line1/1/availability", Is("offline"));
    subscriber->Await("status", Is("offline"));
    EXPECT_EQ(bridge->Finish(RUN_LIMIT_MS).exitCode, 0);
}

// --once reads every unit, waits for the broker's acknowledgements and tells how it went; while
// the broker is away the readings wait up to the queue limit, the oldest dropped and said so.
TEST(Bridge, OneRoundAndTheQueueLimit) {
    Broker broker;
    SimProcess sim;
    ASSERT_TRUE(sim.Started());
    for (const auto& [nodes, status] : {std::pair{"1-3", 0}, std::pair{"1,9", 1}}) {
        const auto once = Config(broker.Port(), sim.Port(), nodes);
        EXPECT_EQ(RunToEnd(VELKOR_BRIDGE_PATH, {"--once", "--config", once}, RUN_LIMIT_MS).exitCode,
                  status)
            << nodes;
    }
    broker.Stop();
    auto bridge = Bridge(Config(broker.Port(), sim.Port(), "1", "queue_limit = 2\n"));
    std::this_thread::sleep_for(3500ms);  // four readings taken; the bridge retries at 1 and 3 s
    broker.Start();
    Subscriber subscriber(broker.Port());
    subscriber.Await("line1/1/counts", SeqAtLeast(4));
    const auto got = subscriber.On("line1/1/counts");
    ASSERT_GE(got.size(), 2u);
    EXPECT_GE(SeqOf(got[0].payload), 3) << "the oldest were dropped";
    EXPECT_EQ(SeqOf(got[1].payload), SeqOf(got[0].payload) + 1);
    bridge->Signal(SIGTERM);
    EXPECT_NE(bridge->Finish(RUN_LIMIT_MS).err.find("queue limit of 2 readings reached"),
              std::string::npos);
}

// Two bridges with one client id: the broker keeps handing the session from one to the other;
// each says why, and after the third time one of them gives up instead of going on.
TEST(Bridge, ASessionTakenOverIsSaidAndNotFoughtForever) {
    Broker broker;
    SimProcess sim, twin;
    ASSERT_TRUE(sim.Started() && twin.Started());
    Subscriber subscriber(broker.Port());
    auto first = Bridge(Config(broker.Port(), sim.Port(), "1"));
    subscriber.Await("status", Is("online"));
    auto second = Bridge(Config(broker.Port(), twin.Port(), "1"));
    std::this_thread::sleep_for(5s);  // three take-overs take milliseconds; the loser has ended
    first->Signal(SIGTERM);
    second->Signal(SIGTERM);
    const ProgramRun runs[] = {first->Finish(RUN_LIMIT_MS), second->Finish(RUN_LIMIT_MS)};
    int gaveUp = 0;
    for (const ProgramRun& run : runs) {
        EXPECT_NE(run.err.find("(session taken over)"), std::string::npos);
        EXPECT_NE(run.err.find("give each bridge its own client_id"), std::string::npos);
        gaveUp += run.exitCode == 1 &&
                  run.err.find("stops instead of taking it back") != std::string::npos;
    }
    EXPECT_EQ(gaveUp, 1);
}

// ----- Commands ----------------------------------------------------------------------------------

// The settings writes (PC, PU, PS) velkor-sim received, in order, node digits included.
std::vector<std::string> WritesIn(const std::string& log) {
    std::vector<std::string> writes;
    for (const std::string& frame : ReceivedFramesOfLog(FileText(log))) {
        const std::string letters = CommandOf(frame).substr(0, 2);
        if (letters == "PC" || letters == "PU" || letters == "PS") writes.push_back(frame);
    }
    return writes;
}

Json CtlJson(int port, std::vector<std::string> args) {
    args.insert(args.begin() + 1, {"--host=127.0.0.1:" + std::to_string(port), "--json"});
    const ProgramRun run = RunToEnd(VELKORCTL_PATH, args, RUN_LIMIT_MS);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return Json::parse(run.out);
}

// A bridge whose gateway "cmd" takes commands, on a velkor-sim whose twin velkorctl works on;
// line1, on a simulator of its own, does not take them.
struct CommandBench {
    Broker broker;
    std::string log = TempPath("bridge-sim.log"), twinLog = TempPath("twin-sim.log"),
                offLog = TempPath("off-sim.log");
    // Two units of five inputs each, so that one's settings can be copied onto the other.
    SimProcess sim{{"--log", log, "--unit", "1:2", "--unit", "2:2"}},
        twin{{"--log", twinLog, "--unit", "1:2", "--unit", "2:2"}}, off{{"--log", offLog}};
    Subscriber plant{broker.Port()};
    std::unique_ptr<ChildProcess> bridge =
        Bridge(Config(broker.Port(), off.Port(), "1", "", Gateway("cmd", sim.Port(), "1,2", true)));
    CommandBench() {
        // The bridge subscribed before it published the state.
        plant.Await("cmd/2/counts", Any);
    }
};

// A set in either form writes exactly the frames velkorctl writes for the same change, answers
// with the settings read back, and the info follows them.
TEST(BridgeCommands, SetInEitherFormWritesVelkorctlsFrames) {
    CommandBench bench;
    const Json words = bench.plant.Ask("cmd/1", "set", R"({"DI2":"falling","period":"10s"})");
    const Json byCtl =
        CtlJson(bench.twin.Port(), {"set", "-n", "1", "--edge", "DI2=falling", "--period", "10s"});
    EXPECT_EQ(words, Json({{"command", "set"}, {"ok", true}, {"settings", byCtl}}));
    EXPECT_EQ(WritesIn(bench.log), WritesIn(bench.twinLog));
    bench.plant.Await("cmd/1/info", [](const std::string& payload) {
        return Json::parse(payload)["settings"]["DI2"]["word"] == "falling";
    });

    // Node 1's settings, raw codes and all, copied onto node 2 with counting switched on.
    Json copy = CtlJson(bench.twin.Port(), {"settings", "-n", "1"});
    const std::string file = TempPath("unit.json");
    std::ofstream(file) << copy.dump();
    copy["counting"] = "on";
    const Json copied = bench.plant.Ask("cmd/2", "set", copy.dump());
    const Json copiedByCtl =
        CtlJson(bench.twin.Port(), {"set", "-n", "2", "--from", file, "--counting", "on"});
    EXPECT_EQ(copied.at("settings"), copiedByCtl);
    EXPECT_EQ(copied.at("settings").at("counting").at("word"), "on");
    EXPECT_EQ(WritesIn(bench.log), WritesIn(bench.twinLog));
    EXPECT_EQ(WritesIn(bench.log).size(), 6u + 7) << "DI1-DI5 and PU, twice, and PS";
}

// Payloads the bridge does not act on: each answered with an error, none writes anything, as a
// retained command is not even answered; a gateway without commands takes none.
TEST(BridgeCommands, WhatIsNotActedOnWritesNothing) {
    CommandBench bench;
    const ProgramRun refusedByCtl =
        RunToEnd(VELKORCTL_PATH,
                 {"set", "--host=127.0.0.1:" + std::to_string(bench.twin.Port()), "-n", "1",
                  "--mode", "x4", "--edge", "DI2=off"},
                 RUN_LIMIT_MS);
    EXPECT_EQ(refusedByCtl.exitCode, 3);
    const struct {
        std::string command, payload, kind, text;
    } cases[] = {
        {"set", R"({"mode":"x4","DI2":"off"})", "refused", "velkorctl's refusal"},
        {"set", R"({"mode":"x4","clearSignal":"on","DI3":"off"})", "refused",
         "(\"force\":true writes the settings all the same)"},
        {"set", "not json", "request", "not JSON: parse error at line 1, column 2"},
        {"set", R"([{"DI1":"off"}])", "request", "the payload is not a JSON object"},
        {"set", R"({"DI1":"off"} {})", "request", "unexpected text after the JSON object"},
        {"set", std::string(40, '[') + std::string(40, ']'), "request", "nesting too deep"},
        {"set", std::string(20000, ' ') + "{}", "request", "larger than 16384 bytes"},
        {"set", "{}", "request", "nothing to change"},
        {"set", R"({"DI2":"up"})", "request", "DI2: unknown word 'up'"},
        {"set", R"({"DI2":2})", "request", "DI2 must be a word (a JSON string)"},
        {"set", R"({"colour":"red"})", "request", "unknown key 'colour'"},
        {"set", R"({"DI2":"off","force":1})", "request", "force must be true or false"},
        {"set", R"({"mode":{"raw":400}})", "request", "mode: raw code is not a parameter"},
        {"set", R"({"mode":{"value":1,"colour":2}})", "request", "mode: unknown key 'colour'"},
        {"start", "now", "request", "start takes an empty payload"},
    };
    for (const auto& c : cases) {
        const Json answer = bench.plant.Ask("cmd/1", c.command, c.payload);
        EXPECT_EQ(answer.at("ok"), false) << c.payload;
        EXPECT_EQ(answer.at("error").at("kind"), c.kind) << c.payload;
        const std::string text = answer.at("error").at("text");
        if (c.text == "velkorctl's refusal")
            EXPECT_NE(refusedByCtl.err.find("node 1: " + text), std::string::npos) << text;
        else
            EXPECT_NE(text.find(c.text), std::string::npos) << text;
        if (c.command == "set") {
            EXPECT_EQ(answer.at("frames"),
                      Json::parse(R"({"acknowledged":[],"unanswered":[],"unsent":[]})"));
        }
    }
    EXPECT_TRUE(WritesIn(bench.log).empty());

    // A retained set and one for a gateway without commands; the start after them is answered
    // first on its own: commands run in the order they came.
    bench.plant.Ask("cmd/1", "set", R"({"DI1":"off"})", true);
    bench.plant.Send("velkor/plant/line1/1/set", R"({"DI1":"off"})", false);
    EXPECT_EQ(bench.plant.Ask("cmd/1", "start", "").at("ok"), true);
    const int64_t seen = SeqOf(bench.plant.Await("line1/1/counts", Any));
    bench.plant.Await("line1/1/counts", SeqAtLeast(seen + 1));
    EXPECT_EQ(bench.plant.On("cmd/1/result").size(), std::size(cases) + 1);
    EXPECT_TRUE(bench.plant.On("line1/1/result").empty());
    EXPECT_EQ(ShownCommands(WritesIn(bench.log)), ShownCommands({Framed("01PS(")}));
    EXPECT_TRUE(WritesIn(bench.offLog).empty());
}

// Start and stop, answered also on the request's response topic with its correlation data; a
// write the unit stops answering halfway tells each frame's fate as velkorctl does.
TEST(BridgeCommands, StartStopResponseTopicAndASilentUnit) {
    CommandBench bench;
    const Json started = bench.plant.Ask("cmd/1", "start", "", false, "replies/a", "id-7");
    EXPECT_EQ(started, Json::parse(R"({"command":"start","ok":true,"counting":"on"})"));
    const Message reply = bench.plant.On("replies/a").at(0);
    EXPECT_EQ(Json::parse(reply.payload), started);
    EXPECT_EQ(reply.correlation, "id-7");
    EXPECT_FALSE(reply.retained);
    EXPECT_EQ(bench.plant.On("cmd/1/result").at(0).correlation, "id-7");
    bench.plant.Await("cmd/1/info", [](const std::string& payload) {
        return Json::parse(payload)["settings"]["counting"]["word"] == "on";
    });
    EXPECT_EQ(bench.plant.Ask("cmd/1", "stop", "").at("counting"), "off");
    for (const char* command : {"start", "stop"})
        RunToEnd(VELKORCTL_PATH,
                 {command, "--host=127.0.0.1:" + std::to_string(bench.twin.Port()), "-n", "1"},
                 RUN_LIMIT_MS);
    EXPECT_EQ(WritesIn(bench.log), WritesIn(bench.twinLog));

    SimProcess silent({"--silent", "PU"});
    Subscriber plant(bench.broker.Port());
    auto bridge = Bridge(Config(bench.broker.Port(), ClosedLoopbackPort(), "1",
                                "client_id = \"b2\"\n", Gateway("mute", silent.Port(), "2", true)));
    plant.Await("mute/2/counts", Any);
    const Json failed = plant.Ask("mute/2", "set", R"({"DI1":"falling","counting":"on"})");
    EXPECT_EQ(failed.at("ok"), false);
    EXPECT_EQ(failed.at("error").at("code"), 20003);
    EXPECT_EQ(failed.at("frames"),
              Json::parse(R"({"acknowledged":["DI1 edge","DI2 edge","DI3 edge"],
        "unanswered":["mode, period and debounce"],"unsent":["counting start"]})"));
}

// TLS to a broker that checks a password on one listener and a client certificate on another: a
// good login and a client certificate connect, and the service manager hears so after READY=1; a
// wrong password and a broker certificate from an unknown authority are logged with their cause
// and tried again after 1 and 2 s. The password shows nowhere.
TEST(Bridge, TlsLoginsAndTheirFailures) {
    const Certificates pki;
    const std::string password = "pass-" + std::to_string(::getpid()) + "-word";
    const std::string passwords = TempPath("passwd");
    ASSERT_EQ(
        RunToEnd(MOSQUITTO_PASSWD_PATH, {"-c", "-b", passwords, "bridge", password}, RUN_LIMIT_MS)
            .exitCode,
        0);
    const int loginPort = ClosedLoopbackPort(), certificatePort = ClosedLoopbackPort();
    Broker broker(pki.Listener(loginPort) + "password_file " + passwords +
                  "\nallow_anonymous false\n" + pki.Listener(certificatePort) +
                  "require_certificate true\nuse_identity_as_username true\n");
    SimProcess sim;
    ASSERT_TRUE(sim.Started());
    const std::string login = "username = \"bridge\"\npassword_file = \"";
    const struct {
        const char* what;
        int port;
        std::string keys;
        const char* status;
        const char* logged;
    } cases[] = {
        {"password", loginPort, pki.Trust("ca") + login + FileHolding(password + "\n") + "\"\n",
         "STATUS=connected to the broker", "connected to the broker"},
        {"client certificate", certificatePort, pki.Trust("ca") + pki.Client(),
         "STATUS=connected to the broker", "connected to the broker"},
        {"wrong password", loginPort,
         pki.Trust("ca") + login + FileHolding("not-" + password + "\r\n") + "\"\n",
         "next try in 2 s",
         "refused the connection: Not authorized (check broker.username, the password "
         "in broker.password_file, or the client certificate); next try in 1 s"},
        {"unknown authority", loginPort,
         pki.Trust("other") + login + FileHolding(password + "\n") + "\"\n", "next try in 2 s",
         "TLS: the broker's certificate is not signed by the authority of ca_file, has expired, or "
         "is not issued for the host name (certificate verify failed); next try in 1 s"},
    };
    for (const auto& c : cases) {
        NotifySocket manager;
        auto bridge = Bridge(Config(c.port, sim.Port(), "1", c.keys));
        manager.Await("READY=1");
        const std::string told = manager.Await(c.status);
        bridge->Signal(SIGTERM);
        const ProgramRun run = bridge->Finish(RUN_LIMIT_MS);
        EXPECT_EQ(run.exitCode, 0) << c.what << "\n" << run.err;
        EXPECT_NE(run.err.find(c.logged), std::string::npos) << c.what << "\n" << run.err;
        EXPECT_EQ((run.err + told).find(password), std::string::npos) << c.what;
    }
}

}  // namespace
