#include "device/ModelCatalogue.h"

#include <string>

// The bracketed entries are fixed texts of the table, not formatted names. Entry 15 is never
// shown: that code is named by its sub-code from the extension table.
const std::array<const char*, 16> ModelCatalogue = {
    "(0)",    "KV-410", "KV-420", "KV-430", "KV-440", "(5)",    "(6)",    "(7)",
    "KV-480", "(9)",    "(10)",   "(11)",   "(12)",   "KV-HUB", "KV-NET", "(15)",
};

const std::array<const char*, 3> ExtensionCatalogue = {"(EX0)", "KV-X1", "KV-X2"};

//                                                  out  pulse reserved analog
const std::array<ModelCapabilities, 9> CapabilityTable = {{
    {0, 0, 0, 0},  // 0 "(0)"
    {5, 0, 0, 0},  // 1 "KV-410"
    {0, 5, 0, 0},  // 2 "KV-420"
    {3, 3, 0, 0},  // 3 "KV-430"
    {5, 2, 0, 0},  // 4 "KV-440"
    {0, 0, 0, 0},  // 5 "(5)"
    {0, 0, 0, 0},  // 6 "(6)"
    {0, 0, 0, 0},  // 7 "(7)"
    {2, 0, 0, 3},  // 8 "KV-480"
}};

std::string ModelNameOf(int32_t modelCode, int32_t subCode) {
    // Compared unsigned so that negative codes fall out of the table as well.
    if (static_cast<uint32_t>(modelCode) > 15) {
        return "(" + std::to_string(modelCode) + ")";
    }
    if (modelCode == EXTENSION_FAMILY_CODE) {
        if (subCode >= 0 && subCode < static_cast<int32_t>(ExtensionCatalogue.size())) {
            return ExtensionCatalogue[subCode];
        }
        return "(EX" + std::to_string(subCode) + ")";
    }
    return ModelCatalogue[modelCode];
}

ModelCapabilities CapabilitiesOf(int32_t modelCode) {
    if (modelCode < 0 || modelCode >= static_cast<int32_t>(CapabilityTable.size())) {
        return ModelCapabilities{0, 0, 0, 0};
    }
    return CapabilityTable[modelCode];
}
