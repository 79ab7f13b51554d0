#pragma once

#include <cstdint>
#include <string>

// The program's file version: four 16-bit words.
struct FileVersion {
    uint16_t major;
    uint16_t minor;
    uint16_t third;
    uint16_t fourth;
};

// "Version %d.%d%d%d", or "Version %d.%d%d" when the fourth word is 0: the words after the dot are
// written one after another, so 1.0.0.0 reads "Version 1.00" and 2.1.0.5 "Version 2.105".
std::string FormatVersionString(const FileVersion& version);
