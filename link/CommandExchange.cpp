#include <chrono>
#include <cstdarg>
#include <cstdio>

#include "link/LinkInternals.h"
#include "link/LinkTiming.h"
#include "link/TraceHooks.h"

namespace {

constexpr size_t COMMAND_TEXT_SIZE = 4096;

// The caller's command followed by the end byte; false when it does not fit.
bool FormatCommand(char (&text)[COMMAND_TEXT_SIZE], const char* format, va_list args) {
    const int length = std::vsnprintf(text, sizeof text - 1, format, args);
    if (length < 0 || static_cast<size_t>(length) >= sizeof text - 2) return false;
    text[length] = static_cast<char>(FRAME_END);
    text[length + 1] = '\0';
    return true;
}

// Formats and sends; 0 or the code of the failure, which is also the session's last error.
int32_t FormatAndSend(LinkSession& session, const char* format, va_list args) {
    char text[COMMAND_TEXT_SIZE];
    const int32_t code =
        FormatCommand(text, format, args) ? SendCommandText(text, session) : LINK_E_COMMAND;
    session.lastError.store(code);
    return code;
}

// One pass of the reply wait: a sleep that only the end of the line cuts short.
void ReplyPass(LinkSession& session) {
    std::unique_lock<std::mutex> lock(session.waitMutex);
    session.waitWake.wait_for(lock, std::chrono::milliseconds(session.timing.replyPollMs.load()),
                              [&] { return session.lineFailure.load() != 0; });
}

// The code of a line that ended under the wait, which then awaits nothing more; 0 otherwise.
int32_t LineEnded(LinkSession& session) {
    const int32_t failure = session.lineFailure.load();
    if (failure == 0) return 0;
    EndExchange(session);
    session.lastError.store(failure);
    return failure;
}

// Waits up to 100 passes of 100 ms for its reply. The abort is looked at before the counter, so
// an abort wins over a reply that came in during the same sleep; a line that ended ends the wait
// at once with its code.
int32_t AwaitReply(LinkSession& session, ExchangeHost& host) {
    const int32_t passes = session.timing.replyPolls.load();
    for (int32_t pass = 0; pass < passes; ++pass) {
        if (host.AbortRequested().exchange(0) != 0) return LINK_E_ABORTED;
        // Acquire: pairs with the release of the receive thread, so the reply's stores are seen.
        if (session.pendingReplies.load(std::memory_order_acquire) < 1) return 0;
        if (const int32_t failure = LineEnded(session)) return failure;
        ReplyPass(session);
    }
    if (const int32_t failure = LineEnded(session)) return failure;
    EndExchange(session);
    TraceFailure(session, session.node, TraceKind::ReplyTimeout, LINK_E_TIMEOUT);
    return LINK_E_TIMEOUT;
}

}  // namespace

int SendCommand(LinkSession& session, ExchangeHost& host, const char* format, ...) {
    while (host.CountBusy().load() != 0)
        SleepMs(session.timing.countBusyPollMs.load());
    va_list args;
    va_start(args, format);
    const int32_t sent = FormatAndSend(session, format, args);
    va_end(args);
    if (sent != 0) {
        host.ResetProgress();  // a frame that never left ends the busy display
        return sent;
    }
    return AwaitReply(session, host);
}

int PostCommand(LinkSession& session, ExchangeHost& host, const char* format, ...) {
    host.CountBusy().store(1);
    va_list args;
    va_start(args, format);
    const int32_t sent = FormatAndSend(session, format, args);
    va_end(args);
    host.CountBusy().store(0);
    if (sent != 0) host.ResetProgress();
    return sent;
}
