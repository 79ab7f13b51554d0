#pragma once

#include <cstdint>

// Results of link operations: 0 for success, a platform error number (errno, getaddrinfo) or one
// of these link codes.
constexpr int32_t LINK_E_ABORTED = 20000;
constexpr int32_t LINK_E_NOT_RUNNING = 20001;
constexpr int32_t LINK_E_ALREADY_OPEN = 20002;
constexpr int32_t LINK_E_TIMEOUT = 20003;
constexpr int32_t LINK_E_NO_DATA = 20004;
constexpr int32_t LINK_E_COMMAND = 20005;
constexpr int32_t LINK_E_OVERFLOW = 20006;

struct LinkSession;

// Operator text of a result code: "通信エラー : <code>", followed for link codes by their short
// text. -1 stands for the session's last error. The text lives in a buffer of the calling thread
// that its next call overwrites.
const char* LinkErrorText(int32_t code, const LinkSession& session);
