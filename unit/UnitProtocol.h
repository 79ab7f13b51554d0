#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/PulseConfig.h"
#include "link/LinkSession.h"
#include "unit/CountArrivals.h"
#include "unit/Result.h"
#include "unit/UnitFailure.h"
#include "unit/WritePlan.h"

// What identification tells about a unit.
struct UnitIdentity {
    int32_t node = 0;
    std::string model;
    int32_t modelCode = 0;
    int32_t subCode = 0;
    int32_t unitId = 0;
    int32_t inputCount = 0;
};

// A reply that answers its command without carrying what its letters announce (another length).
// The window takes it as the answer and stores nothing; the command line fails the node.
enum class MalformedReplies { Answer, Fail };

// The operations on the unit that the session addresses, each waiting for the replies of its
// commands (decoded by the session's handler into its reply target) and sending nothing after a
// command that failed.
class UnitProtocol {
public:
    UnitProtocol(LinkSession& session, ExchangeHost& host, MalformedReplies malformed)
        : session_(session), host_(host), malformed_(malformed) {}

    // "MD": the model and ID.
    Result<UnitIdentity> Identify();
    // "PY", "PH" for each input, "PP": the settings and counting state, into the held record of
    // the handler's target.
    Result<Done> ReadSettings(int32_t inputCount);
    // The frames in order until one fails, each one's fate noted (also in the failure). The
    // edges the unit accepted before a failure stay written in it.
    Result<Done> Write(std::vector<PlannedFrame>& frames);
    // "PS": counting on or off.
    Result<Done> StartStop(bool start);
    // "PG" for one input index, without waiting: the reply reaches the handler's target.
    Result<Done> RequestCount(int32_t index);
    // "PG" for each input whose bit is set in `indexes`, then a wait of up to `waitMs` for all of
    // them to arrive in `arrivals` (which the handler's target feeds).
    Result<std::array<int32_t, MAX_INPUTS>> ReadCounts(uint32_t indexes, CountArrivals& arrivals,
                                                       int32_t waitMs);

private:
    Result<Done> Exchange(const UnitCommand& command);

    LinkSession& session_;
    ExchangeHost& host_;
    MalformedReplies malformed_;
};

// The refusal of a model without pulse inputs; nothing for one with them.
std::optional<UnitFailure> RefusalOf(const UnitIdentity& unit);
