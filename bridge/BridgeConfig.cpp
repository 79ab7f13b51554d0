#include "bridge/BridgeConfig.h"

#include <toml++/toml.h>
#include <set>

#include "unit/RouteText.h"

namespace {

// A mistake found at a line of the file.
struct ConfigError {
    int64_t line;
    std::string what;
};

int64_t LineOf(const toml::node& node) {
    return static_cast<int64_t>(node.source().begin.line);
}

void RefuseUnknownKeys(const toml::table& table, const std::set<std::string>& known,
                       const std::string& where) {
    for (const auto& [key, node] : table) {
        const std::string name(key.str());
        if (known.count(name) == 0) throw ConfigError{LineOf(node), "unknown key " + where + name};
    }
}

std::string StringOf(const toml::node& node, const std::string& key) {
    if (!node.is_string()) throw ConfigError{LineOf(node), key + " must be a string"};
    return std::string(*node.as_string());
}

int64_t IntegerOf(const toml::node& node, const std::string& key, int64_t low, int64_t high) {
    if (!node.is_integer()) throw ConfigError{LineOf(node), key + " must be an integer"};
    const int64_t value = node.as_integer()->get();
    if (value < low || value > high)
        throw ConfigError{LineOf(node), key + " must be " + std::to_string(low) + " to " +
                                            std::to_string(high) + ", not " +
                                            std::to_string(value)};
    return value;
}

std::string SegmentOf(const toml::node& node, const std::string& key) {
    const std::string text = StringOf(node, key);
    if (!IsTopicSegment(text))
        throw ConfigError{LineOf(node),
                          key + " '" + text + "' is not a topic segment (A-Z a-z 0-9 _ -)"};
    return text;
}

bool IsTopicPrefix(const std::string& text) {
    size_t start = 0;
    for (;;) {
        const size_t slash = text.find('/', start);
        if (!IsTopicSegment(text.substr(start, slash - start))) return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

// A file the bridge reads at its start, checked now so that --check names its line.
std::string ReadableFileOf(const toml::node& node, const std::string& key) {
    const std::string path = StringOf(node, key);
    std::string fault;
    if (path.empty() || !Readable(path, fault))
        throw ConfigError{LineOf(node), key + ": " + (path.empty() ? "empty" : fault)};
    return path;
}

// TLS and the login. The password itself only ever comes from its file.
void ReadSecurity(const toml::table& table, BrokerConfig& broker) {
    BrokerSecurity& security = broker.security;
    if (const auto* node = table.get("password"))
        throw ConfigError{LineOf(*node),
                          "broker.password: a password never stands in the config; name the file "
                          "that holds it with broker.password_file"};
    const struct {
        const char* key;
        std::string BrokerSecurity::*path;
    } files[] = {{"ca_file", &BrokerSecurity::caFile},
                 {"cert_file", &BrokerSecurity::certFile},
                 {"key_file", &BrokerSecurity::keyFile}};
    for (const auto& file : files)
        if (const auto* node = table.get(file.key))
            security.*file.path = ReadableFileOf(*node, std::string("broker.") + file.key);
    if (security.certFile.empty() != security.keyFile.empty())
        throw ConfigError{LineOf(*table.get(security.certFile.empty() ? "key_file" : "cert_file")),
                          "broker: give cert_file and key_file together"};
    if (!security.certFile.empty() && !security.Tls())
        throw ConfigError{LineOf(*table.get("cert_file")),
                          "broker.cert_file: a client certificate needs TLS: set ca_file"};
    if (const auto* node = table.get("username")) {
        security.username = StringOf(*node, "broker.username");
        if (security.username.empty()) throw ConfigError{LineOf(*node), "broker.username is empty"};
    }
    if (const auto* node = table.get("password_file")) {
        security.passwordFile = StringOf(*node, "broker.password_file");
        std::string fault;
        if (security.username.empty())
            throw ConfigError{LineOf(*node), "broker.password_file needs broker.username"};
        if (!ReadPassword(security.passwordFile, security.password, fault))
            throw ConfigError{LineOf(*node), "broker.password_file: " + fault};
    }
    if (security.Tls() && !table.contains("port")) broker.port = 8883;
}

void ReadBroker(const toml::table& table, BrokerConfig& broker) {
    RefuseUnknownKeys(table,
                      {"host", "port", "client_id", "keepalive", "qos", "queue_limit", "ca_file",
                       "cert_file", "key_file", "username", "password_file", "password"},
                      "broker.");
    ReadSecurity(table, broker);
    if (const auto* node = table.get("host")) {
        broker.host = StringOf(*node, "broker.host");
        if (broker.host.empty()) throw ConfigError{LineOf(*node), "broker.host is empty"};
    }
    if (const auto* node = table.get("port"))
        broker.port = static_cast<int32_t>(IntegerOf(*node, "broker.port", 1, 65535));
    if (const auto* node = table.get("client_id"))
        broker.clientId = StringOf(*node, "broker.client_id");
    if (const auto* node = table.get("keepalive"))
        broker.keepalive = static_cast<int32_t>(IntegerOf(*node, "broker.keepalive", 5, 65535));
    if (const auto* node = table.get("qos"))
        broker.qos = static_cast<int32_t>(IntegerOf(*node, "broker.qos", 0, 1));
    if (const auto* node = table.get("queue_limit"))
        broker.queueLimit = IntegerOf(*node, "broker.queue_limit", 1, 100000000);
}

GatewayConfig ReadGateway(const toml::table& table) {
    GatewayConfig gateway;
    gateway.line = LineOf(table);
    RefuseUnknownKeys(
        table,
        {"name", "host", "serial", "nodes", "interval", "timeout_ms", "offline_after", "commands"},
        "gateway.");
    const auto* name = table.get("name");
    if (name == nullptr) throw ConfigError{gateway.line, "a gateway has no name"};
    gateway.name = SegmentOf(*name, "gateway.name");
    const auto* host = table.get("host");
    const auto* serial = table.get("serial");
    if ((host == nullptr) == (serial == nullptr))
        throw ConfigError{gateway.line, "gateway " + gateway.name +
                                            " needs either host or serial, not " +
                                            (host ? "both" : "neither")};
    if (host) {
        gateway.routeText = StringOf(*host, "gateway.host");
        const AddressFault fault = ParseGatewayAddress(gateway.routeText, gateway.route);
        if (fault != AddressFault::None)
            throw ConfigError{
                LineOf(*host),
                "gateway.host: " + AddressFaultText(fault, gateway.routeText, gateway.route)};
        gateway.route.family = AddressFamily::Any;
    } else {
        gateway.routeText = StringOf(*serial, "gateway.serial");
        if (gateway.routeText.empty())
            throw ConfigError{LineOf(*serial), "gateway.serial is empty"};
        gateway.route.kind = Serial;
        gateway.route.portPath = gateway.routeText;
    }
    std::string nodes = "1-5";
    if (const auto* node = table.get("nodes")) nodes = StringOf(*node, "gateway.nodes");
    const auto list = ParseNodeList(nodes);
    if (!list)
        throw ConfigError{
            table.get("nodes") ? LineOf(*table.get("nodes")) : gateway.line,
            "gateway.nodes: '" + nodes + "' is not a list of nodes 0-254 such as 1-5,7"};
    gateway.nodes = *list;
    if (const auto* node = table.get("interval"))
        gateway.interval = static_cast<int32_t>(IntegerOf(*node, "gateway.interval", 1, 3600));
    if (const auto* node = table.get("timeout_ms"))
        gateway.timeoutMs = static_cast<int32_t>(IntegerOf(*node, "gateway.timeout_ms", 10, 60000));
    if (const auto* node = table.get("offline_after"))
        gateway.offlineAfter =
            static_cast<int32_t>(IntegerOf(*node, "gateway.offline_after", 1, 1000));
    if (const auto* node = table.get("commands")) {
        if (!node->is_boolean())
            throw ConfigError{LineOf(*node), "gateway.commands must be true or false"};
        gateway.commands = node->as_boolean()->get();
    }
    return gateway;
}

BridgeConfig ReadConfig(const toml::table& root, const std::string& hostName) {
    RefuseUnknownKeys(root, {"name", "topic_prefix", "broker", "gateway"}, "");
    BridgeConfig config;
    if (const auto* node = root.get("name")) {
        config.name = SegmentOf(*node, "name");
    } else if (IsTopicSegment(hostName)) {
        config.name = hostName;
    } else {
        throw ConfigError{0, "no name, and the host name '" + hostName +
                                 "' is not a topic segment (A-Z a-z 0-9 _ -)"};
    }
    if (const auto* node = root.get("topic_prefix")) {
        config.topicPrefix = StringOf(*node, "topic_prefix");
        if (!IsTopicPrefix(config.topicPrefix))
            throw ConfigError{LineOf(*node), "topic_prefix '" + config.topicPrefix +
                                                 "' is not topic segments joined by '/'"};
    }
    if (const auto* node = root.get("broker")) {
        if (!node->is_table()) throw ConfigError{LineOf(*node), "broker must be a table"};
        ReadBroker(*node->as_table(), config.broker);
    }
    if (config.broker.clientId.empty()) config.broker.clientId = "velkor-bridge-" + config.name;
    const auto* gateways = root.get("gateway");
    if (gateways == nullptr || !gateways->is_array_of_tables() || gateways->as_array()->empty())
        throw ConfigError{gateways ? LineOf(*gateways) : 0, "no [[gateway]] is configured"};
    std::set<std::string> names;
    for (const auto& node : *gateways->as_array()) {
        GatewayConfig gateway = ReadGateway(*node.as_table());
        if (!names.insert(gateway.name).second)
            throw ConfigError{gateway.line, "a second gateway named " + gateway.name};
        config.gateways.push_back(std::move(gateway));
    }
    return config;
}

}  // namespace

bool IsTopicSegment(const std::string& text) {
    if (text.empty()) return false;
    for (const char c : text) {
        const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                             (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!allowed) return false;
    }
    return true;
}

std::optional<BridgeConfig> ReadBridgeConfig(const std::string& path, const std::string& hostName,
                                             std::string& error) {
    try {
        return ReadConfig(toml::parse_file(path), hostName);
    } catch (const toml::parse_error& failure) {
        const auto line = failure.source().begin.line;
        error = path + (line > 0 ? ":" + std::to_string(line) : "") + ": " +
                std::string(failure.description());
    } catch (const ConfigError& failure) {
        error = path + (failure.line > 0 ? ":" + std::to_string(failure.line) : "") + ": " +
                failure.what;
    }
    return std::nullopt;
}
