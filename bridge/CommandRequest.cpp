#include "bridge/CommandRequest.h"

#include <array>
#include <set>

#include "unit/SettingWords.h"
#include "unit/SettingsFile.h"

namespace {

using PayloadJson = nlohmann::json;

// A unit's settings as JSON are under 1 KiB; a payload far larger is no command.
constexpr size_t MAX_PAYLOAD = 16384;

const std::array<const char*, MAX_INPUTS> EDGE_KEYS = {"DI1", "DI2", "DI3", "DI4", "DI5"};

// A refused payload: thrown while it is read, caught where the request is made.
struct Refusal {
    std::string text;
};

// The settings taken as words, with where each goes in a change.
struct WordSetting {
    const char* key;
    const SettingKind& kind;
    std::optional<int32_t> SettingsChange::*field;
};
const std::array<WordSetting, 4> WORD_SETTINGS = {{
    {"mode", MODE_SETTING, &SettingsChange::mode},
    {"clearSignal", ON_OFF_SETTING, &SettingsChange::clearSignal},
    {"period", PERIOD_SETTING, &SettingsChange::period},
    {"debounce", DEBOUNCE_SETTING, &SettingsChange::debounce},
}};

int32_t EdgeIndexOf(const std::string& key) {
    for (size_t i = 0; i < EDGE_KEYS.size(); ++i)
        if (key == EDGE_KEYS[i]) return static_cast<int32_t>(i);
    return -1;
}

const WordSetting* WordSettingOf(const std::string& key) {
    for (const WordSetting& setting : WORD_SETTINGS)
        if (key == setting.key) return &setting;
    return nullptr;
}

int32_t WordOf(const std::string& key, const PayloadJson& value, const SettingKind& kind) {
    if (!value.is_string()) throw Refusal{key + " must be a word (a JSON string)"};
    const std::string& word = value.get_ref<const std::string&>();
    const auto parsed = kind.parse(word);
    if (!parsed) throw Refusal{key + ": unknown word '" + word + "'"};
    return *parsed;
}

// force and counting, taken by either form.
bool ReadCommon(const std::string& key, const PayloadJson& value, SettingsWrite& write) {
    if (key == "force") {
        if (!value.is_boolean()) throw Refusal{"force must be true or false"};
        write.force = value.get<bool>();
        return true;
    }
    if (key == "counting" && !value.is_object()) {
        write.change.counting = WordOf(key, value, ON_OFF_SETTING) == 1;
        return true;
    }
    return false;
}

// {"DI2":"falling","period":"10s"}: the settings named change, the others keep the unit's value.
void ReadWords(const PayloadJson& object, SettingsWrite& write) {
    for (const auto& [key, value] : object.items()) {
        if (ReadCommon(key, value, write)) continue;
        if (const int32_t input = EdgeIndexOf(key); input >= 0) {
            write.change.edge[static_cast<size_t>(input)] = WordOf(key, value, EDGE_SETTING);
        } else if (const WordSetting* setting = WordSettingOf(key)) {
            write.change.*(setting->field) = WordOf(key, value, setting->kind);
        } else {
            throw Refusal{"unknown key '" + key + "'"};
        }
    }
    if (write.change.Empty()) throw Refusal{"nothing to change"};
}

// What a setting of `settings --json` may hold; nothing else is taken.
void CheckSettingShape(const std::string& key, const PayloadJson& setting) {
    static const std::set<std::string> MEMBERS = {"value", "word", "display", "raw"};
    if (!setting.is_object())
        throw Refusal{key + " must be an object, as settings --json shows it"};
    for (const auto& [member, value] : setting.items()) {
        if (MEMBERS.count(member) == 0) throw Refusal{key + ": unknown key '" + member + "'"};
        const bool text = member == "word" || member == "display";
        if (text && !value.is_string() && !value.is_null())
            throw Refusal{key + "." + member + " must be a string"};
    }
}

// The object of `settings --json`: node and pulseInputs are the source unit's, and its counting
// object is not copied, as `set --from` does not copy it.
void ReadCopy(const PayloadJson& object, SettingsWrite& write) {
    for (const auto& [key, value] : object.items()) {
        if (ReadCommon(key, value, write)) continue;
        if (key == "node" || key == "pulseInputs") {
            if (!value.is_number_integer()) throw Refusal{key + " must be a whole number"};
            continue;
        }
        if (key != "counting" && EdgeIndexOf(key) < 0 && WordSettingOf(key) == nullptr)
            throw Refusal{"unknown key '" + key + "'"};
        CheckSettingShape(key, value);
    }
    std::string error;
    write.copy = UnitSettingsOfJson(object, error);
    if (!write.copy) throw Refusal{error};
}

PayloadJson PayloadObject(const std::string& payload) {
    if (payload.size() > MAX_PAYLOAD)
        throw Refusal{"the payload is larger than " + std::to_string(MAX_PAYLOAD) + " bytes"};
    JsonTextFault fault = JsonTextFault::None;
    std::string error;
    auto object = ParseOneJsonValue(payload, fault, error);
    if (fault == JsonTextFault::AnotherObject || fault == JsonTextFault::TextAfter)
        throw Refusal{"unexpected text after the JSON object"};
    if (!object) throw Refusal{"not JSON: " + error};
    if (!object->is_object()) throw Refusal{"the payload is not a JSON object"};
    return std::move(*object);
}

SettingsWrite ReadSet(const std::string& payload) {
    const PayloadJson object = PayloadObject(payload);
    SettingsWrite write;
    bool copy = false;
    for (const auto& item : object.items())
        copy = copy || item.value().is_object();
    if (copy)
        ReadCopy(object, write);
    else
        ReadWords(object, write);
    return write;
}

}  // namespace

const char* CommandWord(CommandName name) {
    switch (name) {
        case CommandName::Start:
            return "start";
        case CommandName::Stop:
            return "stop";
        case CommandName::Set:
            break;
    }
    return "set";
}

std::optional<CommandName> CommandNamed(const std::string& word) {
    for (const CommandName name : {CommandName::Set, CommandName::Start, CommandName::Stop})
        if (word == CommandWord(name)) return name;
    return std::nullopt;
}

CommandRequest ReadCommand(CommandName name, const std::string& payload) {
    CommandRequest request;
    request.name = name;
    try {
        if (name == CommandName::Set) {
            request.write = ReadSet(payload);
        } else if (!payload.empty()) {
            throw Refusal{std::string(CommandWord(name)) + " takes an empty payload"};
        }
    } catch (const Refusal& refusal) {
        request.refusal = refusal.text;
    }
    return request;
}
