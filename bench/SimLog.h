#pragma once

#include <string>
#include <vector>

// What the simulator's frame log says about the connections made to it.
struct ConnectionTimes {
    int number = 0;               // tcp#N
    double acceptedSeconds = 0;   // time of day of "client ... connected"
    double lastFrameSeconds = 0;  // time of day of the last frame sent on it
    int countReplies = 0;         // "pg" replies sent on it
};

// Every TCP connection in the log at `path`, in order.
std::vector<ConnectionTimes> ReadConnections(const std::string& path);
