#pragma once

// Frames as velkor-sim logs them, for tests that compare what a front end sent.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// A command as the unit sees it, without node digits and end byte: the letters followed by one
// character per parameter (values given with their 0x20 offset, e.g. Command("PH", {0x21})).
std::string Command(std::string_view letters, std::initializer_list<int> parameters = {});
// The node digits and the end byte removed from a frame as the wire carries it.
std::string CommandOf(const std::string& frame);
// The received frames of a velkor-sim log ("TIME CHANNEL RX FRAME [HEX]" lines), as bytes.
std::vector<std::string> ReceivedFramesOfLog(const std::string& logText);
// The frames velkor-sim sent as replies and gateway notices ("TIME CHANNEL TX KIND FRAME [HEX]"
// lines of kind reply or notice), as bytes.
std::vector<std::string> RepliesAndNoticesOfLog(const std::string& logText);
// The frames of a frame trace ("TIME DIR NODE TEXT [HEX] MEANING" lines) in `direction`, TX or RX.
std::vector<std::string> TracedFrames(const std::string& traceText, const std::string& direction);
// The whole text of a file; empty when it cannot be read.
std::string FileText(const std::string& path);
// Commands shown as escaped text, for readable failure messages.
std::string ShownCommands(const std::vector<std::string>& commands);
