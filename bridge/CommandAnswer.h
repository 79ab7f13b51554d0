#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bridge/CommandRequest.h"
#include "unit/UnitFailure.h"
#include "unit/UnitJson.h"
#include "unit/WritePlan.h"

// The answers on <gateway>/<node>/result, each one JSON object.

// {"command":"set","ok":true,"settings":{...}}: what the unit holds after the write, as
// `velkorctl set --json` prints it.
std::string SetAnswer(int32_t node, const HeldSettings& held);
// {"command":"start","ok":true,"counting":"on"}
std::string CountingAnswer(CommandName name, bool on);
// {"command":"set","ok":false,"error":{...},"frames":{...}}: the error as velkorctl's JSON shows
// it; for set, each frame planned by its fate (none where nothing was planned).
std::string FailureAnswer(CommandName name, const UnitFailure& failure,
                          const std::vector<PlannedFrame>& frames);
// A payload refused: the error's kind is "request", and nothing was sent.
std::string RequestRefusedAnswer(CommandName name, const std::string& text);
