#pragma once

#include <QString>
#include <cstdint>

#include "link/LinkSession.h"

// The operator's text of a link result (-1: the session's last error).
inline QString OperatorText(int32_t code, const LinkSession& session) {
    return QString::fromUtf8(LinkErrorText(code, session));
}

// The same, but nothing for the operator's own abort, which needs no explanation.
inline QString OperatorTextUnlessAborted(int32_t code, const LinkSession& session) {
    return code == LINK_E_ABORTED ? QString() : OperatorText(code, session);
}
