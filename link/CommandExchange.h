#pragma once

#include <atomic>
#include <cstdint>

struct LinkSession;

// What a command exchange needs from the window that runs it.
class ExchangeHost {
public:
    // Set while a count request is being written; SendCommand does not send meanwhile.
    virtual std::atomic<int32_t>& CountBusy() = 0;
    // Set by the operator to abort the running wait; cleared by the wait that acts on it.
    virtual std::atomic<int32_t>& AbortRequested() = 0;
    // Ends the busy display after a frame could not be sent.
    virtual void ResetProgress() = 0;

protected:
    ~ExchangeHost() = default;
};

// Formats a command (printf style; parameters as "%c" with the 0x20 offset included), sends it and
// waits for its reply: 0, LINK_E_ABORTED, LINK_E_TIMEOUT or the error of the failed send.
int SendCommand(LinkSession& session, ExchangeHost& host, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Formats and sends a count request without waiting: 0 or the error of the failed send.
int PostCommand(LinkSession& session, ExchangeHost& host, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
