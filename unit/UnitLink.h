#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "device/PulseConfig.h"
#include "link/LinkSession.h"
#include "link/ReplyTarget.h"
#include "unit/UnitProtocol.h"

// A front end's end of one link over which several units are addressed, one after the other
// (velkorctl, the bridge): it owns the session, answers the exchange's questions (count request
// under way, abort) and takes the decoded replies of the unit addressed last, and nothing of any
// other. A reply that decodes nothing fails as malformed.
class UnitLink : public ExchangeHost, public ReplyTarget {
public:
    // `abort` ends the exchange under way (and is consumed by it); `cancelled` ends an opening
    // under way (looked at once a poll).
    UnitLink(const LinkRoute& route, int32_t replyWaitMs, std::atomic<int32_t>& abort,
             std::function<bool()> cancelled);
    ~UnitLink();
    UnitLink(const UnitLink&) = delete;
    UnitLink& operator=(const UnitLink&) = delete;

    // Opens the link (OpenFailure tells why it did not). Close ends it, so that it can be opened
    // again.
    bool Open();
    void Close();
    UnitFailure OpenFailure() const { return FailureOfCode(-1, session_); }

    // Addresses `node` from now on; what was held of the previous unit is forgotten.
    void SelectNode(int32_t node);
    Result<UnitIdentity> Identify() { return protocol_.Identify(); }
    Result<Done> ReadSettings(int32_t inputCount);
    Result<Done> Write(std::vector<PlannedFrame>& frames) { return protocol_.Write(frames); }
    Result<Done> StartStop(bool start) { return protocol_.StartStop(start); }
    // The counts of `indexes` (a bit per input index), each waited for up to the reply wait.
    Result<std::array<int32_t, MAX_INPUTS>> ReadCounts(uint32_t indexes) {
        return protocol_.ReadCounts(indexes, arrivals_, replyWaitMs_);
    }
    // The flags byte of the last "py", as it came.
    unsigned char HeldFlags() const { return static_cast<unsigned char>(flags_.load()); }

    LinkSession& Link() override { return session_; }
    PulseConfig& HeldConfig() override { return held_; }
    void PostCountUpdate(int32_t index, int32_t value) override;
    void NoteUndecodedCount(int32_t index) override;

    std::atomic<int32_t>& CountBusy() override { return countBusy_; }
    std::atomic<int32_t>& AbortRequested() override { return abort_; }
    void ResetProgress() override {}

private:
    static int Handle(void* userData, const unsigned char* reply, int32_t length);

    LinkRoute route_;
    LinkSession session_;
    int32_t replyWaitMs_;
    std::atomic<int32_t>& abort_;
    std::function<bool()> cancelled_;
    UnitProtocol protocol_{session_, *this, MalformedReplies::Fail};
    PulseConfig held_;
    std::atomic<int32_t> countBusy_{0};
    CountArrivals arrivals_;
    std::atomic<int32_t> flags_{0};
};
