#pragma once

#include <cstddef>
#include <cstdint>

struct LinkSession;

// End byte of every command and reply frame.
constexpr unsigned char FRAME_END = 0xC8;

// A command frame is at most 127 bytes: two node digits and at most 125 bytes of command text
// (letters, parameters and the end byte).
constexpr size_t MAX_COMMAND_TEXT = 125;
constexpr size_t FRAME_BUFFER_SIZE = 128;

// Sends one command (zero-terminated: letters, parameters, end byte) behind the node digits.
// 0 or negative with the reason in lastError, and also in *error (lastError is shared by every
// thread, so a caller that reports the reason takes it from there).
int SendFrame(const char* command, LinkSession& session, int32_t* error = nullptr);
// Writes a complete zero-terminated frame to the transport; results as SendFrame.
int WriteRaw(const char* frame, LinkSession& session, int32_t* error = nullptr);
// Consumes the frame in rxBuffer (called by the receive thread after an end byte).
void DispatchFrame(LinkSession& session);
