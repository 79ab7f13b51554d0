#include "unit/SettingWords.h"

#include <array>
#include <vector>

#include "device/InputText.h"
#include "device/OperatorTexts.h"
#include "device/ValueTables.h"

namespace {

// A word of `words` (its index, the value) or the value as a number; later words of an entry are
// synonyms that are taken but never shown.
std::optional<int32_t> WordOrNumber(const std::string& text,
                                    const std::vector<std::vector<std::string>>& words) {
    for (size_t i = 0; i < words.size(); ++i)
        for (const std::string& word : words[i])
            if (word == text) return static_cast<int32_t>(i);
    return DecimalInRange(text, 0, static_cast<int32_t>(words.size()) - 1);
}

std::string FirstWord(const std::vector<std::vector<std::string>>& words, int32_t value) {
    if (value < 0 || static_cast<size_t>(value) >= words.size()) return {};
    return words[static_cast<size_t>(value)].front();
}

template <size_t N>
const char* TableText(const std::array<const char*, N>& texts, int32_t value) {
    return value >= 0 && static_cast<size_t>(value) < N ? texts[static_cast<size_t>(value)]
                                                        : nullptr;
}

const std::vector<std::vector<std::string>> MODE_WORD_LIST = {{"off"}, {"single"}, {"x2"}, {"x4"}};
const std::vector<std::vector<std::string>> ON_OFF_WORD_LIST = {{"off"}, {"on"}};
const std::vector<std::vector<std::string>> EDGE_WORD_LIST = {{"off"}, {"rising"}, {"falling"}};
const std::vector<std::vector<std::string>> PERIOD_WORD_LIST = {
    {"start-stop"}, {"1s"}, {"10s"}, {"1m", "60s"}, {"10m", "600s"}};

constexpr int32_t MAX_DEBOUNCE_VALUE = 10;
constexpr int32_t MS_PER_DEBOUNCE_STEP = 2;

// "none", the filter time "4ms" to "20ms" in steps of 2, or the unit's value 0 to 10.
std::optional<int32_t> DebounceOf(const std::string& text) {
    if (text == "none") return 0;
    if (text.size() > 2 && text.compare(text.size() - 2, 2, "ms") == 0) {
        const auto ms = DecimalInRange(text.substr(0, text.size() - 2), 4, 20);
        if (!ms || *ms % MS_PER_DEBOUNCE_STEP != 0) return std::nullopt;
        return *ms / MS_PER_DEBOUNCE_STEP;
    }
    return DecimalInRange(text, 0, MAX_DEBOUNCE_VALUE);
}

// Value 1 has no filter time of its own (the window shows it as none but writes 0), so it is
// shown by its number, which writes it back unchanged.
std::string DebounceWord(int32_t value) {
    if (value == 0) return "none";
    if (value == 1) return "1";
    if (value < 0 || value > MAX_DEBOUNCE_VALUE) return {};
    return std::to_string(value * MS_PER_DEBOUNCE_STEP) + "ms";
}

const char* DebounceDisplay(int32_t value) {
    return DebounceIndexOfValue(value) < 0 ? nullptr : DebounceText(value);
}

}  // namespace

const SettingKind MODE_SETTING = {
    [](const std::string& t) { return WordOrNumber(t, MODE_WORD_LIST); },
    [](int32_t v) { return FirstWord(MODE_WORD_LIST, v); },
    [](int32_t) -> const char* { return nullptr; },
};
const SettingKind ON_OFF_SETTING = {
    [](const std::string& t) { return WordOrNumber(t, ON_OFF_WORD_LIST); },
    [](int32_t v) { return FirstWord(ON_OFF_WORD_LIST, v); },
    [](int32_t) -> const char* { return nullptr; },
};
const SettingKind EDGE_SETTING = {
    [](const std::string& t) { return WordOrNumber(t, EDGE_WORD_LIST); },
    [](int32_t v) { return FirstWord(EDGE_WORD_LIST, v); },
    [](int32_t v) { return TableText(EDGE_TEXTS, v); },
};
const SettingKind PERIOD_SETTING = {
    [](const std::string& t) { return WordOrNumber(t, PERIOD_WORD_LIST); },
    [](int32_t v) { return FirstWord(PERIOD_WORD_LIST, v); },
    [](int32_t v) { return TableText(PERIOD_TEXTS, v); },
};
const SettingKind DEBOUNCE_SETTING = {DebounceOf, DebounceWord, DebounceDisplay};
