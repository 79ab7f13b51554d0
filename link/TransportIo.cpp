#include "link/TransportIo.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

int32_t DescriptorBytesWaiting(int fd) {
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) != 0) return 0;
    return waiting;
}

int32_t AwaitWritable(int fd, int32_t timeoutMs) {
    pollfd entry{fd, POLLOUT, 0};
    const int ready = poll(&entry, 1, timeoutMs);
    if (ready < 0) return errno;
    if (ready == 0) return ETIMEDOUT;
    return 0;
}

void CloseDescriptor(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}
