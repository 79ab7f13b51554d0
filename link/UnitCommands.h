#pragma once

#include <cstdint>

#include "device/PulseConfig.h"
#include "link/LinkSession.h"

struct LinkSession;

// The command sequences that every front end sends to a unit, each written once. Each waits for
// the replies of its commands (decoded by the session's handler) and returns 0 or the code of the
// first exchange that failed; no command follows a failed one.
//
// `decoded`, when given, tells whether every reply that answered was decoded (known letters and
// the expected length): a reply of another length answers its command as well, so the sequence
// goes on, but what it should have carried is missing. The window passes nothing.

// "MD": the unit's model and ID, into the session's device state.
int32_t IdentifyExchange(LinkSession& session, ExchangeHost& host, bool* decoded = nullptr);

// "PY", "PH" for each of the unit's inputs, "PP": the settings and counting state, into the held
// record of the handler's target.
int32_t ReadSettingsExchange(LinkSession& session, ExchangeHost& host, int32_t inputCount,
                             bool* decoded = nullptr);

// "PC" for each of the unit's inputs, then "PU": the settings of `wanted`. The edges the unit
// accepted before a failure stay written in it.
int32_t WriteSettingsExchange(LinkSession& session, ExchangeHost& host, const PulseConfig& wanted,
                              int32_t inputCount, bool* decoded = nullptr);

// "PS": counting on or off.
int32_t StartStopExchange(LinkSession& session, ExchangeHost& host, bool start,
                          bool* decoded = nullptr);

// "PG" for one input index, without waiting: the reply arrives through the handler.
int32_t CountRequest(LinkSession& session, ExchangeHost& host, int32_t index);
