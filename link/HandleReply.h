#pragma once

#include <cstdint>

class ReplyTarget;

// The window's response handler; userData is a ReplyTarget. 1 when the frame is one of the
// replies of the catalogue (whatever its length from 3 up), 0 otherwise.
int HandleReply(void* userData, const unsigned char* reply, int32_t length);

void DecodeIdentification(ReplyTarget& target, const unsigned char* reply, int32_t length);
void DecodeCountReply(ReplyTarget& target, const unsigned char* reply);
void DecodeSettingsReply(ReplyTarget& target, const unsigned char* reply);
