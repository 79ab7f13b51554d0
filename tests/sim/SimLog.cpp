#include "SimLog.h"

#include <fstream>
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

// The frames of the lines whose leading fields `wanted` accepts, from their "[HEX]" part.
template <typename Wanted>
std::vector<std::string> FramesOfLines(const std::string& text, size_t fieldCount, Wanted wanted) {
    std::vector<std::string> frames;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::vector<std::string> fields(fieldCount);
        for (std::string& field : fields)
            in >> field;
        // A frame's text never holds a blank, so the first " [" opens its bytes.
        const size_t open = line.find(" [");
        const size_t close = line.find(']', open);
        if (wanted(fields) && open != std::string::npos && close != std::string::npos)
            frames.push_back(BytesOfHex(line.substr(open + 2, close - open - 2)));
    }
    return frames;
}

}  // namespace

std::vector<std::string> ReceivedFramesOfLog(const std::string& logText) {
    return FramesOfLines(logText, 3, [](const auto& f) { return f[2] == "RX"; });
}

std::vector<std::string> RepliesAndNoticesOfLog(const std::string& logText) {
    return FramesOfLines(logText, 4, [](const auto& f) {
        return f[2] == "TX" && (f[3] == "reply" || f[3] == "notice");
    });
}

std::vector<std::string> TracedFrames(const std::string& traceText, const std::string& direction) {
    return FramesOfLines(traceText, 2, [&](const auto& f) { return f[1] == direction; });
}

std::string FileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ShownCommands(const std::vector<std::string>& commands) {
    std::string text = "{";
    for (const std::string& command : commands)
        text += " " + Shown(command);
    return text + " }";
}
