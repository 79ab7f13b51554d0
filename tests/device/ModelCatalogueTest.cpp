#include "device/ModelCatalogue.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <thread>
#include <vector>

namespace {

struct NameCase {
    int32_t code;
    int32_t subCode;
    const char* name;
};

// clang-format off
const NameCase NAME_CASES[] = {
    {0, 0, "(0)"},     {1, 0, "KV-410"},  {2, 0, "KV-420"},  {3, 0, "KV-430"},  {4, 0, "KV-440"},
    {5, 0, "(5)"},     {7, 0, "(7)"},     {8, 0, "KV-480"},  {9, 0, "(9)"},     {12, 0, "(12)"},
    {13, 0, "KV-HUB"}, {14, 0, "KV-NET"},
    // The extension family is named by its sub-code.
    {15, 0, "(EX0)"},  {15, 1, "KV-X1"},  {15, 2, "KV-X2"},  {15, 3, "(EX3)"},  {15, 223, "(EX223)"},
    {15, -1, "(EX-1)"}, {15, -32, "(EX-32)"},
    // A sub-code means nothing for the other codes.
    {0, 1, "(0)"},     {2, 1, "KV-420"},  {12, 3, "(12)"},   {13, 223, "KV-HUB"}, {14, -1, "KV-NET"},
    // Codes beyond the table, negative ones included, are formatted.
    {16, 0, "(16)"},   {16, 2, "(16)"},   {223, 0, "(223)"}, {-1, 0, "(-1)"},   {-3, 0, "(-3)"},
    {-32, 1, "(-32)"}, {INT_MIN, 0, "(-2147483648)"},
};
// clang-format on

TEST(ModelNameOf, NamesEveryCodeAndSubCode) {
    for (const NameCase& c : NAME_CASES) {
        EXPECT_EQ(ModelNameOf(c.code, c.subCode), c.name)
            << "code " << c.code << " sub-code " << c.subCode;
    }
}

TEST(ModelNameOf, DecodableCodesGiveAtMostSevenCharacters) {
    // The identification decoder delivers codes and sub-codes from -32 to 223.
    for (int32_t code = -32; code <= 223; ++code) {
        for (int32_t subCode : {-32, -1, 0, 1, 2, 3, 99, 100, 223}) {
            const std::string name = ModelNameOf(code, subCode);
            EXPECT_FALSE(name.empty());
            EXPECT_LE(name.size(), 7u) << name;
        }
    }
}

TEST(ModelNameOf, EachCallerKeepsItsOwnText) {
    const std::string first = ModelNameOf(16, 0);
    const std::string second = ModelNameOf(15, 223);
    EXPECT_EQ(first, "(16)");
    EXPECT_EQ(second, "(EX223)");

    // Threads naming different units at once must not see each other's text.
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            const int32_t code = 100 + t;
            const std::string expected = "(" + std::to_string(code) + ")";
            for (int i = 0; i < 2000; ++i) {
                if (ModelNameOf(code, 0) != expected) ++wrong[t];
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

struct CapabilityCase {
    int32_t code;
    ModelCapabilities row;
};

// clang-format off
const CapabilityCase CAPABILITY_CASES[] = {
    {0, {0, 0, 0, 0}}, {1, {5, 0, 0, 0}}, {2, {0, 5, 0, 0}}, {3, {3, 3, 0, 0}}, {4, {5, 2, 0, 0}},
    {5, {0, 0, 0, 0}}, {6, {0, 0, 0, 0}}, {7, {0, 0, 0, 0}}, {8, {2, 0, 0, 3}},
    // Codes without a row have no channels, so a unit reporting them is refused.
    {9, {0, 0, 0, 0}}, {12, {0, 0, 0, 0}}, {13, {0, 0, 0, 0}}, {14, {0, 0, 0, 0}}, {15, {0, 0, 0, 0}},
    {16, {0, 0, 0, 0}}, {223, {0, 0, 0, 0}}, {-1, {0, 0, 0, 0}}, {-32, {0, 0, 0, 0}},
    {INT_MIN, {0, 0, 0, 0}}, {INT_MAX, {0, 0, 0, 0}},
};
// clang-format on

TEST(CapabilitiesOf, GivesTheRowOfTheCode) {
    for (const CapabilityCase& c : CAPABILITY_CASES) {
        const ModelCapabilities row = CapabilitiesOf(c.code);
        EXPECT_EQ(row.outputCount, c.row.outputCount) << "code " << c.code;
        EXPECT_EQ(row.pulseInputCount, c.row.pulseInputCount) << "code " << c.code;
        EXPECT_EQ(row.reservedCount, c.row.reservedCount) << "code " << c.code;
        EXPECT_EQ(row.analogInputCount, c.row.analogInputCount) << "code " << c.code;
    }
}

TEST(CapabilitiesOf, OnlyThreeModelsCountPulses) {
    std::vector<std::string> counting;
    for (int32_t code = -32; code <= 223; ++code) {
        const int32_t inputs = CapabilitiesOf(code).pulseInputCount;
        EXPECT_GE(inputs, 0);
        EXPECT_LE(inputs, 5);
        if (inputs > 0) counting.push_back(ModelNameOf(code, 0));
    }
    EXPECT_EQ(counting, (std::vector<std::string>{"KV-420", "KV-430", "KV-440"}));
}

}  // namespace
