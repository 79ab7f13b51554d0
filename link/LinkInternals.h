#pragma once

// The link's inside, for link/, its tests and the fuzz target: transports, the receive loop, the
// frame functions. The program uses LinkSession.h.

#include <cstddef>
#include <cstdint>

#include "link/LinkSession.h"
#include "link/LinkSessionState.h"

// The state behind a session, for link/ and its tests.
struct LinkAccess {
    static LinkSessionState& Of(LinkSession& session) { return session; }
    static const LinkSessionState& Of(const LinkSession& session) { return session; }
};
inline LinkSessionState& Internals(LinkSession& session) {
    return LinkAccess::Of(session);
}
inline const LinkSessionState& Internals(const LinkSession& session) {
    return LinkAccess::Of(session);
}

// Opens the route and handler already in the session (tests and the fuzz target set them).
int OpenLink(LinkSessionState& session);

// One transport's operations, chosen once per session so that the receive loop and the frame
// writer are written once for both routes. Each returns 0 or the error number of its failure.
struct Transport {
    // Opens the line for session; on failure nothing stays open.
    int32_t (*open)(LinkSessionState& session);
    // Bytes waiting to be read; 0 when the query fails.
    int32_t (*bytesWaiting)(LinkSessionState& session);
    // Reads one byte (ECONNRESET or EIO when the line has ended).
    int32_t (*readOne)(LinkSessionState& session, unsigned char& byte);
    // Sleeps until bytes can be read, the line ended or the session's wake-up signal came: 0,
    // LINK_E_TIMEOUT after `timeoutMs` without any of them (-1: no limit), or the failure.
    int32_t (*awaitBytes)(LinkSessionState& session, int32_t timeoutMs);
    // Reads what is waiting, up to `size` bytes, without blocking: 0 with `got` set,
    // LINK_E_NO_DATA, or how the line ended (ECONNRESET for TCP, EIO or the system's number for a
    // port that hung up or went away).
    int32_t (*readSome)(LinkSessionState& session, unsigned char* bytes, int32_t size,
                        int32_t& got);
    // Writes every byte (a partial write is completed).
    int32_t (*writeAll)(LinkSessionState& session, const unsigned char* bytes, size_t length);
    // Ends every wait of a write under way, before the descriptor is closed.
    void (*shutDown)(LinkSessionState& session);
    // Closes the descriptor; nothing may use it any more.
    void (*close)(LinkSessionState& session);
};

extern const Transport SerialTransport;
extern const Transport TcpTransport;

const Transport& TransportOf(int32_t kind);

// The two openers; 0, or negative with the reason in lastError.
int OpenSerialPort(LinkSessionState& session);
int OpenTcpConnection(LinkSessionState& session);

// Body of the receive thread.
void ReceiveLoop(LinkSessionState& session);
// Takes one waiting byte from the transport; 0, or negative with the reason in lastError
// (LINK_E_NO_DATA when none is waiting).
int ReadByte(LinkSessionState& session, unsigned char& byte);
// Everything the receive thread does with a byte it read while Running: append it to the frame,
// drop an over-long frame (LINK_E_OVERFLOW in lastError), dispatch a frame at its end byte.
void ReceiveByte(LinkSessionState& session, unsigned char byte);

// Sends one command in its frame behind the session's node: 0, or the code of the failure.
// lastError is shared by every thread, so a caller reports the reason of its own failure from
// here.
int32_t SendUnitCommand(const UnitCommand& command, LinkSessionState& session);
// Writes bytes to the transport as they are (a test's malformed frames); 0, or negative with the
// reason in lastError.
int WriteRaw(const char* frame, LinkSessionState& session);
// Consumes the frame in rxBuffer (called by the receive thread after an end byte).
void DispatchFrame(LinkSessionState& session);

// Replies tied to their commands. A sent command that awaits a reply opens an exchange; only a
// reply with its letters in lower case (and, for a session that checks nodes, its node) answers
// it. Returns the exchange's ticket for WithdrawExchange.
uint64_t OpenExchange(LinkSessionState& session, const CommandSpec& command);
// A count request: its reply is taken (in a session that checks nodes) only for this node and
// input index.
void NoteCountRequest(LinkSessionState& session, int32_t index);
// The exchange of a frame that never left, or of a wait that gave up, awaits nothing any more.
void WithdrawExchange(LinkSessionState& session, uint64_t ticket);
void EndExchange(LinkSessionState& session);
// How a complete reply frame in rxBuffer relates to what the session awaits.
enum class ReplyFit { Awaited, Count, Unawaited };
ReplyFit FitOfReply(LinkSessionState& session, uint64_t& ticket);
// Ends the exchange with ticket once its reply was handled; false when it had ended already.
bool AnswerExchange(LinkSessionState& session, uint64_t ticket, bool decoded);
// The line has ended: every wait ends with `code`, and every later send fails with it.
void FailLine(LinkSessionState& session, int32_t code);
// Wakes every thread that waits on the session, to look again at what it waits for: a reply
// taken, the line quiet at open, the receive thread ended, the session closed.
void WakeWaiters(LinkSessionState& session);
