#include "Channel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "FrameLog.h"

void Channel::Release(int64_t now, FrameLog& log) {
    while (!scheduled_.empty() && scheduled_.begin()->first <= now) {
        const OutChunk& chunk = scheduled_.begin()->second;
        log.Sent(name_, chunk.kind, chunk.bytes);
        unwritten_ += chunk.bytes;
        scheduledBytes_ -= chunk.bytes.size();
        scheduled_.erase(scheduled_.begin());
    }
}

int64_t Channel::NextDue() const {
    return scheduled_.empty() ? INT64_MAX : scheduled_.begin()->first;
}

bool Channel::Flush() {
    while (!unwritten_.empty()) {
        const ssize_t n = isSocket_
                              ? ::send(fd_, unwritten_.data(), unwritten_.size(), MSG_NOSIGNAL)
                              : ::write(fd_, unwritten_.data(), unwritten_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (n <= 0) return false;
        unwritten_.erase(0, size_t(n));
    }
    return true;
}
