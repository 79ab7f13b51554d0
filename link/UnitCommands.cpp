#include "link/UnitCommands.h"

#include "device/CommandEncoding.h"

namespace {

// Notes in `decoded` whether the reply that answered an exchange was decoded; a failed exchange
// has no reply to judge.
int32_t Noted(const LinkSession& session, int32_t code, bool* decoded) {
    if (code == 0 && decoded != nullptr && !session.replyDecoded.load()) *decoded = false;
    return code;
}

int32_t Started(bool* decoded) {
    if (decoded != nullptr) *decoded = true;
    return 0;
}

}  // namespace

int32_t IdentifyExchange(LinkSession& session, ExchangeHost& host, bool* decoded) {
    Started(decoded);
    return Noted(session, SendCommand(session, host, CMD_IDENTIFY), decoded);
}

int32_t ReadSettingsExchange(LinkSession& session, ExchangeHost& host, int32_t inputCount,
                             bool* decoded) {
    Started(decoded);
    int32_t code = Noted(session, SendCommand(session, host, CMD_READ_SETTINGS), decoded);
    for (int32_t i = 0; code == 0 && i < inputCount; ++i)
        code = Noted(session, SendCommand(session, host, CMD_READ_EDGE, ParamChar(i)), decoded);
    if (code == 0) code = Noted(session, SendCommand(session, host, CMD_READ_STATE), decoded);
    return code;
}

int32_t WriteSettingsExchange(LinkSession& session, ExchangeHost& host, const PulseConfig& wanted,
                              int32_t inputCount, bool* decoded) {
    Started(decoded);
    for (int32_t i = 0; i < inputCount; ++i) {
        const auto edge = SetEdgeParams(i, wanted.edge[i]);
        const int32_t code =
            Noted(session, SendCommand(session, host, CMD_SET_EDGE, edge[0], edge[1]), decoded);
        if (code != 0) return code;
    }
    const auto params = SetSettingsParams(wanted);
    return Noted(session,
                 SendCommand(session, host, CMD_SET_SETTINGS, params[0], params[1], params[2]),
                 decoded);
}

int32_t StartStopExchange(LinkSession& session, ExchangeHost& host, bool start, bool* decoded) {
    Started(decoded);
    return Noted(session, SendCommand(session, host, CMD_START_STOP, StartStopCharacter(start)),
                 decoded);
}

int32_t CountRequest(LinkSession& session, ExchangeHost& host, int32_t index) {
    return PostCommand(session, host, CMD_READ_COUNT, ParamChar(index));
}
