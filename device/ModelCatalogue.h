#pragma once

#include <array>
#include <cstdint>
#include <string>

// Model code of the extension family, named by its sub-code.
constexpr int32_t EXTENSION_FAMILY_CODE = 15;

// Display names by model code 0..15 (code 15 is named from the extension table instead).
extern const std::array<const char*, 16> ModelCatalogue;
// Names of the extension family by sub-code 0..2.
extern const std::array<const char*, 3> ExtensionCatalogue;

// Channel counts of one model; only pulseInputCount is used by the program.
struct ModelCapabilities {
    int32_t outputCount;
    int32_t pulseInputCount;
    int32_t reservedCount;
    int32_t analogInputCount;
};

// Rows for model codes 0..8.
extern const std::array<ModelCapabilities, 9> CapabilityTable;

// Display name of a model; every code and sub-code has one. Each call returns its own text.
std::string ModelNameOf(int32_t modelCode, int32_t subCode);

// Capability row of a model; a code without a row has no channels at all (so no pulse inputs).
ModelCapabilities CapabilitiesOf(int32_t modelCode);
