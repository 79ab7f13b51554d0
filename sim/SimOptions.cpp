#include "SimOptions.h"

#include <cctype>
#include <charconv>
#include <functional>
#include <sstream>

#include "Protocol.h"

namespace {

// Values that travel as one character (value + 0x20) must give a byte that is not the end byte.
constexpr int64_t kCharValueMin = -kParamBase;
constexpr int64_t kCharValueMax = 255 - kParamBase;
constexpr int kMaxNode = 254;
constexpr int64_t kMaxRate = 1'000'000;
constexpr int64_t kMaxDelayMs = 600'000;

struct Pending {
    bool unitsGiven = false;
    std::vector<std::string> settings;
    std::vector<std::string> counts;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.push_back("");
    return parts;
}

// Decimal, or hexadecimal after 0x; an optional minus sign in front.
bool ParseInt(const std::string& text, int64_t min, int64_t max, int64_t* out) {
    std::string_view digits = text;
    const bool negative = !digits.empty() && digits[0] == '-';
    if (negative) digits.remove_prefix(1);
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    if (digits.empty() || digits[0] == '-' || digits[0] == '+') return false;
    uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (ec != std::errc() || end != digits.data() + digits.size()) return false;
    if (magnitude > (uint64_t(1) << 62)) return false;
    const int64_t value = negative ? -int64_t(magnitude) : int64_t(magnitude);
    if (value < min || value > max) return false;
    *out = value;
    return true;
}

std::string IntError(const std::string& what, const std::string& text, int64_t min, int64_t max) {
    return what + " must be a number from " + std::to_string(min) + " to " + std::to_string(max) +
           ", not '" + text + "'";
}

// A value whose character (value + 0x20) must not be the end byte.
std::string ParseCharValue(const std::string& what, const std::string& text, int* out) {
    int64_t value = 0;
    if (!ParseInt(text, kCharValueMin, kCharValueMax, &value))
        return IntError(what, text, kCharValueMin, kCharValueMax);
    if (value + kParamBase == kFrameEnd) return what + " would travel as the end byte 0xC8";
    *out = int(value);
    return {};
}

std::string ParseNode(const std::string& text, int* node) {
    int64_t value = 0;
    if (!ParseInt(text, 0, kMaxNode, &value)) return IntError("node", text, 0, kMaxNode);
    *node = int(value);
    return {};
}

std::string ParseUnitId(const std::string& text, int* id) {
    const int64_t min = kUnitIdBase - 255, max = kUnitIdBase;
    int64_t value = 0;
    if (!ParseInt(text, min, max, &value)) return IntError("unit ID", text, min, max);
    if (kUnitIdBase - value == kFrameEnd) return "unit ID " + text + " would travel as 0xC8";
    *id = int(value);
    return {};
}

// NODE:CODE[:SUB[:ID]]; an empty SUB field stands for 0.
std::string ParseUnit(const std::string& text, UnitPlan* plan) {
    const auto fields = Split(text, ':');
    if (fields.size() < 2 || fields.size() > 4) return "--unit wants NODE:CODE[:SUB[:ID]]";
    UnitIdentity& id = plan->identity;
    std::string error = ParseNode(fields[0], &id.node);
    if (error.empty()) error = ParseCharValue("model code", fields[1], &id.modelCode);
    if (error.empty() && fields.size() > 2 && !fields[2].empty())
        error = ParseCharValue("sub-code", fields[2], &id.subCode);
    id.unitId = id.node % 16;  // an ID character from 0x20 to 0x2F
    if (error.empty() && fields.size() > 3) error = ParseUnitId(fields[3], &id.unitId);
    return error;
}

int FlagsOfMode(int mode) {
    constexpr int kModeFlags[] = {0, kFlagEnabled, kFlagEnabled | kFlagTwoPhase,
                                  kFlagEnabled | kFlagTwoPhase | kFlagTimesFour};
    return kModeFlags[mode];
}

std::string ParseEdges(const std::string& text, const UnitPlan& plan, UnitSettings* settings) {
    const int inputs = PulseInputsOf(plan.identity.modelCode);
    if (text.empty() || int(text.size()) > inputs)
        return "edges of node " + std::to_string(plan.identity.node) + " want 1 to " +
               std::to_string(inputs) + " digits";
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return "edges are digits 0 to 9, not '" + text + "'";
        settings->edges[i] = text[i] - '0';
    }
    return {};
}

struct SettingsSeen {
    bool modeOrClear = false;
    bool flags = false;
};

struct SettingsKey {
    const char* name;
    int64_t min, max;
};

constexpr SettingsKey kSettingsKeys[] = {
    {"mode", 0, 3},      {"clear", 0, 1},       {"flags", 0, kFlagBits},
    {"period", 0, 0x5F}, {"debounce", 0, 0x5F}, {"counting", 0, 1},
};

// The field a raw-byte key sets: rawperiod, rawdebounce, rawedge1 to rawedge5 (among the unit's
// inputs); nullptr for any other key.
int* RawField(const std::string& key, UnitPlan* plan) {
    UnitSettings& s = plan->settings;
    if (key == "rawperiod") return &s.period;
    if (key == "rawdebounce") return &s.debounce;
    const std::string edgeKey = "rawedge";
    if (key.size() != edgeKey.size() + 1 || key.compare(0, edgeKey.size(), edgeKey) != 0)
        return nullptr;
    const int input = key.back() - '1';
    if (input < 0 || input >= PulseInputsOf(plan->identity.modelCode)) return nullptr;
    return &s.edges[size_t(input)];
}

// A value given as the very byte the unit is to report (0x00 to 0xFF but the end byte), also one
// that no value from 0 to 95 gives.
std::string ApplyRawSetting(const std::string& key, const std::string& text, int* field) {
    int64_t byte = 0;
    if (!ParseInt(text, 0, 0xFF, &byte)) return IntError(key, text, 0, 0xFF);
    if (byte == kFrameEnd) return key + " would travel as the end byte 0xC8";
    *field = int(byte) - kParamBase;
    return {};
}

// One KEY=VALUE pair of --settings applied to a unit's plan.
std::string ApplySetting(const std::string& pair, UnitPlan* plan, SettingsSeen* seen) {
    const auto eq = pair.find('=');
    if (eq == std::string::npos) return "--settings wants KEY=VALUE, not '" + pair + "'";
    const std::string key = pair.substr(0, eq), text = pair.substr(eq + 1);
    UnitSettings& s = plan->settings;
    if (key == "edges") return ParseEdges(text, *plan, &s);
    if (int* field = RawField(key, plan)) return ApplyRawSetting(key, text, field);

    const SettingsKey* entry = nullptr;
    for (const SettingsKey& k : kSettingsKeys)
        if (key == k.name) entry = &k;
    if (entry == nullptr) return "unknown settings key '" + key + "'";
    int64_t v = 0;
    if (!ParseInt(text, entry->min, entry->max, &v))
        return IntError(key, text, entry->min, entry->max);

    if (key == "mode") {
        s.flags = FlagsOfMode(int(v)) | (s.flags & kFlagClearSignal);
        seen->modeOrClear = true;
    } else if (key == "clear") {
        s.flags = v ? (s.flags | kFlagClearSignal) : (s.flags & ~kFlagClearSignal);
        seen->modeOrClear = true;
    } else if (key == "flags") {
        s.flags = int(v);
        seen->flags = true;
    } else if (key == "period") {
        s.period = int(v);
    } else if (key == "debounce") {
        s.debounce = int(v);
    } else {
        plan->counting = v != 0;
    }
    if (seen->modeOrClear && seen->flags) return "give either flags or mode/clear";
    return {};
}

UnitPlan* FindPlan(std::vector<UnitPlan>& units, int node) {
    for (UnitPlan& plan : units)
        if (plan.identity.node == node) return &plan;
    return nullptr;
}

// NODE:KEY=VALUE[,KEY=VALUE...]
std::string ApplySettings(const std::string& text, std::vector<UnitPlan>& units) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) return "--settings wants NODE:KEY=VALUE[,...]";
    int node = 0;
    std::string error = ParseNode(text.substr(0, colon), &node);
    if (!error.empty()) return error;
    UnitPlan* plan = FindPlan(units, node);
    if (plan == nullptr) return "--settings for node " + std::to_string(node) + ": no unit there";
    SettingsSeen seen;
    for (const std::string& pair : Split(text.substr(colon + 1), ',')) {
        error = ApplySetting(pair, plan, &seen);
        if (!error.empty()) return error;
    }
    return {};
}

// NODE:INDEX:VALUE; a negative value stands for its 32-bit two's complement.
std::string ApplyCount(const std::string& text, std::vector<UnitPlan>& units) {
    const auto fields = Split(text, ':');
    if (fields.size() != 3) return "--count wants NODE:INDEX:VALUE";
    int node = 0;
    std::string error = ParseNode(fields[0], &node);
    if (!error.empty()) return error;
    UnitPlan* plan = FindPlan(units, node);
    if (plan == nullptr) return "--count for node " + std::to_string(node) + ": no unit there";
    const int inputs = PulseInputsOf(plan->identity.modelCode);
    int64_t index = 0, value = 0;
    if (!ParseInt(fields[1], 0, inputs - 1, &index))
        return "--count index for node " + std::to_string(node) + " must be one of its " +
               std::to_string(inputs) + " inputs (0 to " + std::to_string(inputs - 1) + ")";
    if (!ParseInt(fields[2], INT32_MIN, UINT32_MAX, &value))
        return IntError("count", fields[2], INT32_MIN, UINT32_MAX);
    plan->presets[index] = static_cast<uint32_t>(value);
    return {};
}

std::string ParseListen(const std::string& text, SimOptions* o) {
    if (text == "off") {
        o->tcp = false;
        return {};
    }
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return "--listen wants HOST:PORT or off";
    std::string host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    int64_t port = 0;
    if (!ParseInt(text.substr(colon + 1), 0, 65535, &port))
        return IntError("port", text.substr(colon + 1), 0, 65535);
    o->tcp = true;
    o->host = host;
    o->port = int(port);
    return {};
}

// Comma-separated two-letter commands, either case.
std::string ParseLetters(const std::string& text, std::set<std::string>* letters) {
    for (std::string item : Split(text, ',')) {
        if (item.size() != 2 || !std::isalpha(static_cast<unsigned char>(item[0])) ||
            !std::isalpha(static_cast<unsigned char>(item[1])))
            return "command letters are two letters separated by commas, not '" + text + "'";
        for (char& c : item)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        if (!IsKnownCommand(item)) return "'" + item + "' is no command a unit knows";
        letters->insert(item);
    }
    return {};
}

std::string ParseNotice(const std::string& text, SimOptions* o) {
    NoticePlan notice;
    const auto at = text.find('@');
    std::string error = ParseCharValue("notice status", text.substr(0, at), &notice.status);
    if (error.empty() && at != std::string::npos) {
        int64_t delay = 0;
        if (!ParseInt(text.substr(at + 1), 0, kMaxDelayMs, &delay))
            return IntError("notice delay", text.substr(at + 1), 0, kMaxDelayMs);
        notice.delayMs = int(delay);
    }
    if (error.empty()) o->notice = notice;
    return error;
}

std::string ParseCounter(const std::string& what, const std::string& text, int64_t min, int64_t max,
                         int* out) {
    int64_t v = 0;
    if (!ParseInt(text, min, max, &v)) return IntError(what, text, min, max);
    *out = int(v);
    return {};
}

std::string Set(bool* flag) {
    *flag = true;
    return {};
}

// Settings and presets name units, so they are kept until the set of units is final.
std::string Keep(const std::string& value, std::vector<std::string>* list) {
    list->push_back(value);
    return {};
}

using Handler = std::function<std::string(const std::string&, SimOptions*, Pending*)>;

struct OptionEntry {
    const char* name;
    bool takesValue;
    Handler handle;
};

const std::vector<OptionEntry>& Options() {
    static const std::vector<OptionEntry> options = {
        {"--help", false, [](auto&, SimOptions* o, Pending*) { return Set(&o->help); }},
        {"--version", false, [](auto&, SimOptions* o, Pending*) { return Set(&o->version); }},
        {"--listen", true, [](auto& v, SimOptions* o, Pending*) { return ParseListen(v, o); }},
        {"--pty", true,
         [](auto& v, SimOptions* o, Pending*) {
             o->ptyLink = v;
             return v.empty() ? "--pty wants a path" : "";
         }},
        {"--unit", true,
         [](auto& v, SimOptions* o, Pending* p) {
             if (!p->unitsGiven) o->units.clear();
             p->unitsGiven = true;
             UnitPlan plan;
             std::string error = ParseUnit(v, &plan);
             if (error.empty() && FindPlan(o->units, plan.identity.node))
                 error = "node " + std::to_string(plan.identity.node) + " given twice";
             if (error.empty()) o->units.push_back(plan);
             return error;
         }},
        {"--settings", true,
         [](auto& v, SimOptions*, Pending* p) { return Keep(v, &p->settings); }},
        {"--count", true, [](auto& v, SimOptions*, Pending* p) { return Keep(v, &p->counts); }},
        {"--rate", true,
         [](auto& v, SimOptions* o, Pending*) {
             int64_t rate = 0;
             if (!ParseInt(v, 0, kMaxRate, &rate)) return IntError("rate", v, 0, kMaxRate);
             o->source.rateHz = uint32_t(rate);
             return std::string();
         }},
        {"--z-every", true,
         [](auto& v, SimOptions* o, Pending*) {
             int64_t z = 0;
             if (!ParseInt(v, 1, UINT32_MAX, &z)) return IntError("z-every", v, 1, UINT32_MAX);
             o->source.zEvery = uint64_t(z);
             return std::string();
         }},
        {"--notice", true, [](auto& v, SimOptions* o, Pending*) { return ParseNotice(v, o); }},
        {"--silent", true,
         [](auto& v, SimOptions* o, Pending*) { return ParseLetters(v, &o->faults.silent); }},
        {"--delay-ms", true,
         [](auto& v, SimOptions* o, Pending*) {
             return ParseCounter("delay", v, 0, kMaxDelayMs, &o->faults.delayMs);
         }},
        {"--drop-every", true,
         [](auto& v, SimOptions* o, Pending*) {
             return ParseCounter("drop-every", v, 1, INT32_MAX, &o->faults.dropEvery);
         }},
        {"--garbage", false,
         [](auto&, SimOptions* o, Pending*) { return Set(&o->faults.garbage); }},
        {"--close-after", true,
         [](auto& v, SimOptions* o, Pending*) {
             return ParseCounter("close-after", v, 1, INT32_MAX, &o->faults.closeAfter);
         }},
        {"--overflow", false,
         [](auto&, SimOptions* o, Pending*) { return Set(&o->faults.overflow); }},
        {"--queued-junk", false,
         [](auto&, SimOptions* o, Pending*) { return Set(&o->faults.queuedJunk); }},
        {"--wrong-length", true,
         [](auto& v, SimOptions* o, Pending*) { return ParseLetters(v, &o->faults.wrongLength); }},
        {"--upper-echo", false,
         [](auto&, SimOptions* o, Pending*) { return Set(&o->faults.upperEcho); }},
        {"--log", true,
         [](auto& v, SimOptions* o, Pending*) {
             o->logFile = v;
             return v.empty() ? "--log wants a file name" : "";
         }},
        {"--quiet", false, [](auto&, SimOptions* o, Pending*) { return Set(&o->quiet); }},
    };
    return options;
}

const OptionEntry* FindOption(const std::string& name) {
    for (const OptionEntry& entry : Options())
        if (name == entry.name) return &entry;
    return nullptr;
}

// Settings and presets name units, so they apply once the set of units is final.
std::string ApplyPending(const Pending& pending, SimOptions* o) {
    for (const std::string& text : pending.settings)
        if (std::string error = ApplySettings(text, o->units); !error.empty()) return error;
    for (const std::string& text : pending.counts)
        if (std::string error = ApplyCount(text, o->units); !error.empty()) return error;
    if (!o->tcp && o->ptyLink.empty()) return "--listen off needs --pty";
    return {};
}

}  // namespace

std::vector<UnitPlan> DefaultUnits() {
    const UnitIdentity identities[] = {
        {1, 2, 0, 1}, {2, 3, 0, 2}, {3, 4, 0, 3}, {4, 1, 0, 4}, {5, kExtensionFamilyCode, 1, 5},
    };
    std::vector<UnitPlan> units;
    for (const UnitIdentity& identity : identities) {
        UnitPlan plan;
        plan.identity = identity;
        units.push_back(plan);
    }
    return units;
}

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    SimOptions& o = parsed.options;
    o.units = DefaultUnits();
    Pending pending;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        const auto eq = name.find('=');
        const bool inlineValue = name.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inlineValue) value = name.substr(eq + 1), name = name.substr(0, eq);
        const OptionEntry* entry = FindOption(name);
        if (entry == nullptr) {
            parsed.error = "unknown option '" + args[i] + "'";
            return parsed;
        }
        if (entry->takesValue && !inlineValue) {
            if (i + 1 == args.size()) {
                parsed.error = name + " wants a value";
                return parsed;
            }
            value = args[++i];
        } else if (!entry->takesValue && inlineValue) {
            parsed.error = name + " takes no value";
            return parsed;
        }
        parsed.error = entry->handle(value, &o, &pending);
        if (!parsed.error.empty()) return parsed;
    }
    parsed.error = ApplyPending(pending, &o);
    return parsed;
}
