// The config file: defaults, and each mistake named with its file and line.
#include <gtest/gtest.h>

#include <fstream>

#include "../sim/SimProcess.h"
#include "bridge/BridgeConfig.h"

namespace {

std::string Written(const std::string& text) {
    const std::string path = TempPath("bridge.toml");
    std::ofstream(path) << text;
    return path;
}

TEST(BridgeConfig, DefaultsFillWhatIsNotGiven) {
    std::string error;
    const auto config = ReadBridgeConfig(
        Written("[[gateway]]\nname = \"line1\"\nhost = \"127.0.0.1\"\n"), "plant-b", error);
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(config->name, "plant-b");
    EXPECT_EQ(config->topicPrefix, "velkor");
    EXPECT_EQ(config->broker.host, "127.0.0.1");
    EXPECT_EQ(config->broker.port, 1883);
    EXPECT_EQ(config->broker.clientId, "velkor-bridge-plant-b");
    EXPECT_EQ(config->broker.queueLimit, 100000);
    const GatewayConfig& gateway = config->gateways.at(0);
    EXPECT_EQ(gateway.route.service, "10003");
    EXPECT_EQ(gateway.nodes, (std::vector<int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(gateway.interval, 10);
    EXPECT_EQ(gateway.timeoutMs, 1000);
    EXPECT_EQ(gateway.offlineAfter, 3);
    EXPECT_FALSE(gateway.commands);
}

TEST(BridgeConfig, EachMistakeIsNamedWithItsLine) {
    const std::string gateway = "[[gateway]]\nname = \"line1\"\nhost = \"127.0.0.1\"\n";
    const std::string readable = Written(""), blankFirst = Written("\nsecond\n");
    const struct {
        std::string text;
        std::string message;  // after "FILE"
    } cases[] = {
        {"name = \"a\"\ncolour = 1\n" + gateway, ":2: unknown key colour"},
        {"name = \"plant a\"\n" + gateway, ":1: name 'plant a' is not a topic segment"},
        {"name = \"a\"\ntopic_prefix = \"x//y\"\n" + gateway, ":2: topic_prefix 'x//y'"},
        {"name = \"a\"\n[broker]\nport = 70000\n" + gateway, ":3: broker.port must be 1 to 65535"},
        {"name = \"a\"\n[broker]\nqos = 2\n" + gateway, ":3: broker.qos must be 0 to 1, not 2"},
        {"name = \"a\"\n[broker]\nuser = \"x\"\n" + gateway, ":3: unknown key broker.user"},
        {"name = \"a\"\n[broker]\nhost = \"\"\n" + gateway, ":3: broker.host is empty"},
        {"name = \"a\"\n", ": no [[gateway]] is configured"},
        {"name = \"a\"\n[[gateway]]\nhost = \"127.0.0.1\"\n", ":2: a gateway has no name"},
        {"name = \"a\"\n[[gateway]]\nname = \"l\"\n", ":2: gateway l needs either host or serial"},
        {"name = \"a\"\n[[gateway]]\nname = \"l\"\nhost = \"h:x\"\n",
         ":4: gateway.host: the port must be a number 1-65535, not 'x'"},
        {"name = \"a\"\n" + gateway + "nodes = \"5-1\"\n",
         ":5: gateway.nodes: '5-1' is not a list"},
        {"name = \"a\"\n" + gateway + "interval = 0\n", ":5: gateway.interval must be 1 to 3600"},
        {"name = \"a\"\n" + gateway + "interval = \"10\"\n",
         ":5: gateway.interval must be an integer"},
        {"name = \"a\"\n" + gateway + "commands = \"yes\"\n",
         ":5: gateway.commands must be true or false"},
        {"name = \"a\"\n" + gateway + gateway, ":5: a second gateway named line1"},
        {"name = \"a\"\n[[gateway]\n", ":2: "},
        {"[broker]\npassword = \"x\"\n" + gateway, ":2: broker.password: a password never stands"},
        {"[broker]\nca_file = \"/nonexistent.crt\"\n" + gateway,
         ":2: broker.ca_file: cannot read /nonexistent.crt: No such file or directory"},
        {"[broker]\nca_file = \"" + readable + "\"\ncert_file = \"" + readable + "\"\n" + gateway,
         ":3: broker: give cert_file and key_file together"},
        {"[broker]\ncert_file = \"" + readable + "\"\nkey_file = \"" + readable + "\"\n" + gateway,
         ":2: broker.cert_file: a client certificate needs TLS: set ca_file"},
        {"[broker]\npassword_file = \"" + readable + "\"\n" + gateway,
         ":2: broker.password_file needs broker.username"},
        {"[broker]\nusername = \"u\"\npassword_file = \"" + blankFirst + "\"\n" + gateway,
         ":3: broker.password_file: " + blankFirst + " holds no password on its first line"},
    };
    for (const auto& c : cases) {
        const std::string path = Written(c.text);
        std::string error;
        EXPECT_FALSE(ReadBridgeConfig(path, "host", error)) << c.text;
        EXPECT_EQ(error.rfind(path + c.message, 0), 0u) << error;
    }
}

// TLS turns the default port to 8883; the password is the password file's first line without its
// line end.
TEST(BridgeConfig, TlsAndThePasswordFile) {
    const std::string secret = Written("pass word\r\nsecond line\n");
    std::string error;
    const auto config = ReadBridgeConfig(
        Written("[broker]\nca_file = \"" + secret + "\"\nusername = \"u\"\npassword_file = \"" +
                secret + "\"\n[[gateway]]\nname = \"l\"\n" + "host = \"127.0.0.1\"\n"),
        "host", error);
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(config->broker.port, 8883);
    EXPECT_EQ(config->broker.security.password, "pass word");
}

}  // namespace
