#pragma once

#include <string>

// The gateway's listening TCP socket.
class TcpListener {
public:
    TcpListener() = default;
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Binds and listens; an error text, empty on success.
    std::string Open(const std::string& host, int port);
    int Fd() const { return fd_; }
    int Port() const { return port_; }
    // A connected non-blocking client socket or -1; *peer describes the client.
    int Accept(std::string* peer);

private:
    int fd_ = -1;
    int port_ = 0;
};
