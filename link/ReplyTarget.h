#pragma once

#include <cstdint>

class LinkSession;
struct PulseConfig;

// Notification posted to the window after a count reply was stored; it carries the input index
// and the count. The window's event type has this number.
constexpr int WM_COUNT_UPDATE = 0x8001;

// The user data of HandleReply: where decoded replies go.
class ReplyTarget {
public:
    // Session whose device state identification replies fill.
    virtual LinkSession& Link() = 0;
    // The held settings, counts and counting state of the connected unit.
    virtual PulseConfig& HeldConfig() = 0;
    // Posts WM_COUNT_UPDATE with the input index and the count stored; must not block.
    virtual void PostCountUpdate(int32_t index, int32_t value) = 0;
    // A count reply for input `index` came with another length: nothing was stored. The window
    // passes over it as over any reply of the wrong length; velkorctl fails the node.
    virtual void NoteUndecodedCount(int32_t /*index*/) {}

protected:
    ~ReplyTarget() = default;
};
