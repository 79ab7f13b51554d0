#include "cli/Options.h"

#include <algorithm>
#include <functional>
#include <map>

#include "device/InputText.h"
#include "device/OperatorTexts.h"
#include "link/LinkSession.h"
#include "unit/RouteText.h"
#include "unit/SettingWords.h"

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

std::string Bad(const std::string& option, const std::string& value) {
    return "invalid value for " + option + ": '" + value + "'";
}

std::string ApplyHost(Parser& p, const std::string& value) {
    Route& route = p.options.route;
    if (route.kind == Serial) return "give either --host or --serial, not both";
    LinkRoute gateway;
    const AddressFault fault = ParseGatewayAddress(value, gateway);
    route.kind = Tcp;
    route.host = gateway.host;
    route.service = gateway.service;
    if (fault == AddressFault::Malformed) return Bad("--host", value);
    if (fault != AddressFault::None) return "--host: " + AddressFaultText(fault, value, gateway);
    return {};
}

std::string ApplySerial(Parser& p, const std::string& value) {
    Route& route = p.options.route;
    if (route.kind == Tcp) return "give either --host or --serial, not both";
    route.kind = Serial;
    route.device = TrimmedAscii(value);
    if (route.device.empty()) return "--serial: no device";
    return {};
}

std::string ApplyNodes(Parser& p, const std::string& value) {
    const auto nodes = ParseNodeList(TrimmedAscii(value));
    if (!nodes) return "--node: '" + value + "' is not a list of nodes 0-254 such as 1-5,7";
    p.options.nodes = *nodes;
    p.nodesGiven = true;
    return {};
}

std::string ApplyWatch(Parser& p, const std::string& value) {
    const auto seconds = DecimalInRange(TrimmedAscii(value), 1, AUTO_UPDATE_MAX_SECONDS);
    if (!seconds)
        return "--watch: give the seconds between reads, 1-" +
               std::to_string(AUTO_UPDATE_MAX_SECONDS) + ", not '" + value + "'";
    p.options.watchSeconds = *seconds;
    return {};
}

// Stores a value parsed by `parse` into the field chosen by `field`.
template <typename Field>
Handler Setting(const char* option, const SettingKind& kind, Field field) {
    return [option, &kind, field](Parser& p, const std::string& value) -> std::string {
        const auto parsed = kind.parse(value);
        if (!parsed) return Bad(option, value);
        field(p.options.change) = *parsed;
        return {};
    };
}

std::string ApplyEdge(Parser& p, const std::string& value) {
    const size_t equals = value.find('=');
    if (equals != 3 || (value.compare(0, 2, "DI") != 0 && value.compare(0, 2, "di") != 0))
        return Bad("--edge", value);
    const auto input = DecimalInRange(value.substr(2, 1), 1, MAX_INPUTS);
    const auto edge = EDGE_SETTING.parse(value.substr(equals + 1));
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
              const auto ms = DecimalInRange(v, 1, MAX_TIMEOUT_MS);
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
              const auto n = DecimalInRange(v, 1, INT32_MAX);
              if (!n) return Bad("--rounds", v);
              p.options.rounds = *n;
              return {};
          }}},
        {"--mode",
         {true,
          {C::Set},
          Setting(
              "--mode", MODE_SETTING, [](auto& c) -> auto& { return c.mode; })}},
        {"--clear",
         {true,
          {C::Set},
          Setting(
              "--clear", ON_OFF_SETTING, [](auto& c) -> auto& { return c.clearSignal; })}},
        {"--period",
         {true,
          {C::Set},
          Setting(
              "--period", PERIOD_SETTING, [](auto& c) -> auto& { return c.period; })}},
        {"--debounce",
         {true,
          {C::Set},
          Setting(
              "--debounce", DEBOUNCE_SETTING, [](auto& c) -> auto& { return c.debounce; })}},
        {"--edge", {true, {C::Set}, ApplyEdge}},
        {"--counting",
         {true,
          {C::Set},
          [](Parser& p, const std::string& v) -> std::string {
              const auto on = ON_OFF_SETTING.parse(v);
              if (!on) return Bad("--counting", v);
              p.options.change.counting = *on == 1;
              return {};
          }}},
        {"--from",
         {true,
          {C::Set},
          [](Parser& p, const std::string& v) -> std::string {
              std::string error;
              p.options.from = LoadSettingsFile(v, error);
              return error;
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

// The long option of a short one.
std::string LongForm(const std::string& arg) {
    static const std::map<std::string, std::string> SHORT_FORMS = {
        {"-h", "--help"}, {"-n", "--node"}, {"-t", "--timeout"}, {"-V", "--version"}};
    const auto found = SHORT_FORMS.find(arg);
    return found == SHORT_FORMS.end() ? arg : found->second;
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
        if (o.command != Command::Scan) return "no node: give --node LIST";
        for (int32_t node = 0; node <= MAX_NODE; ++node)
            o.nodes.push_back(node);
    }
    if (o.from && !o.change.OnlyCounting())
        return "set: give either --from or settings to change, not both";
    if (o.command == Command::Set && o.change.Empty() && !o.from) return "set: nothing to change";
    if (o.rounds > 0 && o.watchSeconds == 0) return "--rounds needs --watch";
    if (o.csv && o.json) return "give either --json or --csv, not both";
    if (o.timeoutMs == 0) o.timeoutMs = o.command == Command::Scan ? 300 : 10000;
    if (o.watchSeconds == 0) o.rounds = 1;
    return {};
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine result;
    Parser parser;
    std::optional<std::string> commandName;
    std::vector<std::pair<std::string, std::string>> given;  // option, value
    bool help = false;
    bool version = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string arg = LongForm(args[i]);
        if (arg == "--help") {
            help = true;
            continue;
        }
        if (arg == "--version") {
            version = true;
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
    if (version) {
        result.help = VersionText();
        return result;
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
