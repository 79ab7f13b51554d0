#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Misbehaviour the simulator can put on the wire, for testing how the program copes.
struct FaultOptions {
    std::set<std::string> silent;       // command letters (upper case) that get no reply
    int delayMs = 0;                    // every reply this late
    int dropEvery = 0;                  // every N-th reply of a connection is lost
    bool garbage = false;               // junk frames before each reply
    int closeAfter = 0;                 // connection dropped after N frames
    bool overflow = false;              // a run without end byte before a connection's first reply
    bool queuedJunk = false;            // stale bytes waiting when a client connects
    std::set<std::string> wrongLength;  // command letters (upper case) whose reply is one byte long
    bool upperEcho = false;             // the command echoed before each reply
};

// What a connection has seen so far, for the faults that count.
struct FaultCounters {
    uint64_t frames = 0;
    uint64_t replies = 0;
    bool overflowSent = false;
};

// Bytes to send, with the word the log shows for them ("reply", "echo", "garbage", ...).
struct OutChunk {
    std::string kind;
    std::string bytes;
};

struct ShapedAnswer {
    std::vector<OutChunk> chunks;  // in sending order
    std::string note;              // why a reply was held back, for the log
    bool closeAfter = false;       // the connection ends once these chunks are out
};

// Applies the faults to the answer of one received frame: `frame` as received (end byte included),
// `letters` its command letters, `reply` the unit's reply if it gives one.
ShapedAnswer ShapeAnswer(const FaultOptions& faults, FaultCounters& counters,
                         const std::string& frame, const std::string& letters,
                         const std::optional<std::string>& reply);

// Fixed byte sequences of the faults, so tests can expect them exactly.
std::string GarbageBytes();
std::string OverflowRun();
std::string QueuedJunk();
// One byte more than the reply carries, put just before its end byte.
std::string WithExtraByte(const std::string& reply);

// Gateway notice "00gq" with a status value (the status character is the value plus 0x20).
std::string NoticeFrame(int status);
