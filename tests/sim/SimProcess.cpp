#include "SimProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

extern char** environ;

namespace {

constexpr char kEnd = static_cast<char>(0xC8);

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return std::max<int>(0, int(left.count()));
}

bool HasOption(const std::vector<std::string>& args, const std::string& name) {
    return std::any_of(args.begin(), args.end(), [&](const std::string& a) {
        return a == name || a.rfind(name + "=", 0) == 0;
    });
}

// Spawns a program with its standard output (and optionally error) on pipes.
pid_t Spawn(const std::string& program, const std::vector<std::string>& args, int* outFd,
            int* errFd) {
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (errFd != nullptr) posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    *outFd = out[0];
    if (errFd != nullptr)
        *errFd = err[0];
    else
        ::close(err[0]);
    return pid;
}

// Reads until end of file or the deadline.
std::string Drain(int fd, Clock::time_point deadline) {
    std::string text;
    char buffer[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, RemainingMs(deadline)) <= 0) break;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, size_t(n));
    }
    return text;
}

int WaitExit(pid_t pid, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return status;
        if (Clock::now() > deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace

SimProcess::SimProcess(std::vector<std::string> args) {
    if (!HasOption(args, "--listen")) args.insert(args.begin(), {"--listen", "127.0.0.1:0"});
    if (!HasOption(args, "--log")) args.push_back("--quiet");
    const auto start = Clock::now();
    int outFd = -1;
    // The simulator ends with this process even when it is cut short (a sanitizer's report, a
    // time limit): it inherits the test runner's standard error, and an orphan holding it would
    // keep the runner waiting.
    args.insert(args.begin(), {"--pdeathsig", "KILL", "--", VELKOR_SIM_PATH});
    pid_ = Spawn("/usr/bin/setpriv", args, &outFd, nullptr);
    if (pid_ < 0) {
        ADD_FAILURE() << "cannot start " << VELKOR_SIM_PATH;
        return;
    }
    // The first line of standard output is the port; read it byte by byte up to the newline.
    std::string line;
    const auto deadline = start + std::chrono::seconds(5);
    char c = 0;
    for (;;) {
        pollfd p{outFd, POLLIN, 0};
        if (::poll(&p, 1, RemainingMs(deadline)) <= 0 || ::read(outFd, &c, 1) != 1 || c == '\n')
            break;
        line += c;
    }
    ::close(outFd);
    if (c != '\n' || line.empty()) {
        ADD_FAILURE() << "velkor-sim gave no port line, got '" << line << "'";
        return;
    }
    port_ = std::atoi(line.c_str());
    startupMs_ = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

SimProcess::~SimProcess() {
    if (pid_ > 0) Stop(SIGTERM);
}

int SimProcess::Stop(int signal) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, signal);
    int status = WaitExit(pid_, 5000);
    if (status == -1) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        status = -1;
    }
    pid_ = -1;
    return status;
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    pid_ = Spawn(program, args, &outFd_, &errFd_);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) Finish(0);
}

void ChildProcess::Signal(int signal) {
    if (pid_ > 0) ::kill(pid_, signal);
}

ProgramRun ChildProcess::Finish(int timeoutMs) {
    ProgramRun run;
    if (pid_ <= 0) return run;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    run.out = Drain(outFd_, deadline);
    run.err = Drain(errFd_, deadline);
    ::close(outFd_);
    ::close(errFd_);
    int status = WaitExit(pid_, RemainingMs(deadline));
    if (status == -1) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        status = -1;
    }
    pid_ = -1;
    run.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

ProgramRun RunToEnd(const std::string& program, const std::vector<std::string>& args,
                    int timeoutMs) {
    return ChildProcess(program, args).Finish(timeoutMs);
}

SimRun RunSimToEnd(const std::vector<std::string>& args) {
    return RunToEnd(VELKOR_SIM_PATH, args, 5000);
}

WireClient WireClient::Tcp(int port, bool ipv6) {
    const int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sockaddr_in6 address6{};
    address6.sin6_family = AF_INET6;
    address6.sin6_port = htons(uint16_t(port));
    address6.sin6_addr = in6addr_loopback;
    const int rc = ipv6 ? ::connect(fd, reinterpret_cast<sockaddr*>(&address6), sizeof address6)
                        : ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (rc != 0) {
        ::close(fd);
        return WireClient(-1, true);
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return WireClient(fd, true);
}

WireClient WireClient::Serial(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return WireClient(-1, false);
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    return WireClient(fd, false);
}

WireClient::WireClient(WireClient&& other) noexcept
    : fd_(other.fd_),
      socket_(other.socket_),
      closed_(other.closed_),
      buffered_(std::move(other.buffered_)) {
    other.fd_ = -1;
}

WireClient::~WireClient() {
    if (fd_ >= 0) ::close(fd_);
}

void WireClient::Send(std::string_view bytes) {
    size_t done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t n = socket_
                              ? ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                              : ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += size_t(n);
    }
}

void WireClient::SendCommand(std::string_view text) {
    Send(Framed(text));
}

bool WireClient::Fill(int timeoutMs) {
    if (fd_ < 0 || closed_) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n <= 0) {
        if (n == 0 || errno != EINTR) closed_ = true;  // EIO: the pty was hung up
        return false;
    }
    buffered_.append(buffer, size_t(n));
    return true;
}

std::optional<std::string> WireClient::ReadFrame(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto end = buffered_.find(kEnd);
        if (end != std::string::npos) {
            std::string frame = buffered_.substr(0, end + 1);
            buffered_.erase(0, end + 1);
            return frame;
        }
        if (!Fill(RemainingMs(deadline))) return std::nullopt;
    }
}

std::optional<std::string> WireClient::ReadBytes(size_t count, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (buffered_.size() < count)
        if (!Fill(RemainingMs(deadline))) return std::nullopt;
    std::string bytes = buffered_.substr(0, count);
    buffered_.erase(0, count);
    return bytes;
}

std::optional<std::string> WireClient::Exchange(std::string_view text, int timeoutMs) {
    SendCommand(text);
    return ReadFrame(timeoutMs);
}

bool WireClient::WaitClosed(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!closed_) {
        if (RemainingMs(deadline) == 0) return false;
        Fill(RemainingMs(deadline));
    }
    return true;
}

std::string Framed(std::string_view text) {
    return std::string(text) + kEnd;
}

std::string Shown(const std::optional<std::string>& bytes) {
    if (!bytes) return "(nothing)";
    std::string text;
    for (char c : *bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b > 0x20 && b < 0x7F && b != '\\') {
            text += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
            text += escaped;
        }
    }
    return text;
}

std::string TempPath(const std::string& name) {
    // One private directory per test program, removed with everything in it at exit.
    struct TempDir {
        std::string path;
        TempDir() {
            char pattern[] = "/tmp/velkor-sim-test-XXXXXX";
            const char* made = ::mkdtemp(pattern);
            path = made ? made : "/tmp";
        }
        ~TempDir() {
            if (path != "/tmp") std::filesystem::remove_all(path);
        }
    };
    static const TempDir dir;
    static int serial = 0;
    return dir.path + "/" + std::to_string(++serial) + "-" + name;
}

int ClosedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}
