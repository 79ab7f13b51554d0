#pragma once

#include <array>
#include <atomic>
#include <climits>
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

// A reply ended its wait but did not carry what its letters announce: a failure of the node, not
// a record of zeros. No link or system code has this value.
constexpr int32_t MALFORMED_REPLY = INT32_MIN;

// A failed exchange: its code and the text shown for it.
struct Failure {
    int32_t code = 0;
    std::string text;
    bool Malformed() const { return code == MALFORMED_REPLY; }
};

// The command line's end of one link over which several units are addressed: it owns the
// session, answers the exchange's questions (count request under way, abort) and takes the
// decoded replies of the unit addressed last, and nothing of any other.
class UnitClient final : public ExchangeHost, public ReplyTarget {
public:
    UnitClient(const Route& route, int32_t replyWaitMs);
    ~UnitClient();
    UnitClient(const UnitClient&) = delete;
    UnitClient& operator=(const UnitClient&) = delete;

    // Opens the link: 0, or the code of the failure. Close ends it, so that it can be opened again.
    int32_t Open();
    void Close();
    // The text of a result code: the window's, followed by the system's reason for its errors.
    std::string ErrorText(int32_t code) const;
    Failure FailureOf(int32_t code) const { return {code, ErrorText(code)}; }

    // Addresses `node` from now on; what was held of the previous unit is forgotten.
    void SelectNode(int32_t node);
    // Sends a command (letters and parameter characters) and waits for its reply: 0, the link's
    // code, or MALFORMED_REPLY when the reply that ended the wait was not decoded.
    int32_t Exchange(const std::string& command);
    // "MD": 0 and the identity filled in, or the code of the failure.
    int32_t Identify(UnitIdentity& identity);
    // "PY", "PH" for each input, "PP": 0 and the held settings, or the code of the failure.
    int32_t ReadSettings(int32_t inputCount);
    // The flags byte of the last "py", as it came.
    unsigned char HeldFlags() const { return static_cast<unsigned char>(flags_.load()); }

    // Requests the counts of `indexes` (a bit per input index) and waits for every one of them
    // up to the reply wait: 0 and the counts in `counts`, or the code of the failure.
    int32_t ReadCounts(uint32_t indexes, std::array<int32_t, MAX_INPUTS>& counts);

    LinkSession& Link() override { return session_; }
    PulseConfig& HeldConfig() override { return held_; }
    void PostCountUpdate(int32_t index, int32_t value) override;
    void NoteUndecodedCount(int32_t index) override;

    std::atomic<int32_t>& CountBusy() override { return countBusy_; }
    std::atomic<int32_t>& AbortRequested() override;
    void ResetProgress() override {}

private:
    static int Handle(void* userData, const unsigned char* reply, int32_t length);

    LinkSession session_;
    int32_t replyWaitMs_;
    PulseConfig held_;
    std::atomic<int32_t> countBusy_{0};
    std::atomic<uint32_t> arrivals_{0};
    std::atomic<uint32_t> undecoded_{0};  // count replies of these indexes came malformed
    std::array<std::atomic<int32_t>, MAX_INPUTS> counts_{};
    std::atomic<int32_t> flags_{0};
};
