#include "Signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace {

int gWriteFd = -1;

void OnSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] ssize_t n = ::write(gWriteFd, &byte, 1);
    errno = saved;
}

}  // namespace

SignalPipe::~SignalPipe() {
    if (readFd_ >= 0) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGHUP, SIG_DFL);
        ::close(readFd_);
        ::close(gWriteFd);
        gWriteFd = -1;
    }
}

bool SignalPipe::Install() {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    readFd_ = fds[0];
    gWriteFd = fds[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

int SignalPipe::Take() {
    char byte = 0;
    return ::read(readFd_, &byte, 1) == 1 ? static_cast<unsigned char>(byte) : 0;
}
