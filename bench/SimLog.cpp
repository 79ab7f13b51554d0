#include "SimLog.h"

#include <fstream>
#include <map>
#include <sstream>

namespace {

// "2025-01-31T13:45:00.123456" as seconds since midnight.
double SecondsOfDay(const std::string& stamp) {
    const size_t t = stamp.find('T');
    if (t == std::string::npos || stamp.size() < t + 9) return 0;
    const int hours = std::stoi(stamp.substr(t + 1, 2));
    const int minutes = std::stoi(stamp.substr(t + 4, 2));
    return hours * 3600.0 + minutes * 60.0 + std::stod(stamp.substr(t + 7));
}

// "tcp#3" gives 3; other channels 0.
int TcpNumber(const std::string& channel) {
    if (channel.rfind("tcp#", 0) != 0) return 0;
    return std::stoi(channel.substr(4));
}

}  // namespace

std::vector<ConnectionTimes> ReadConnections(const std::string& path) {
    std::map<int, ConnectionTimes> byNumber;
    std::ifstream log(path);
    std::string line;
    while (std::getline(log, line)) {
        std::istringstream fields(line);
        std::string stamp, channel, direction, kind, frame;
        fields >> stamp >> channel >> direction >> kind >> frame;
        const int number = TcpNumber(channel);
        if (number == 0) continue;
        ConnectionTimes& times = byNumber[number];
        times.number = number;
        if (direction == "--" && line.find(" connected") != std::string::npos) {
            times.acceptedSeconds = SecondsOfDay(stamp);
        } else if (direction == "TX") {
            times.lastFrameSeconds = SecondsOfDay(stamp);
            // The node digits come first, then the reply letters.
            if (kind == "reply" && frame.compare(2, 2, "pg") == 0) ++times.countReplies;
        }
    }
    std::vector<ConnectionTimes> result;
    for (auto& [number, times] : byNumber)
        result.push_back(times);
    return result;
}
