#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge/BridgeConfig.h"
#include "bridge/CommandRequest.h"
#include "bridge/Publisher.h"
#include "unit/UnitLink.h"

// One gateway's line, polled by a thread of its own: its units one after the other, round after
// round at the configured interval on a steady clock. A unit that fails is tried again after 1,
// 2, 4 ... 60 s rather than every round, so that its time-outs do not hold up the others; a lost
// connection is reopened with the same pauses, its units failing meanwhile; a model without
// pulse inputs is reported once and not polled again. Commands for its units run on the same
// thread, between rounds, in the order they came.
class GatewayPoller {
public:
    using Clock = std::chrono::steady_clock;

    GatewayPoller(const GatewayConfig& gateway, Publisher& publisher);
    ~GatewayPoller();
    GatewayPoller(const GatewayPoller&) = delete;
    GatewayPoller& operator=(const GatewayPoller&) = delete;

    // The first round comes `firstRoundIn` from now, so that many gateways do not all ask at the
    // same moment.
    void Start(Clock::duration firstRoundIn = {});
    // Ends the round under way at its next exchange and the thread.
    void Stop();
    // One round on the calling thread; whether every unit was read.
    bool RunRound();
    // Marks every unit that was published offline (a clean stop).
    void PublishOffline();
    // Takes a command for one of its units, from any thread; it runs after those before it, as
    // soon as the round under way has ended.
    void Submit(GatewayCommand command);

private:
    enum class Availability { Unknown, Online, Offline };
    struct Unit {
        int32_t node = 0;
        bool refused = false;
        bool identified = false;
        UnitIdentity identity;
        PulseConfig settings;
        unsigned char flags = 0;
        std::string info;  // the payload last published
        Clock::time_point settingsRead;
        bool settingsStale = true;
        int64_t seq = 0;
        int32_t failuresInRow = 0;
        int32_t pause = 0;  // seconds before the next try after a failure
        Clock::time_point nextTry;
        Availability availability = Availability::Unknown;
    };

    void Loop(Clock::duration firstRoundIn);
    bool PollUnit(Unit& unit);
    bool EnsureLink();
    bool Prepare(Unit& unit);
    bool ReadSettings(Unit& unit);
    void TakeSettings(Unit& unit);
    void Failed(Unit& unit, const UnitFailure& failure);
    UnitFailure NoteLinkLoss(const UnitFailure& failure);
    void SetAvailability(Unit& unit, Availability availability);
    std::string TopicOf(const Unit& unit, const char* leaf) const;
    bool Sleep(Clock::time_point until);

    // GatewayCommands.cpp
    void RunCommands();
    void RunCommand(const GatewayCommand& command);
    Result<Done> ReachUnit(Unit& unit);
    void RunSet(Unit& unit, const GatewayCommand& command);
    void RunCounting(Unit& unit, const GatewayCommand& command);
    void Answer(const Unit& unit, const GatewayCommand& command, const std::string& payload);

    const GatewayConfig& gateway_;
    Publisher& publisher_;
    std::atomic<int32_t> abort_{0};
    std::atomic<bool> stopping_{false};
    UnitLink link_;
    bool linkUp_ = false;
    bool everOpened_ = false;
    int32_t linkPause_ = 0;
    Clock::time_point nextOpen_;
    UnitFailure linkFailure_;
    std::vector<Unit> units_;
    std::thread thread_;
    std::mutex sleepMutex_;  // also guards the commands
    std::condition_variable sleepWake_;
    std::deque<GatewayCommand> commands_;
};
