#include "link/LinkInternals.h"

// The table entries come from the transport files of the system the link is built for.
const Transport& TransportOf(int32_t kind) {
    return kind == Serial ? SerialTransport : TcpTransport;
}

namespace {

int Opened(LinkSessionState& session, int32_t code) {
    if (code == 0) return 0;
    session.lastError.store(code);
    return -1;
}

}  // namespace

int OpenSerialPort(LinkSessionState& session) {
    return Opened(session, SerialTransport.open(session));
}

int OpenTcpConnection(LinkSessionState& session) {
    return Opened(session, TcpTransport.open(session));
}
