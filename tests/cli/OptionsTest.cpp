#include <gtest/gtest.h>

#include "cli/Options.h"
#include "cli/Output.h"
#include "unit/SettingsFile.h"

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

// A settings file: what is written for it (mode, DI1, DI2, period, debounce characters), or the
// piece of the reason it is refused.
struct FileCase {
    std::string text;
    std::string written;
    const char* refusal;
};

std::string Written(const UnitSettingsFile& file) {
    std::string text(1, static_cast<char>(file.modeCharacter));
    for (int32_t i = 0; i < file.inputs; ++i)
        text += static_cast<char>(file.edgeCharacters[i]);
    return text + static_cast<char>(file.periodCharacter) +
           static_cast<char>(file.debounceCharacter);
}

TEST(SettingsFile, WritesRawCodesWhileTheyMeanTheirValuesAndRefusesTheRest) {
    const std::string tail = R"("period":{"word":"10s","raw":34},"debounce":{"value":1,"raw":33}})";
    const FileCase cases[] = {
        // Round trip: the raw codes, flag bits and values outside the lists included.
        {std::string(R"({"mode":{"value":0,"raw":46},)"
                     R"("clearSignal":{"value":0},"DI1":{"value":7,"word":null,)"
                     R"("raw":39},)") +
             tail,
         "\x2E\x27\x22\x21", ""},
        // An edited word wins over a raw code that no longer means it.
        {R"({"mode":{"word":"x4","raw":46},"clearSignal":{"word":"on"},"DI1":{"word":"falling",)"
         R"("raw":33},"DI2":{"word":"off"},"period":{"word":"1m"},"debounce":{"word":"20ms"}})",
         "\x2F\x22\x20\x23\x2A", ""},
        {R"( {"mode":{"raw":43},"clearSignal":{"raw":43},"period":{"raw":32},"debounce":{"raw":32}} )"
         "\n",
         "\x2B\x20\x20", ""},
        {std::string(R"({"mode":{"word":"x4"},"clearSignal":{"value":0},"DI2":{"value":1},)") +
             tail,
         "", "DI2: named without DI1"},
        {std::string(R"({"mode":{"word":"x4","value":2},"clearSignal":{"value":0},)") + tail, "",
         "mode: word and value disagree"},
        {std::string(R"({"mode":{"word":"x5"},"clearSignal":{"value":0},)") + tail, "",
         "unknown word 'x5'"},
        {R"({"mode":{"value":1},"clearSignal":{"value":0},"period":{"value":9},"debounce":{"value":0}})",
         "", "period: value 9 is not one of the list"},
        {R"({"mode":{"value":1},"clearSignal":{"value":0},"period":{"raw":200},"debounce":{"value":0}})",
         "", "period: raw code is not a parameter character"},
        {R"({"mode":{"value":1},"clearSignal":{"value":0},"period":{"value":0}})", "",
         "debounce: missing"},
        {R"({"mode":{"value":1.5}})", "", "mode: value is not a whole number"},
        {R"({"mode":{"value":1}} {"mode":{"value":1}})", "", "more than one unit"},
        {R"({"mode":{"value":1}} x)", "", "unexpected text after"},
        {R"([{"mode":{"value":1}}])", "", "not a unit's settings"},
        {R"({"mode":{"value":1})", "", "at line 1, column 20: syntax error while parsing object"},
        {"{\n\"mode\":\"\\ud83d\"}", "",
         "line 2, column 15: syntax error while parsing value - "
         "invalid string: surrogate U+D800..U+DBFF must be followed by U+DC00..U+DFFF"},
        {"{\"mode\":{\"word\":\"x\xff\"}}", "",
         "column 19: syntax error while parsing value - "
         "invalid string: ill-formed UTF-8 byte"},
        {R"({"mode":{"value":1e400}})", "", "number overflow parsing '1e400' at offset 23"},
        {R"({"mode":{"value":9223372036854775808}})", "", "mode: value is not a whole number"},
        {"", "", "line 1, column 1: syntax error while parsing value - unexpected end of input"},
        // Nesting: 17 levels are JSON, if no unit; the 18th is refused where it opens.
        {std::string(17, '[') + std::string(17, ']'), "", "not a unit's settings"},
        {std::string(18, '[') + std::string(18, ']'), "", "nesting too deep at offset 17"},
        {R"({"a":[{"b":)" + std::string(1000, '['), "", "nesting too deep at offset 25"},
        // A byte order mark, which Windows editors may write, is no part of the text.
        {"\xEF\xBB\xBF" + std::string(R"({"mode":{"raw":43},"clearSignal":{"raw":43},)") + tail,
         "\x2B\x22\x21", ""},
    };
    for (const FileCase& c : cases) {
        std::string error;
        const auto file = ParseSettingsFile(c.text, error);
        if (c.written.empty()) {
            EXPECT_FALSE(file.has_value()) << c.text;
            EXPECT_NE(error.find(c.refusal), std::string::npos) << c.text << ": " << error;
        } else {
            ASSERT_TRUE(file.has_value()) << c.text << ": " << error;
            EXPECT_EQ(Written(*file), c.written) << c.text;
        }
    }
}

// A unit's model name as a JSON line shows it: the unit may send any bytes, and those that are not
// UTF-8 are written as U+FFFD rather than making the line fail or leave JSON.
TEST(Output, IdentityLinesAreJsonWhateverBytesTheUnitSends) {
    const struct {
        std::string model;
        std::string written;
    } cases[] = {
        {"KV-420", R"("KV-420")"},
        {"パルスカウンタ", R"("パルスカウンタ")"},
        {"a\"b\\c/d\x7f", "\"a\\\"b\\\\c/d\x7f\""},
        {std::string("a\nb\tc\x01\0", 7), R"("a\nb\tc\u0001\u0000")"},
        {"KV\xff-4\xe3\x81", "\"KV\xef\xbf\xbd-4\xef\xbf\xbd\""},
    };
    for (const auto& c : cases) {
        const UnitIdentity unit{7, c.model, 2, 0, 7, 5};
        EXPECT_EQ(IdentityText(unit, OutputFormat::Json),
                  R"({"node":7,"model":)" + c.written +
                      R"(,"modelCode":2,"subCode":0,"id":7,"pulseInputs":5})"
                      "\n")
            << c.model;
    }
}

}  // namespace
