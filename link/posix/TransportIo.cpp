#include "link/posix/TransportIo.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "link/LinkSession.h"
#include "link/LinkTiming.h"

int32_t DescriptorBytesWaiting(int fd) {
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) != 0) return 0;
    return waiting;
}

int32_t AwaitWritable(const LinkSessionState& session, int fd, int32_t timeoutMs) {
    for (int32_t waited = 0; waited < timeoutMs;) {
        if (session.state.load() != Running) return LINK_E_NOT_RUNNING;
        const int32_t slice = std::min(session.timing.statePollMs.load(), timeoutMs - waited);
        pollfd entry{fd, POLLOUT, 0};
        const int ready = poll(&entry, 1, slice);
        if (ready > 0) return 0;
        if (ready < 0 && errno != EINTR) return errno;
        waited += slice;
    }
    return ETIMEDOUT;
}

int32_t AwaitReadable(const LinkSessionState& session, int fd, int32_t timeoutMs,
                      int32_t endedCode) {
    pollfd entries[2] = {{fd, POLLIN, 0}, {session.wakeReader, POLLIN, 0}};
    const int ready = poll(entries, 2, timeoutMs);
    if (ready == 0) return LINK_E_TIMEOUT;
    if (ready < 0) return errno == EINTR ? 0 : errno;
    // Bytes still waiting are read before the end is taken. A hung-up pseudo-terminal reports
    // itself readable too, and then reads nothing.
    const short line = entries[0].revents;
    const bool ended = (line & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    return ended && DescriptorBytesWaiting(fd) == 0 ? endedCode : 0;
}

void CloseDescriptor(std::atomic<int>& fd) {
    const int open = fd.exchange(-1);
    if (open >= 0) close(open);
}

int32_t FailOpen(std::atomic<int>& fd, int32_t code) {
    CloseDescriptor(fd);
    return code;
}
