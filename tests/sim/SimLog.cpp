#include "SimLog.h"

#include <sstream>

#include "SimProcess.h"

std::string Command(std::string_view letters, std::initializer_list<int> parameters) {
    std::string command(letters);
    for (int parameter : parameters)
        command += static_cast<char>(parameter);
    return command;
}

std::string CommandOf(const std::string& frame) {
    // Two node digits in front, the end byte behind.
    if (frame.size() < 3) return frame;
    return frame.substr(2, frame.size() - 3);
}

namespace {

// The bytes of the "[30 31 4D 44 C8]" part of a log line.
std::string BytesOfHex(const std::string& hex) {
    std::string bytes;
    std::istringstream in(hex);
    std::string pair;
    while (in >> pair)
        bytes += static_cast<char>(std::stoi(pair, nullptr, 16));
    return bytes;
}

}  // namespace

std::vector<std::string> ReceivedFramesOfLog(const std::string& logText) {
    std::vector<std::string> frames;
    std::istringstream lines(logText);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string time, channel, direction;
        fields >> time >> channel >> direction;
        if (direction != "RX") continue;
        const auto open = line.find('[');
        const auto close = line.rfind(']');
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        frames.push_back(BytesOfHex(line.substr(open + 1, close - open - 1)));
    }
    return frames;
}

std::string ShownCommands(const std::vector<std::string>& commands) {
    std::string text = "{";
    for (const std::string& command : commands)
        text += " " + Shown(command);
    return text + " }";
}
