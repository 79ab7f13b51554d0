#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bridge/BrokerMessage.h"
#include "unit/WriteChecks.h"

// The commands a plant's systems send for one unit, on <gateway>/<node>/set, start and stop.
enum class CommandName { Set, Start, Stop };

// "set", "start", "stop": the topic's last level, and the answer's "command".
const char* CommandWord(CommandName name);
std::optional<CommandName> CommandNamed(const std::string& word);

// A command as its payload asks for it.
struct CommandRequest {
    CommandName name = CommandName::Set;
    SettingsWrite write;  // of a set
    std::string refusal;  // why the payload is refused (nothing is then done); empty if taken
};

// The payload read: for set, a JSON object of settings either as `velkorctl settings --json`
// shows them (objects with raw codes, written as `set --from` writes them) or of words as
// `velkorctl set` takes them, each with the keys force and counting; for start and stop, nothing.
CommandRequest ReadCommand(CommandName name, const std::string& payload);

// A command for one unit of a gateway, with what the answer needs of its message (the payload
// aside).
struct GatewayCommand {
    int32_t node = 0;
    CommandRequest request;
    BrokerMessage message;
};
