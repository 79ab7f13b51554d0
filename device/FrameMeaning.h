#pragma once

#include <cstdint>
#include <string>

// What a frame means in words, for the frame trace: each command ("read count of DI2") and each
// reply ("count of DI2: -5"), the gateway's notice with its status. `frame` is the whole frame as
// the wire carries it, node digits and end byte included (the last byte is taken
// for the end byte without looking). Empty for a frame the program does not
// know or whose length does not carry what its letters announce.
std::string CommandMeaning(const unsigned char* frame, int32_t length);
std::string ReplyMeaning(const unsigned char* frame, int32_t length);
