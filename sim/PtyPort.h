#pragma once

#include <string>

// The serial side of the simulator: a pseudo-terminal in raw 8-bit mode whose slave device is
// reachable under a fixed symbolic link, the way a USB serial port is reached by its path.
class PtyPort {
public:
    explicit PtyPort(std::string link) : link_(std::move(link)) {}
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // Creates the pty and points the link at it; an error text, empty on success. Called again,
    // it hangs up the previous pty (a client still holding it reads EIO) after moving the link to
    // the new one, like a USB adapter pulled out and plugged in again.
    std::string Open();

    int MasterFd() const { return master_; }
    // Bytes written to the master that the client has not read yet.
    int Unread() const;
    const std::string& SlaveName() const { return slaveName_; }
    const std::string& Link() const { return link_; }

private:
    std::string PointLink(const std::string& target);
    void RemoveLink();

    std::string link_;
    std::string slaveName_;
    int master_ = -1;
    // Held open so that the master never sees a hang-up when a client closes the slave.
    int slave_ = -1;
};
