#include "link/TransportIo.h"

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

int32_t AwaitWritable(const LinkSession& session, int fd, int32_t timeoutMs) {
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

void CloseDescriptor(std::atomic<int>& fd) {
    const int open = fd.exchange(-1);
    if (open >= 0) close(open);
}

int32_t FailOpen(std::atomic<int>& fd, int32_t code) {
    CloseDescriptor(fd);
    return code;
}
