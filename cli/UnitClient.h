#pragma once

#include <cstdint>

#include "cli/Options.h"
#include "unit/UnitLink.h"

// velkorctl's link: the route as the command line names it, Ctrl-C as its abort.
class UnitClient final : public UnitLink {
public:
    UnitClient(const Route& route, int32_t replyWaitMs);
};
