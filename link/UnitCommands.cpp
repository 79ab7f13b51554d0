#include "link/UnitCommands.h"

#include "device/CommandEncoding.h"

int32_t IdentifyExchange(LinkSession& session, ExchangeHost& host) {
    return SendCommand(session, host, CMD_IDENTIFY);
}

int32_t ReadSettingsExchange(LinkSession& session, ExchangeHost& host, int32_t inputCount) {
    int32_t code = SendCommand(session, host, CMD_READ_SETTINGS);
    for (int32_t i = 0; code == 0 && i < inputCount; ++i)
        code = SendCommand(session, host, CMD_READ_EDGE, ParamChar(i));
    if (code == 0) code = SendCommand(session, host, CMD_READ_STATE);
    return code;
}

int32_t WriteSettingsExchange(LinkSession& session, ExchangeHost& host, const PulseConfig& wanted,
                              int32_t inputCount) {
    for (int32_t i = 0; i < inputCount; ++i) {
        const auto edge = SetEdgeParams(i, wanted.edge[i]);
        const int32_t code = SendCommand(session, host, CMD_SET_EDGE, edge[0], edge[1]);
        if (code != 0) return code;
    }
    const auto params = SetSettingsParams(wanted);
    return SendCommand(session, host, CMD_SET_SETTINGS, params[0], params[1], params[2]);
}

int32_t StartStopExchange(LinkSession& session, ExchangeHost& host, bool start) {
    return SendCommand(session, host, CMD_START_STOP, StartStopCharacter(start));
}

int32_t CountRequest(LinkSession& session, ExchangeHost& host, int32_t index) {
    return PostCommand(session, host, CMD_READ_COUNT, ParamChar(index));
}
