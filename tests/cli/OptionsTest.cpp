#include <gtest/gtest.h>

#include "cli/Options.h"

namespace {

struct NodeCase {
    const char* text;
    std::optional<std::vector<int32_t>> nodes;
};

TEST(NodeList, ReadsNumbersAndRangesAndRefusesTheRest) {
    const NodeCase cases[] = {
        {"7", std::vector<int32_t>{7}},
        {"0", std::vector<int32_t>{0}},
        {"254", std::vector<int32_t>{254}},
        {"1-5,7", std::vector<int32_t>{1, 2, 3, 4, 5, 7}},
        {"3,1,3", std::vector<int32_t>{3, 1}},
        {"9-9", std::vector<int32_t>{9}},
        {"", std::nullopt},
        {"255", std::nullopt},
        {"-1", std::nullopt},
        {"5-3", std::nullopt},
        {"1,", std::nullopt},
        {"1-", std::nullopt},
        {"x", std::nullopt},
        {"1 2", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const NodeCase& c : cases)
        EXPECT_EQ(ParseNodeList(c.text), c.nodes) << "'" << c.text << "'";
}

struct RouteCase {
    std::vector<std::string> args;
    std::string host;
    std::string service;
};

TEST(CommandLine, TakesTheGatewayAddressWithAnOptionalPort) {
    const RouteCase cases[] = {
        {{"--host", "127.0.0.1"}, "127.0.0.1", "10003"},
        {{"--host", " 127.0.0.1 :10005"}, "127.0.0.1", "10005"},
        {{"--host=localhost:7"}, "localhost", "7"},
        {{"--host", "[::1]:10004"}, "::1", "10004"},
        {{"--host", "[::1]"}, "::1", "10003"},
        {{"--host", "::1"}, "::1", "10003"},
    };
    for (const RouteCase& c : cases) {
        std::vector<std::string> args = {"identify", "--node", "1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ParsedCommandLine parsed = ParseCommandLine(args);
        ASSERT_EQ(parsed.error, "") << c.args.back();
        EXPECT_EQ(parsed.options.route.host, c.host) << c.args.back();
        EXPECT_EQ(parsed.options.route.service, c.service) << c.args.back();
    }
}

TEST(CommandLine, SetTakesSettingsByWordOrValue) {
    const ParsedCommandLine parsed = ParseCommandLine(
        {"set", "--serial", "/dev/ttyUSB0", "--node", "2", "--mode", "x4", "--edge", "DI1=rising",
         "--edge=DI5=2", "--period", "10s", "--debounce", "12ms", "--clear", "on"});
    ASSERT_EQ(parsed.error, "");
    const SettingsChange& change = parsed.options.change;
    EXPECT_EQ(change.mode, 3);
    EXPECT_EQ(change.edge[0], 1);
    EXPECT_EQ(change.edge[4], 2);
    EXPECT_FALSE(change.edge[1].has_value());
    EXPECT_EQ(change.period, 2);
    EXPECT_EQ(change.debounce, 6);
    EXPECT_EQ(change.clearSignal, 1);
    EXPECT_FALSE(change.counting.has_value());
    EXPECT_EQ(parsed.options.route.device, "/dev/ttyUSB0");
}

TEST(CommandLine, DefaultsFollowTheCommand) {
    const ParsedCommandLine scan = ParseCommandLine({"scan", "--host", "127.0.0.1"});
    ASSERT_EQ(scan.error, "");
    EXPECT_EQ(scan.options.nodes.size(), 255u);
    EXPECT_EQ(scan.options.timeoutMs, 300);
    const ParsedCommandLine counts =
        ParseCommandLine({"counts", "--host", "127.0.0.1", "--node", "1", "--watch", "5"});
    ASSERT_EQ(counts.error, "");
    EXPECT_EQ(counts.options.timeoutMs, 10000);
    EXPECT_EQ(counts.options.rounds, 0);  // until interrupted
}

TEST(CommandLine, HelpIsGivenForTheProgramAndEachCommand) {
    for (const char* command : {"identify", "settings", "set", "start", "stop", "counts", "scan"}) {
        const ParsedCommandLine parsed = ParseCommandLine({command, "--help"});
        EXPECT_EQ(parsed.error, "") << command;
        EXPECT_NE(parsed.help.find(std::string("velkorctl ") + command), std::string::npos)
            << command;
    }
    const std::string help = ParseCommandLine({"--help"}).help;
    for (const char* option : {"--host", "--serial", "--node", "--timeout", "--json", "--trace"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    const std::string set = ParseCommandLine({"set", "--help"}).help;
    for (const char* option :
         {"--mode", "--clear", "--edge", "--period", "--debounce", "--counting", "--force"})
        EXPECT_NE(set.find(option), std::string::npos) << option;
}

}  // namespace
