#include "PtyPort.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace {

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

std::string ReadLink(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    return n < 0 ? std::string() : std::string(target, size_t(n));
}

void CloseBoth(int master, int slave) {
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
}

}  // namespace

PtyPort::~PtyPort() {
    RemoveLink();
    CloseBoth(master_, slave_);
}

// A new pty is made and linked before the old one is closed, so the link never dangles: a client
// that sees the hang-up finds the new device behind the link at once.
std::string PtyPort::Open() {
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return SystemError("cannot create a pseudo-terminal");
    char name[PATH_MAX];
    if (::ptsname_r(master, name, sizeof name) != 0) {
        const std::string error = SystemError("ptsname");
        CloseBoth(master, slave);
        return error;
    }
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);

    if (std::string error = PointLink(name); !error.empty()) {
        CloseBoth(master, slave);
        return error;
    }
    CloseBoth(master_, slave_);
    master_ = master;
    slave_ = slave;
    slaveName_ = name;
    return {};
}

int PtyPort::Unread() const {
    int count = 0;
    return slave_ >= 0 && ::ioctl(slave_, FIONREAD, &count) == 0 ? count : 0;
}

// Replaces the link in one rename, so a client never finds it missing; anything at that path
// that is not a symbolic link is left alone.
std::string PtyPort::PointLink(const std::string& target) {
    struct stat existing {};
    if (::lstat(link_.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode))
        return link_ + " exists and is not a symbolic link";
    const std::string temporary = link_ + ".new" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0)
        return SystemError("cannot create " + temporary);
    if (::rename(temporary.c_str(), link_.c_str()) != 0) {
        const std::string error = SystemError("cannot create " + link_);
        ::unlink(temporary.c_str());
        return error;
    }
    return {};
}

void PtyPort::RemoveLink() {
    if (!slaveName_.empty() && ReadLink(link_) == slaveName_) ::unlink(link_.c_str());
}
