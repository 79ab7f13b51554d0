#pragma once

// The link's words shared by its state and its interface.

#include <cstdint>

// Route of a link; any non-zero kind is treated as TCP.
enum LinkKind : int32_t { Serial = 0, Tcp = 1 };

// Life of a link: the receive thread exists while Starting, Running or Stopping.
enum LinkState : int32_t { Idle = 0, Starting = 1, Running = 2, Stopping = 3 };

// Address families a TCP route resolves its host to: the window's gateway is an IPv4 address;
// the command line takes whatever the name resolves to, trying each address in turn.
enum class AddressFamily : int32_t { Ipv4 = 0, Any = 1 };

// One frame, sent or received: at most 127 bytes, end byte included, and one byte more (the
// terminating zero of a command, the overflow byte of a reply without an end byte).
constexpr int FRAME_BUFFER_SIZE = 128;

// Results of link operations: 0 for success, a platform error number (errno or the Win32 and
// Windows Sockets numbers, getaddrinfo) or one
// of these link codes.
constexpr int32_t LINK_E_ABORTED = 20000;
constexpr int32_t LINK_E_NOT_RUNNING = 20001;
constexpr int32_t LINK_E_ALREADY_OPEN = 20002;
constexpr int32_t LINK_E_TIMEOUT = 20003;
constexpr int32_t LINK_E_NO_DATA = 20004;
constexpr int32_t LINK_E_COMMAND = 20005;
constexpr int32_t LINK_E_OVERFLOW = 20006;

// Called by the receive thread for every reply frame: user data, the first reply letter and the
// reply length (end byte included). Non-zero when the frame is the answer to a command. It must
// not block: CloseLink waits for the call in progress.
using ResponseHandler = int (*)(void* userData, const unsigned char* reply, int32_t length);
