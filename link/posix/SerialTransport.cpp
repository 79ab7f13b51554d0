#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "link/LinkInternals.h"
#include "link/LinkSeams.h"
#include "link/posix/TransportIo.h"

namespace {

// A port known only by its COM number n is the n-th serial line of the machine.
std::string DevicePathOf(const LinkSessionState& session) {
    if (!session.portPath.empty()) return session.portPath;
    char path[32];
    std::snprintf(path, sizeof path, "/dev/ttyS%d", session.comPort - 1);
    return path;
}

// Raw 8-bit line: every byte value passes unchanged both ways (0x11 and 0x13 are data, not flow
// control; 0xC8 ends frames). The speed stays as the driver has it.
int32_t MakeTransparent(int fd) {
    termios line{};
    if (tcgetattr(fd, &line) != 0) return errno;
    cfmakeraw(&line);
    line.c_cflag |= CLOCAL | CREAD;
    line.c_cflag &= ~CRTSCTS;
    line.c_iflag &= ~(IXON | IXOFF | IXANY);
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &line) != 0) return errno;
    return 0;
}

// One user at a time: a second open of the same device fails while the first holds it. flock
// works for every user; TIOCEXCL additionally keeps out programs that do not lock (root bypasses
// it, which is why the lock comes first, and why a failed lock must not clear it: it may be
// another user's).
int32_t SerialOpen(LinkSessionState& session) {
    const std::string path = DevicePathOf(session);
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno;
    session.portHandle.store(fd);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return FailOpen(session.portHandle, errno);
    (void)ioctl(fd, TIOCEXCL);
    int32_t code = AtStep(LinkStep::SerialLineSetting);
    if (code == 0) code = MakeTransparent(fd);
    if (code != 0) {
        (void)ioctl(fd, TIOCNXCL);
        return FailOpen(session.portHandle, code);
    }
    return 0;
}

int32_t SerialBytesWaiting(LinkSessionState& session) {
    return DescriptorBytesWaiting(session.portHandle.load());
}

// A port that hung up (a pseudo-terminal's other end closed, a USB adapter pulled out) reads EIO.
int32_t SerialReadSome(LinkSessionState& session, unsigned char* bytes, int32_t size,
                       int32_t& got) {
    const ssize_t read = ::read(session.portHandle.load(), bytes, static_cast<size_t>(size));
    if (read > 0) {
        got = static_cast<int32_t>(read);
        return 0;
    }
    if (read == 0 || errno == EAGAIN || errno == EINTR) return LINK_E_NO_DATA;
    return errno;
}

int32_t SerialReadOne(LinkSessionState& session, unsigned char& byte) {
    int32_t got = 0;
    return SerialReadSome(session, &byte, 1, got);
}

int32_t SerialAwaitBytes(LinkSessionState& session, int32_t timeoutMs) {
    return AwaitReadable(session, session.portHandle.load(), timeoutMs, EIO);
}

int32_t SerialWriteAll(LinkSessionState& session, const unsigned char* bytes, size_t length) {
    const int fd = session.portHandle.load();
    while (length > 0) {
        const ssize_t written = write(fd, bytes, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN) return errno;  // e.g. EIO once the device is gone
            const int32_t ready = AwaitWritable(session, fd, WRITE_TIMEOUT_MS);
            if (ready != 0) return ready;
            continue;
        }
        bytes += written;
        length -= static_cast<size_t>(written);
    }
    return 0;
}

// A write waiting for the line sees the session closing at its next look; nothing to do here.
void SerialShutDown(LinkSessionState&) {}

// The exclusive mode belongs to the line, not to the descriptor: it would outlive the session
// while anything else holds the device, and refuse the next open.
void SerialClose(LinkSessionState& session) {
    const int fd = session.portHandle.load();
    if (fd >= 0) (void)ioctl(fd, TIOCNXCL);
    CloseDescriptor(session.portHandle);
}

}  // namespace

const Transport SerialTransport = {SerialOpen,       SerialBytesWaiting, SerialReadOne,
                                   SerialAwaitBytes, SerialReadSome,     SerialWriteAll,
                                   SerialShutDown,   SerialClose};
