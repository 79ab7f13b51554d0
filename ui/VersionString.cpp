#include "ui/VersionString.h"

#include <cstdio>

// The build passes the project version in as VELKOR_VERSION_MAJOR ... VELKOR_VERSION_FOURTH.
FileVersion ProgramFileVersion() {
    return {VELKOR_VERSION_MAJOR, VELKOR_VERSION_MINOR, VELKOR_VERSION_THIRD,
            VELKOR_VERSION_FOURTH};
}

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
