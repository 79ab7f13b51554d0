#include "dialog/VersionText.h"

#include <cstdio>

std::string FormatVersionString(const FileVersion& version) {
    char text[64];
    if (version.fourth != 0) {
        std::snprintf(text, sizeof text, "Version %d.%d%d%d", version.major, version.minor,
                      version.third, version.fourth);
    } else {
        std::snprintf(text, sizeof text, "Version %d.%d%d", version.major, version.minor,
                      version.third);
    }
    return text;
}
