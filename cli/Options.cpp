#include "cli/Options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <functional>
#include <map>

#include "device/InputText.h"
#include "device/OperatorTexts.h"
#include "link/LinkSession.h"

namespace {

constexpr const char* DEFAULT_TCP_PORT = "10003";
constexpr int32_t MAX_TIMEOUT_MS = 600000;

struct Parser;
using Handler = std::function<std::string(Parser&, const std::string& value)>;

// One option: whether it takes a value, the commands it belongs to (empty: every command), and
// what it does with its value; a handler returns an error text or nothing.
struct OptionRule {
    bool takesValue;
    std::vector<Command> commands;
    Handler apply;
};

struct Parser {
    CliOptions options;
    bool nodesGiven = false;
};

const std::map<std::string, Command> COMMANDS = {
    {"identify", Command::Identify}, {"settings", Command::Settings}, {"set", Command::Set},
    {"start", Command::Start},       {"stop", Command::Stop},         {"counts", Command::Counts},
    {"scan", Command::Scan},
};

// A whole decimal number within [low, high].
std::optional<int32_t> Number(const std::string& text, int32_t low, int32_t high) {
    int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || rest != end || value < low || value > high)
        return std::nullopt;
    return value;
}

// A word of `words` (its index) or its value as a number.
std::optional<int32_t> WordOrNumber(const std::string& text,
                                    const std::vector<std::vector<std::string>>& words) {
    for (size_t i = 0; i < words.size(); ++i)
        if (std::find(words[i].begin(), words[i].end(), text) != words[i].end())
            return static_cast<int32_t>(i);
    return Number(text, 0, static_cast<int32_t>(words.size()) - 1);
}

std::string Bad(const std::string& option, const std::string& value) {
    return "invalid value for " + option + ": '" + value + "'";
}

std::string ApplyHost(Parser& p, const std::string& value) {
    Route& route = p.options.route;
    if (route.kind == Serial) return "give either --host or --serial, not both";
    route.kind = Tcp;
    std::string address = value;
    std::string port = DEFAULT_TCP_PORT;
    const size_t close = value.rfind(']');
    const size_t colon = value.rfind(':');
    const bool bracketed = !value.empty() && value.front() == '[' && close != std::string::npos;
    if (bracketed) {
        address = value.substr(1, close - 1);
        if (close + 1 < value.size()) {
            if (value[close + 1] != ':') return Bad("--host", value);
            port = value.substr(close + 2);
        }
    } else if (colon != std::string::npos && value.find(':') == colon) {
        address = value.substr(0, colon);
        port = value.substr(colon + 1);
    }
    route.host = TrimmedAscii(address);
    route.service = TrimmedAscii(port);
    if (route.host.empty()) return ADDRESS_MISSING_MESSAGE;
    if (route.service.empty()) return PORT_MISSING_MESSAGE;
    return {};
}

std::string ApplySerial(Parser& p, const std::string& value) {
    Route& route = p.options.route;
    if (route.kind == Tcp) return "give either --host or --serial, not both";
    route.kind = Serial;
    route.device = TrimmedAscii(value);
    if (route.device.empty()) return SERIAL_PORT_MISSING_MESSAGE;
    return {};
}

std::string ApplyNodes(Parser& p, const std::string& value) {
    const auto nodes = ParseNodeList(TrimmedAscii(value));
    if (!nodes) return NODE_INVALID_MESSAGE;
    p.options.nodes = *nodes;
    p.nodesGiven = true;
    return {};
}

std::string ApplyWatch(Parser& p, const std::string& value) {
    const std::string text = TrimmedAscii(value);
    if (text.empty()) return INTERVAL_EMPTY_MESSAGE;
    const auto seconds = Number(text, 1, AUTO_UPDATE_MAX_SECONDS);
    if (!seconds) {
        char message[256];
        std::snprintf(message, sizeof message, INTERVAL_RANGE_FORMAT, AUTO_UPDATE_MAX_SECONDS);
        return message;
    }
    p.options.watchSeconds = *seconds;
    return {};
}

// Stores a value parsed by `parse` into the field chosen by `field`.
template <typename Field>
Handler Setting(const char* option, std::optional<int32_t> (*parse)(const std::string&),
                Field field) {
    return [option, parse, field](Parser& p, const std::string& value) -> std::string {
        const auto parsed = parse(value);
        if (!parsed) return Bad(option, value);
        field(p.options.change) = *parsed;
        return {};
    };
}

std::optional<int32_t> ModeValue(const std::string& text) {
    return WordOrNumber(text, {{"off"}, {"single"}, {"x2"}, {"x4"}});
}
std::optional<int32_t> OnOffValue(const std::string& text) {
    return WordOrNumber(text, {{"off"}, {"on"}});
}
std::optional<int32_t> EdgeValue(const std::string& text) {
    return WordOrNumber(text, {{"off"}, {"rising"}, {"falling"}});
}
std::optional<int32_t> PeriodValue(const std::string& text) {
    return WordOrNumber(text, {{"start-stop"}, {"1s"}, {"10s"}, {"1m", "60s"}, {"10m", "600s"}});
}
// "none", the filter time "4ms" to "20ms" in steps of 2, or the unit's value 0 to 10.
std::optional<int32_t> DebounceValue(const std::string& text) {
    if (text == "none") return 0;
    if (text.size() > 2 && text.compare(text.size() - 2, 2, "ms") == 0) {
        const auto ms = Number(text.substr(0, text.size() - 2), 4, 20);
        if (!ms || *ms % 2 != 0) return std::nullopt;
        return *ms / 2;
    }
    return Number(text, 0, 10);
}

std::string ApplyEdge(Parser& p, const std::string& value) {
    const size_t equals = value.find('=');
    if (equals != 3 || (value.compare(0, 2, "DI") != 0 && value.compare(0, 2, "di") != 0))
        return Bad("--edge", value);
    const auto input = Number(value.substr(2, 1), 1, MAX_INPUTS);
    const auto edge = EdgeValue(value.substr(equals + 1));
    if (!input || !edge) return Bad("--edge", value);
    p.options.change.edge[*input - 1] = *edge;
    return {};
}

const std::map<std::string, OptionRule>& Rules() {
    using C = Command;
    static const std::map<std::string, OptionRule> rules = {
        {"--host", {true, {}, ApplyHost}},
        {"--serial", {true, {}, ApplySerial}},
        {"--node", {true, {}, ApplyNodes}},
        {"--timeout",
         {true,
          {},
          [](Parser& p, const std::string& v) -> std::string {
              const auto ms = Number(v, 1, MAX_TIMEOUT_MS);
              if (!ms) return Bad("--timeout", v);
              p.options.timeoutMs = *ms;
              return {};
          }}},
        {"--json",
         {false,
          {},
          [](Parser& p, const std::string&) -> std::string {
              p.options.json = true;
              return {};
          }}},
        {"--trace",
         {true,
          {},
          [](Parser& p, const std::string& v) -> std::string {
              if (v.empty()) return Bad("--trace", v);
              p.options.traceFile = v;
              return {};
          }}},
        {"--csv",
         {false,
          {C::Counts},
          [](Parser& p, const std::string&) -> std::string {
              p.options.csv = true;
              return {};
          }}},
        {"--watch", {true, {C::Counts}, ApplyWatch}},
        {"--rounds",
         {true,
          {C::Counts},
          [](Parser& p, const std::string& v) -> std::string {
              const auto n = Number(v, 1, INT32_MAX);
              if (!n) return Bad("--rounds", v);
              p.options.rounds = *n;
              return {};
          }}},
        {"--mode",
         {true,
          {C::Set},
          Setting(
              "--mode", ModeValue, [](auto& c) -> auto& { return c.mode; })}},
        {"--clear",
         {true,
          {C::Set},
          Setting(
              "--clear", OnOffValue, [](auto& c) -> auto& { return c.clearSignal; })}},
        {"--period",
         {true,
          {C::Set},
          Setting(
              "--period", PeriodValue, [](auto& c) -> auto& { return c.period; })}},
        {"--debounce",
         {true,
          {C::Set},
          Setting(
              "--debounce", DebounceValue, [](auto& c) -> auto& { return c.debounce; })}},
        {"--edge", {true, {C::Set}, ApplyEdge}},
        {"--counting",
         {true,
          {C::Set},
          [](Parser& p, const std::string& v) -> std::string {
              const auto on = OnOffValue(v);
              if (!on) return Bad("--counting", v);
              p.options.change.counting = *on == 1;
              return {};
          }}},
        {"--force",
         {false,
          {C::Set},
          [](Parser& p, const std::string&) -> std::string {
              p.options.force = true;
              return {};
          }}},
    };
    return rules;
}

bool Allows(const OptionRule& rule, Command command) {
    return rule.commands.empty() ||
           std::find(rule.commands.begin(), rule.commands.end(), command) != rule.commands.end();
}

// The checks that need the whole command line.
std::string CheckComplete(Parser& p) {
    CliOptions& o = p.options;
    if (o.route.kind < 0) return "no route: give --host ADDRESS[:PORT] or --serial DEVICE";
    if (!p.nodesGiven) {
        if (o.command != Command::Scan) return NODE_INVALID_MESSAGE;
        for (int32_t node = 0; node <= MAX_NODE; ++node)
            o.nodes.push_back(node);
    }
    if (o.command == Command::Set && o.change.Empty()) return "set: nothing to change";
    if (o.rounds > 0 && o.watchSeconds == 0) return "--rounds needs --watch";
    if (o.csv && o.json) return "give either --json or --csv, not both";
    if (o.timeoutMs == 0) o.timeoutMs = o.command == Command::Scan ? 300 : 10000;
    if (o.watchSeconds == 0) o.rounds = 1;
    return {};
}

}  // namespace

bool SettingsChange::Empty() const {
    const bool noEdge = std::none_of(edge.begin(), edge.end(), [](auto& e) { return e; });
    return !mode && !clearSignal && noEdge && !period && !debounce && !counting;
}

std::optional<std::vector<int32_t>> ParseNodeList(const std::string& text) {
    std::vector<int32_t> nodes;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = text.substr(start, comma - start);
        const size_t dash = item.find('-', 1);
        const auto first = Number(item.substr(0, dash), 0, MAX_NODE);
        const auto last =
            dash == std::string::npos ? first : Number(item.substr(dash + 1), 0, MAX_NODE);
        if (!first || !last || *last < *first) return std::nullopt;
        for (int32_t node = *first; node <= *last; ++node)
            if (std::find(nodes.begin(), nodes.end(), node) == nodes.end()) nodes.push_back(node);
        start = comma + 1;
    }
    return nodes;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine result;
    Parser parser;
    std::optional<std::string> commandName;
    std::vector<std::pair<std::string, std::string>> given;  // option, value
    bool help = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            help = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            if (commandName) {
                result.error = "unexpected argument '" + arg + "'";
                return result;
            }
            commandName = arg;
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const auto rule = Rules().find(name);
        if (rule == Rules().end()) {
            result.error = "unknown option '" + name + "'";
            return result;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (rule->second.takesValue) {
            if (i + 1 >= args.size()) {
                result.error = "option " + name + " needs a value";
                return result;
            }
            value = args[++i];
        }
        if (!rule->second.takesValue && equals != std::string::npos) {
            result.error = "option " + name + " takes no value";
            return result;
        }
        given.emplace_back(name, value);
    }
    if (help) {
        const auto text = commandName ? CommandHelp(*commandName) : ProgramHelp();
        if (text)
            result.help = *text;
        else
            result.error = "unknown command '" + *commandName + "'";
        return result;
    }
    if (!commandName) {
        result.error = "no command given";
        return result;
    }
    const auto command = COMMANDS.find(*commandName);
    if (command == COMMANDS.end()) {
        result.error = "unknown command '" + *commandName + "'";
        return result;
    }
    parser.options.command = command->second;
    for (const auto& [name, value] : given) {
        const OptionRule& rule = Rules().at(name);
        if (!Allows(rule, parser.options.command)) {
            result.error = "option " + name + " does not apply to " + *commandName;
            return result;
        }
        result.error = rule.apply(parser, value);
        if (!result.error.empty()) return result;
    }
    result.error = CheckComplete(parser);
    result.options = parser.options;
    return result;
}
