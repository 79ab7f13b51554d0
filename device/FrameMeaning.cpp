#include "device/FrameMeaning.h"

#include "device/CommandTable.h"
#include "device/ReplyDecoding.h"

namespace {

// Command frames: node digits, two letters, parameters, end byte.
constexpr int32_t BARE_COMMAND_LENGTH = NODE_DIGITS + 3;

}  // namespace

std::string CommandMeaning(const unsigned char* frame, int32_t length) {
    if (length < BARE_COMMAND_LENGTH) return "";
    const unsigned char* letters = frame + NODE_DIGITS;
    const CommandSpec* command = CommandOfLetters(letters[0], letters[1]);
    if (command == nullptr || length - BARE_COMMAND_LENGTH != command->parameters) return "";
    return command->commandWords(letters + 2);
}

std::string ReplyMeaning(const unsigned char* frame, int32_t length) {
    if (IsGatewayNotice(frame, length)) {
        return "gateway notice, status " + std::to_string(GatewayStatusOf(frame));
    }
    if (length < NODE_DIGITS + MIN_REPLY_LENGTH) return "";
    const unsigned char* reply = frame + NODE_DIGITS;
    const int32_t replyLength = length - NODE_DIGITS;
    const CommandSpec* command = CommandOfReply(reply[0], reply[1]);
    if (command == nullptr || !ReplyDecodes(*command, replyLength)) return "";
    return command->replyWords(reply, replyLength);
}
