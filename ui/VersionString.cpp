#include "ui/VersionString.h"

// The build passes the project version in as VELKOR_VERSION_MAJOR ... VELKOR_VERSION_FOURTH.
FileVersion ProgramFileVersion() {
    return {VELKOR_VERSION_MAJOR, VELKOR_VERSION_MINOR, VELKOR_VERSION_THIRD,
            VELKOR_VERSION_FOURTH};
}
