// Feeds arbitrary text to velkorctl's settings-file parser (`set --from FILE`, a file a person may
// have edited or been sent). Checks that whatever it accepts can be written to a unit: every
// parameter character travels in a frame (from 0x20 up, never the end byte), the inputs named
// are DI1 upward, and the values the encoder checks see are those the characters stand for.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "device/CommandEncoding.h"
#include "unit/SettingsFile.h"

namespace {

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "settings_file_fuzz: %s\n", what);
    std::abort();
}

bool Travels(unsigned char c) {
    return c >= PARAM_BASE && c != 0xC8;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto file = ParseSettingsFile(text, error);
    if (!file) {
        Require(!error.empty(), "refused without a reason");
        return 0;
    }
    Require(file->inputs >= 0 && file->inputs <= MAX_INPUTS, "inputs outside DI1..DI5");
    Require(Travels(file->modeCharacter), "mode character cannot travel");
    Require(Travels(file->periodCharacter), "period character cannot travel");
    Require(Travels(file->debounceCharacter), "debounce character cannot travel");
    Require(file->periodCharacter - PARAM_BASE == file->settings.period, "period differs");
    Require(file->debounceCharacter - PARAM_BASE == file->settings.debounce, "debounce differs");
    int32_t mode = 0, clear = 0;
    DecodeFlags(file->modeCharacter, mode, clear);
    Require(mode == file->settings.mode, "mode character means another mode");
    for (int32_t i = 0; i < file->inputs; ++i) {
        Require(Travels(file->edgeCharacters[i]), "edge character cannot travel");
        Require(file->edgeCharacters[i] - PARAM_BASE == file->settings.edge[i], "edge differs");
    }
    return 0;
}
