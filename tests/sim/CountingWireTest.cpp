// Counting as the program sees it over the wire, with a high pulse rate so that runs stay short.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "SimProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t kRate = 1000;

std::string NodeDigits(int node) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", node);
    return digits;
}

// The pulses a run can have received: the simulator reads its clock between our sending a "PS"
// and our receiving its "ps", so the run's length lies between these bounds.
struct PulseBounds {
    uint64_t low = 0, high = 0;
};

uint64_t PulsesIn(Clock::duration d) {
    return uint64_t(std::chrono::duration<long double>(d).count() * kRate);
}

std::optional<uint32_t> ReadCount(WireClient& client, int node, int index) {
    const std::string i(1, char(0x20 + index));
    const auto reply = client.Exchange(NodeDigits(node) + "PG" + i);
    if (!reply || reply->size() != 14 || reply->substr(2, 3) != "pg" + i) {
        ADD_FAILURE() << "count reply " << Shown(reply);
        return std::nullopt;
    }
    return uint32_t(std::strtoul(reply->substr(5, 8).c_str(), nullptr, 16));
}

PulseBounds CountFor(WireClient& client, int node, std::chrono::milliseconds length) {
    const std::string prefix = NodeDigits(node);
    const auto t0 = Clock::now();
    EXPECT_EQ(Shown(client.Exchange(prefix + "PS\x28")), Shown(Framed(prefix + "ps")));
    const auto t1 = Clock::now();
    std::this_thread::sleep_for(length);
    const auto t2 = Clock::now();
    EXPECT_EQ(Shown(client.Exchange(prefix + "PS\x20")), Shown(Framed(prefix + "ps")));
    const auto t3 = Clock::now();
    return {PulsesIn(t2 - t1), PulsesIn(t3 - t0)};
}

class SimCounting : public ::testing::Test {
protected:
    void Start(std::vector<std::string> args) {
        args.insert(args.end(), {"--rate", std::to_string(kRate)});
        sim_ = std::make_unique<SimProcess>(std::move(args));
        ASSERT_TRUE(sim_->Started());
        client_ = std::make_unique<WireClient>(WireClient::Tcp(sim_->Port()));
        ASSERT_TRUE(client_->Connected());
    }
    uint32_t Count(int node, int index) {
        return ReadCount(*client_, node, index).value_or(0xDEAD);
    }

    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<WireClient> client_;
};

TEST_F(SimCounting, SinglePhaseCountsEveryInputWithAnEdgeAndHoldsWhenStopped) {
    Start({"--settings", "1:edges=12010"});
    const PulseBounds b = CountFor(*client_, 1, std::chrono::milliseconds(60));
    const uint32_t di1 = Count(1, 0);
    EXPECT_GE(di1, b.low);
    EXPECT_LE(di1, b.high);
    EXPECT_EQ(Count(1, 1), di1);  // the falling edge counts the same pulses
    EXPECT_EQ(Count(1, 2), 0u);
    EXPECT_EQ(Count(1, 3), di1);
    EXPECT_EQ(Count(1, 4), 0u);
    EXPECT_EQ(Shown(client_->Exchange("01PP")), Shown(Framed("01pp\x20")));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Count(1, 0), di1);
    EXPECT_EQ(Count(2, 0), 0u) << "other units did not count";
}

TEST_F(SimCounting, TwoPhaseCountsPairsUnderIndexesZeroAndThree) {
    struct Case {
        const char* mode;
        uint32_t multiplier;
    };
    for (const Case c : {Case{"2", 2}, Case{"3", 4}}) {
        SCOPED_TRACE(std::string("mode ") + c.mode);
        Start({"--settings", std::string("1:mode=") + c.mode});
        const PulseBounds b = CountFor(*client_, 1, std::chrono::milliseconds(50));
        const uint32_t pair = Count(1, 0);
        EXPECT_EQ(pair % c.multiplier, 0u);
        EXPECT_GE(pair, b.low * c.multiplier);
        EXPECT_LE(pair, b.high * c.multiplier);
        EXPECT_EQ(Count(1, 3), pair);
        for (int index : {1, 2, 4})
            EXPECT_EQ(Count(1, index), 0u) << index;
    }
}

TEST_F(SimCounting, ZPulseClearsThePairEveryFewCycles) {
    Start({"--z-every", "10", "--settings", "1:mode=3,clear=1", "--settings", "2:mode=2,clear=1",
           "--settings", "3:mode=3,clear=1"});
    const PulseBounds b1 = CountFor(*client_, 1, std::chrono::milliseconds(40));
    ASSERT_GE(b1.low, 10u) << "the run must be long enough for a Z pulse";
    const uint32_t x4 = Count(1, 0);
    EXPECT_EQ(x4 % 4, 0u);
    EXPECT_LT(x4, 40u);
    EXPECT_EQ(Count(1, 3), x4);

    CountFor(*client_, 2, std::chrono::milliseconds(40));
    const uint32_t x2 = Count(2, 0);
    EXPECT_EQ(x2 % 2, 0u);
    EXPECT_LT(x2, 20u);

    // A two-input unit has no DI3, so nothing clears its pair.
    const PulseBounds b3 = CountFor(*client_, 3, std::chrono::milliseconds(40));
    const uint32_t noZ = Count(3, 0);
    EXPECT_GE(noZ, b3.low * 4);
    EXPECT_LE(noZ, b3.high * 4);
}

TEST_F(SimCounting, CountsWrapAt32Bits) {
    Start({"--count", "1:0:-10", "--count", "1:1:0x7FFFFFF0"});
    const PulseBounds b = CountFor(*client_, 1, std::chrono::milliseconds(40));
    ASSERT_GE(b.low, 16u);
    const uint32_t wrapped = Count(1, 0);
    EXPECT_LT(wrapped, 0x1000u) << "0xFFFFFFF6 plus at least 16 pulses";
    EXPECT_GE(uint32_t(wrapped + 10), b.low);
    EXPECT_LE(uint32_t(wrapped + 10), b.high);
    EXPECT_GE(Count(1, 1), 0x80000000u);
}

// With a fixed period the count is that of the last completed period: exactly rate x 1 s x2.
TEST_F(SimCounting, FixedPeriodShowsTheLastCompletedPeriod) {
    Start({"--settings", "1:mode=2,period=1", "--count", "1:0:5"});
    EXPECT_EQ(Shown(client_->Exchange("01PS\x28")), Shown(Framed("01ps")));
    const auto started = Clock::now();
    EXPECT_EQ(Count(1, 0), 5u) << "no period has completed yet";
    std::this_thread::sleep_until(started + std::chrono::milliseconds(1050));
    EXPECT_EQ(Count(1, 0), 2 * kRate);
    EXPECT_EQ(Shown(client_->Exchange("01PP")), Shown(Framed("01pp\x28")));
}

TEST_F(SimCounting, CountingFromTheStartWithSettings) {
    Start({"--settings", "2:counting=1"});
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GE(Count(2, 2), 30u * kRate / 1000);
    EXPECT_EQ(Shown(client_->Exchange("02PP")), Shown(Framed("02pp\x28")));
}

}  // namespace
