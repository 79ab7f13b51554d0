#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "link/LinkPlatform.h"

#include <netdb.h>

#include <cerrno>
#include <cstring>

#include "link/LinkSession.h"

void RaiseReceivePriority() {
    // An unprivileged process may be refused a negative nice value.
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), -5);
}

// Sockets need no start on these systems.
int32_t StartSocketLibrary() {
    return 0;
}

std::string SystemErrorReason(int32_t code) {
    return code < 0 ? gai_strerror(code) : std::strerror(code);
}

int32_t OpenWakeSignal(LinkSessionState& session) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return errno;
    session.wakeReader = ends[0];
    session.wakeWriter = ends[1];
    return 0;
}

void SignalWake(LinkSessionState& session) {
    const char signal = 1;
    if (session.wakeWriter >= 0) (void)!write(session.wakeWriter, &signal, 1);
}

void CloseWakeSignal(LinkSessionState& session) {
    for (LinkDescriptor* end : {&session.wakeReader, &session.wakeWriter}) {
        if (*end >= 0) close(*end);
        *end = NO_DESCRIPTOR;
    }
}

void AwaitWakeSignal(LinkSessionState& session) {
    pollfd wake{session.wakeReader, POLLIN, 0};
    while (poll(&wake, 1, -1) < 0 && errno == EINTR) {
    }
}
