#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "cli/Options.h"
#include "device/PulseConfig.h"
#include "link/LinkSession.h"
#include "link/ReplyTarget.h"

// What identification tells about a unit.
struct UnitIdentity {
    int32_t node = 0;
    std::string model;
    int32_t modelCode = 0;
    int32_t subCode = 0;
    int32_t unitId = 0;
    int32_t inputCount = 0;
};

// The command line's end of one link: it owns the session, answers the exchange's questions
// (count request under way, abort) and takes the decoded replies of the unit addressed last.
class UnitClient final : public ExchangeHost, public ReplyTarget {
public:
    UnitClient(const Route& route, int32_t replyWaitMs);
    ~UnitClient();
    UnitClient(const UnitClient&) = delete;
    UnitClient& operator=(const UnitClient&) = delete;

    // Opens the link: 0, or the code of the failure.
    int32_t Open();
    // The operator's text of a result code.
    std::string ErrorText(int32_t code) const;

    // Addresses `node` from now on; what was held of the previous unit is forgotten.
    void SelectNode(int32_t node);
    // "MD": 0 and the identity filled in, or the code of the failure.
    int32_t Identify(UnitIdentity& identity);

    // Count replies that arrived since the last ClearArrivals, one bit per input index.
    void ClearArrivals();
    uint32_t Arrivals() const;

    LinkSession& Link() override { return session_; }
    PulseConfig& HeldConfig() override { return held_; }
    void PostCountUpdate(int32_t index, int32_t value) override;

    std::atomic<int32_t>& CountBusy() override { return countBusy_; }
    std::atomic<int32_t>& AbortRequested() override;
    void ResetProgress() override {}

private:
    LinkSession session_;
    PulseConfig held_;
    std::atomic<int32_t> countBusy_{0};
    std::atomic<uint32_t> arrivals_{0};
};
