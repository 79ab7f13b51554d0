#pragma once

#include <sys/types.h>

#include <csignal>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// velkor-sim run as a child process, the way the program's own tests and users start it.
class SimProcess {
public:
    // Starts it with `args`; unless they say otherwise it listens on a free loopback port and logs
    // nothing. Returns once the port line has arrived (the simulator is then ready).
    explicit SimProcess(std::vector<std::string> args = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Started() const { return port_ >= 0; }
    int Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    // Milliseconds from the start to the port line.
    double StartupMs() const { return startupMs_; }
    // Sends `signal` and waits (at most a few seconds) for the exit; the wait status, or -1.
    int Stop(int signal = SIGTERM);

private:
    pid_t pid_ = -1;
    int port_ = -1;
    double startupMs_ = 0;
};

// What a program left when it ended: its exit status (-1 when it did not exit in time or was
// killed by a signal), with standard output and error.
struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};
using SimRun = ProgramRun;

// A program run as a child with its standard output and error on pipes, for tests that signal
// it while it runs.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal);
    // Reads its output to the end and waits for it, killing it when the time runs out.
    ProgramRun Finish(int timeoutMs);

private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
};

// A generous limit for one run of a program under test, sanitizers included.
constexpr int RUN_LIMIT_MS = 30000;

// Runs a program to its end (killed after `timeoutMs`).
ProgramRun RunToEnd(const std::string& program, const std::vector<std::string>& args,
                    int timeoutMs);
// Runs velkor-sim to its end with `args`.
SimRun RunSimToEnd(const std::vector<std::string>& args);

// The test's own end of the wire: a TCP client or an opened serial device (the pty's link).
class WireClient {
public:
    static WireClient Tcp(int port, bool ipv6 = false);
    static WireClient Serial(const std::string& path);
    WireClient(WireClient&& other) noexcept;
    ~WireClient();

    bool Connected() const { return fd_ >= 0; }
    void Send(std::string_view bytes);
    // Sends a command frame: node digits, letters and parameters, then the end byte.
    void SendCommand(std::string_view text);
    // Bytes up to and including the next end byte, or nullopt if none arrives in time.
    std::optional<std::string> ReadFrame(int timeoutMs = 3000);
    // Exactly `count` bytes, or nullopt if they do not arrive in time.
    std::optional<std::string> ReadBytes(size_t count, int timeoutMs = 3000);
    // Sends a command and reads the next frame.
    std::optional<std::string> Exchange(std::string_view text, int timeoutMs = 3000);
    // True when the other side closes or hangs up within the time.
    bool WaitClosed(int timeoutMs = 3000);

private:
    explicit WireClient(int fd, bool socket) : fd_(fd), socket_(socket) {}
    // Reads more into the buffer; false on time-out, end or error.
    bool Fill(int timeoutMs);

    int fd_ = -1;
    bool socket_ = false;
    bool closed_ = false;
    std::string buffered_;
};

// A frame as the wire carries it: text then the end byte.
std::string Framed(std::string_view text);
// Bytes shown as escaped text, for readable failure messages.
std::string Shown(const std::optional<std::string>& bytes);

// A loopback TCP port on which nobody listens.
int ClosedLoopbackPort();

// A fresh path in a private temporary directory that is removed when the test program ends.
std::string TempPath(const std::string& name);
