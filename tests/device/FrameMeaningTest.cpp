#include "device/FrameMeaning.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct MeaningCase {
    std::string frame;  // as on the wire, without the end byte
    const char* meaning;
};

std::string Meaning(std::string frame, std::string (*meaningOf)(const unsigned char*, int32_t)) {
    frame += '\xC8';
    return meaningOf(reinterpret_cast<const unsigned char*>(frame.data()),
                     static_cast<int32_t>(frame.size()));
}

// clang-format off
const MeaningCase COMMANDS[] = {
    {"01MD", "identify"},
    {"01PY", "read settings"},
    {"01PP", "read counting state"},
    {"01PH\x22", "read edge of DI3"},
    {"01PG\x23", "read count of DI4"},
    {"01PG\x27", "read count of input index 7"},
    {"01PC\x20\x21", "set edge of DI1 to 立ち上がり"},
    {"01PC\x24\x22", "set edge of DI5 to 立ち下がり"},
    {"01PC\x21\x23", "set edge of DI2 to ?"},
    {"01PU\x2F\x22\x25", "write settings: mode x4, clear signal on, period 10秒, debounce 10m秒"},
    {"01PU\x21\x20\x20", "write settings: mode single, clear signal off, period START-STOP, debounce なし"},
    {"01PU\x20\x29\x2B", "write settings: mode off, clear signal off, period ?, debounce ?"},
    {"01PS\x28", "start counting"},
    {"01PS\x20", "stop counting"},
    // Unknown letters, and parameters that do not fit the letters, mean nothing.
    {"01PS\x21", ""}, {"01MD\x20", ""}, {"01PH", ""}, {"01XX", ""}, {"01", ""}, {"", ""},
};

const MeaningCase REPLIES[] = {
    {"01md/\x22", "model KV-420, ID 0"},
    {"01md\x2C\x22", "model KV-420, ID 3"},
    {"01md\x2F\x2F\x21", "model KV-X1, ID 0"},
    {"01md\x2F\x2F", "model (EX0), ID 0"},
    {"01md\x2F", ""},
    {"01py\x23\x21\x23", "settings: mode x2, clear signal off, period 1秒, debounce 6m秒"},
    {"01ph\x21\x22", "edge of DI2: 立ち下がり"},
    {"01ph\x25\x20", "edge of input index 5: 無効"},
    {"01pp\x28", "PULSE COUNT ON"},
    {"01pp\x20", "PULSE COUNT OFF"},
    {"01pg\x20" "00001234", "count of DI1: 4660"},
    {"01pg\x23" "FFFFFFFB", "count of DI4: -5"},
    {"01pg\x21" "80000000", "count of DI2: -2147483648"},
    {"01pg\x21" "000012G4", "count of DI2: 18"},
    {"01pg\x21" "0000", ""},
    {"01pc", "edge accepted"},
    {"01pu", "settings accepted"},
    {"01ps", "start/stop accepted"},
    {"00gq\x23", "gateway notice, status 3"},
    {"00gq\x20", "gateway notice, status 0"},
    // An echoed command, an unknown reply and a stump are not explained.
    {"01MD", ""}, {"01zz", ""}, {"01", ""},
};
// clang-format on

TEST(FrameMeaning, NamesEachCommandWithItsParameters) {
    for (const MeaningCase& c : COMMANDS)
        EXPECT_EQ(Meaning(c.frame, CommandMeaning), c.meaning) << c.frame;
}

TEST(FrameMeaning, NamesEachReplyWithWhatItCarries) {
    for (const MeaningCase& c : REPLIES)
        EXPECT_EQ(Meaning(c.frame, ReplyMeaning), c.meaning) << c.frame;
}

}  // namespace
