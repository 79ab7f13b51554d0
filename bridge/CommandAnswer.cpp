#include "bridge/CommandAnswer.h"

#include "unit/WriteReport.h"

namespace {

using Json = nlohmann::ordered_json;

Json Head(CommandName name, bool ok) {
    Json json;
    json["command"] = CommandWord(name);
    json["ok"] = ok;
    return json;
}

// The frames by their fate, each in the words velkorctl tells them.
Json FramesJson(const std::vector<PlannedFrame>& frames) {
    Json json;
    json["acknowledged"] = Json::array();
    json["unanswered"] = Json::array();
    json["unsent"] = Json::array();
    for (const PlannedFrame& frame : frames) {
        const char* fate = frame.fate == FrameFate::Acknowledged   ? "acknowledged"
                           : frame.fate == FrameFate::SentNoAnswer ? "unanswered"
                                                                   : "unsent";
        json[fate].push_back(FrameName(frame));
    }
    return json;
}

std::string Failed(CommandName name, Json error, const std::vector<PlannedFrame>& frames) {
    Json json = Head(name, false);
    json["error"] = std::move(error);
    if (name == CommandName::Set) json["frames"] = FramesJson(frames);
    return JsonText(json);
}

}  // namespace

std::string SetAnswer(int32_t node, const HeldSettings& held) {
    Json json = Head(CommandName::Set, true);
    json["settings"] = SettingsJson(node, held);
    return JsonText(json);
}

std::string CountingAnswer(CommandName name, bool on) {
    Json json = Head(name, true);
    json["counting"] = ON_OFF_SETTING.word(on ? 1 : 0);
    return JsonText(json);
}

std::string FailureAnswer(CommandName name, const UnitFailure& failure,
                          const std::vector<PlannedFrame>& frames) {
    return Failed(name, ErrorJson(failure), frames);
}

std::string RequestRefusedAnswer(CommandName name, const std::string& text) {
    Json error;
    error["kind"] = "request";
    error["text"] = text;
    return Failed(name, std::move(error), {});
}
