#pragma once

#include <cstddef>
#include <cstdint>

struct LinkSession;

// One transport's operations, chosen once per session so that the receive loop and the frame
// writer are written once for both routes. Failing operations return the platform error number.
struct Transport {
    int (*open)(LinkSession& session);              // 0, or negative with the reason in lastError
    int32_t (*bytesWaiting)(LinkSession& session);  // 0 when the query fails
    // 0 when a byte was read, else the error number (LINK_E_ABORTED when the peer closed).
    int32_t (*readOne)(LinkSession& session, unsigned char& byte);
    // Writes every byte (a partial write is completed): 0 or the error number.
    int32_t (*writeAll)(LinkSession& session, const unsigned char* bytes, size_t length);
    void (*close)(LinkSession& session);
};

extern const Transport SerialTransport;
extern const Transport TcpTransport;

const Transport& TransportOf(int32_t kind);
