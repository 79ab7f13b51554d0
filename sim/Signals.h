#pragma once

// SIGINT, SIGTERM and SIGHUP turn into a readable byte on a pipe, so the poll loop ends cleanly
// (and removes the pty link) instead of dying inside a handler. SIGPIPE is ignored.
class SignalPipe {
public:
    SignalPipe() = default;
    ~SignalPipe();
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    bool Install();
    int ReadFd() const { return readFd_; }
    // The signal that arrived, or 0.
    int Take();

private:
    int readFd_ = -1;
};
