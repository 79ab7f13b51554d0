#pragma once

#include <cstdint>
#include <string>

#include "link/LinkSession.h"

// The operator's text of a link result (-1: the session's last error).
inline std::string OperatorText(int32_t code, const LinkSession& session) {
    return LinkErrorText(code, session);
}

// The same, but nothing for the operator's own abort, which needs no explanation.
inline std::string OperatorTextUnlessAborted(int32_t code, const LinkSession& session) {
    return code == LINK_E_ABORTED ? std::string() : OperatorText(code, session);
}
