#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/LinkSession.h"

// The words in which a front end names where its units are: a gateway "ADDRESS[:PORT]" (IPv6 in
// brackets, the port 10003 unless given) and a list of nodes "1-5,7".

// What can be wrong with a gateway address.
enum class AddressFault { None, Malformed, NoAddress, NoPort, BadPort };

// Fills the route's host and service from `text` (the port 10003 unless given), or says what is
// wrong with it.
AddressFault ParseGatewayAddress(const std::string& text, LinkRoute& route);
// The fault in words, after the name of what gave the address: "no address in '...'".
std::string AddressFaultText(AddressFault fault, const std::string& text, const LinkRoute& route);

// Node numbers from "7", "1-5,7" or "0-254", each once, in the order given; nothing for a
// malformed list or a node out of range.
std::optional<std::vector<int32_t>> ParseNodeList(const std::string& text);
