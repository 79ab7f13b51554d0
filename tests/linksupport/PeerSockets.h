#pragma once

#include <cstddef>
#include <cstdint>

// The few socket calls the test peer makes, one file per system (posix/PeerSockets.cpp,
// win32/PeerSockets.cpp). A socket is its integer value; -1 is none.
using PeerSocket = intptr_t;
constexpr PeerSocket NO_PEER_SOCKET = -1;

// A listening socket on 127.0.0.1 at a free port, which `port` receives; -1 on failure.
PeerSocket ListenOnLoopback(int backlog, uint16_t& port);
// A connection to 127.0.0.1:port; -1 on failure.
PeerSocket ConnectToLoopback(uint16_t port);
// The next connection on a listener; -1 on failure.
PeerSocket AcceptOn(PeerSocket listener);
// Whether the socket has something to read (or has been closed) within the time.
bool ReadableWithin(PeerSocket socket, int timeoutMs);
// Bytes sent (a peer that closed gives an error, not the end of the program); -1 on failure.
long SendSome(PeerSocket socket, const unsigned char* bytes, size_t length);
// 1 with a byte, 0 at end of file, -1 on failure.
long ReceiveOne(PeerSocket socket, unsigned char& byte);
void CloseSocket(PeerSocket socket);
