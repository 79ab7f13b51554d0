#include "unit/UnitJson.h"

#include "device/CommandEncoding.h"
#include "device/OperatorTexts.h"

namespace {

using Json = nlohmann::ordered_json;

// One setting: its value, word, display text and raw code.
Json SettingJson(const SettingKind& kind, int32_t value, int raw) {
    const std::string word = kind.word(value);
    Json setting;
    setting["value"] = value;
    setting["word"] = word.empty() ? Json() : Json(word);
    if (const char* display = kind.display(value)) setting["display"] = display;
    if (raw >= 0) setting["raw"] = raw;
    return setting;
}

}  // namespace

std::vector<SettingShown> SettingsShown(const HeldSettings& held) {
    const PulseConfig& c = held.config;
    const int flags = held.flags;
    std::vector<SettingShown> items = {
        {"mode", MODE_SETTING, c.mode, flags},
        {"clearSignal", ON_OFF_SETTING, c.clearSignal, flags},
    };
    for (int32_t i = 0; i < held.inputCount && i < MAX_INPUTS; ++i)
        items.push_back(
            {"DI" + std::to_string(i + 1), EDGE_SETTING, c.edge[i], ParamChar(c.edge[i])});
    items.push_back({"period", PERIOD_SETTING, c.period, ParamChar(c.period)});
    items.push_back({"debounce", DEBOUNCE_SETTING, c.debounce, ParamChar(c.debounce)});
    return items;
}

Json IdentityJson(const UnitIdentity& unit) {
    Json json;
    json["node"] = unit.node;
    json["model"] = unit.model;
    json["modelCode"] = unit.modelCode;
    json["subCode"] = unit.subCode;
    json["id"] = unit.unitId;
    json["pulseInputs"] = unit.inputCount;
    return json;
}

Json SettingsJson(int32_t node, const HeldSettings& held) {
    Json json;
    json["node"] = node;
    json["pulseInputs"] = held.inputCount;
    for (const SettingShown& item : SettingsShown(held))
        json[item.name] = SettingJson(item.kind, item.value, item.raw);
    const int32_t on = held.config.countingOn != 0 ? 1 : 0;
    Json counting = SettingJson(ON_OFF_SETTING, on, -1);
    counting["display"] = on ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT;
    json["counting"] = counting;
    return json;
}

Json ErrorJson(const UnitFailure& failure) {
    Json error;
    switch (failure.kind) {
        case FailureKind::Malformed:
            error["kind"] = "malformed";
            break;
        case FailureKind::Refused:
            error["kind"] = "refused";
            break;
        default:
            error["kind"] = "link";
            error["code"] = failure.code;
    }
    error["text"] = FailureText(failure);
    return error;
}

std::string JsonText(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string CountLabelOf(int32_t mode, int32_t index) {
    if (mode == MODE_TWO_PHASE_X2 || mode == MODE_TWO_PHASE_X4)
        return index == 0 ? "DI1+DI2" : "DI4+DI5";
    return "DI" + std::to_string(index + 1);
}
