#include "bridge/GatewayPoller.h"

#include <algorithm>

#include "bridge/Log.h"
#include "bridge/Payloads.h"
#include "device/CountRows.h"

namespace {

constexpr int32_t LONGEST_PAUSE_S = 60;
constexpr auto SETTINGS_PERIOD = std::chrono::minutes(10);

int32_t NextPause(int32_t pause) {
    return pause == 0 ? 1 : std::min(pause * 2, LONGEST_PAUSE_S);
}

}  // namespace

GatewayPoller::GatewayPoller(const GatewayConfig& gateway, Publisher& publisher)
    : gateway_(gateway),
      publisher_(publisher),
      link_(gateway.route, gateway.timeoutMs, abort_, [this] { return stopping_.load(); }) {
    for (const int32_t node : gateway.nodes) {
        units_.emplace_back();
        units_.back().node = node;
    }
}

GatewayPoller::~GatewayPoller() {
    Stop();
}

void GatewayPoller::Start(Clock::duration firstRoundIn) {
    thread_ = std::thread([this, firstRoundIn] { Loop(firstRoundIn); });
}

void GatewayPoller::Stop() {
    stopping_.store(true);
    abort_.store(1);
    { std::lock_guard<std::mutex> lock(sleepMutex_); }
    sleepWake_.notify_all();
    if (thread_.joinable()) thread_.join();
    link_.Close();
}

void GatewayPoller::PublishOffline() {
    for (Unit& unit : units_)
        if (unit.availability == Availability::Online) SetAvailability(unit, Availability::Offline);
}

// Rounds keep their interval and never start early; a round that overran starts the next one
// at once, and the schedule goes on from there.
void GatewayPoller::Loop(Clock::duration firstRoundIn) {
    const auto interval = std::chrono::seconds(gateway_.interval);
    auto next = Clock::now() + firstRoundIn;
    if (!Sleep(next)) return;
    while (!stopping_.load()) {
        RunRound();
        RunCommands();
        next += interval;
        if (next < Clock::now()) next = Clock::now();
        while (Clock::now() < next && Sleep(next))
            RunCommands();
    }
}

// Until `until`, the stop or a command; false once stopping.
bool GatewayPoller::Sleep(Clock::time_point until) {
    std::unique_lock<std::mutex> lock(sleepMutex_);
    sleepWake_.wait_until(lock, until, [this] { return stopping_.load() || !commands_.empty(); });
    return !stopping_.load();
}

bool GatewayPoller::RunRound() {
    bool all = true;
    for (Unit& unit : units_) {
        if (stopping_.load()) return false;
        if (unit.refused) {
            all = false;
            continue;
        }
        if (Clock::now() < unit.nextTry) {
            all = false;
            continue;
        }
        all = PollUnit(unit) && all;
    }
    return all;
}

// The line is opened again after a pause that doubles from 1 s up to 60 s; until then each unit
// fails with the reason it did not open.
bool GatewayPoller::EnsureLink() {
    if (linkUp_) return true;
    if (Clock::now() < nextOpen_) return false;
    link_.Close();
    if (!link_.Open()) {
        linkFailure_ = link_.OpenFailure();
        linkPause_ = NextPause(linkPause_);
        nextOpen_ = Clock::now() + std::chrono::seconds(linkPause_);
        Log(LogLevel::Warning,
            "gateway " + gateway_.name + " (" + gateway_.routeText + "): " + linkFailure_.text +
                (linkFailure_.reason.empty() ? "" : " (" + linkFailure_.reason + ")") +
                "; opening again in " + std::to_string(linkPause_) + " s");
        return false;
    }
    if (everOpened_) publisher_.CountGatewayReconnect();
    Log(LogLevel::Info, "gateway " + gateway_.name + " (" + gateway_.routeText + ") open");
    everOpened_ = true;
    linkUp_ = true;
    linkPause_ = 0;
    // Whatever a unit holds may have changed while the line was away.
    for (Unit& unit : units_)
        unit.settingsStale = true;
    return true;
}

bool GatewayPoller::PollUnit(Unit& unit) {
    if (!EnsureLink()) {
        Failed(unit, linkFailure_);
        return false;
    }
    link_.SelectNode(unit.node);
    if (!Prepare(unit)) return false;
    uint32_t indexes = 0;
    for (const CountRow& row : CountRowsOf(unit.settings, unit.identity.inputCount))
        if (row.index >= 0) indexes |= 1u << row.index;
    const auto taken = Clock::now();
    const auto counts = link_.ReadCounts(indexes);
    if (!counts) {
        Failed(unit, counts.Failure());
        return false;
    }
    Reading reading;
    reading.time = std::chrono::system_clock::now();
    reading.seq = ++unit.seq;
    for (const CountRow& row : CountRowsOf(unit.settings, unit.identity.inputCount))
        if (row.index >= 0)
            reading.counts.emplace_back(CountLabelOf(unit.settings.mode, row.index),
                                        (*counts)[static_cast<size_t>(row.index)]);
    publisher_.AddReading(TopicOf(unit, "counts"), CountsPayload(reading), taken);
    publisher_.CountRead(true);
    unit.failuresInRow = 0;
    unit.pause = 0;
    SetAvailability(unit, Availability::Online);
    return true;
}

// Identifies a unit not yet known, refuses a model without pulse inputs once, and reads the
// settings when they are due.
bool GatewayPoller::Prepare(Unit& unit) {
    if (!unit.identified) {
        const Result<UnitIdentity> identity = link_.Identify();
        if (!identity) {
            Failed(unit, identity.Failure());
            return false;
        }
        unit.identity = *identity;
        if (const auto refusal = RefusalOf(unit.identity)) {
            unit.refused = true;
            Log(LogLevel::Warning, "gateway " + gateway_.name + " node " +
                                       std::to_string(unit.node) + ": " + refusal->text);
            publisher_.PublishTransient(TopicOf(unit, "error"),
                                        ErrorPayload(std::chrono::system_clock::now(), *refusal));
            SetAvailability(unit, Availability::Offline);
            return false;
        }
        unit.identified = true;
        unit.settingsStale = true;
    }
    const bool due = unit.settingsStale || Clock::now() - unit.settingsRead >= SETTINGS_PERIOD;
    return !due || ReadSettings(unit);
}

bool GatewayPoller::ReadSettings(Unit& unit) {
    const Result<Done> read = link_.ReadSettings(unit.identity.inputCount);
    if (!read) {
        Failed(unit, read.Failure());
        return false;
    }
    TakeSettings(unit);
    return true;
}

// What the link read last becomes the unit's settings, and its info where they changed.
void GatewayPoller::TakeSettings(Unit& unit) {
    unit.settings = link_.HeldConfig();
    unit.flags = link_.HeldFlags();
    unit.settingsRead = Clock::now();
    unit.settingsStale = false;
    const std::string info =
        InfoPayload(unit.identity, {unit.settings, unit.identity.inputCount, unit.flags});
    if (info != unit.info) {
        unit.info = info;
        publisher_.SetState(TopicOf(unit, "info"), info);
    }
}

void GatewayPoller::Failed(Unit& unit, const UnitFailure& failure) {
    if (failure.kind == FailureKind::Aborted && stopping_.load()) return;
    publisher_.CountRead(false);
    publisher_.PublishTransient(TopicOf(unit, "error"),
                                ErrorPayload(std::chrono::system_clock::now(), failure));
    Log(LogLevel::Warning, "gateway " + gateway_.name + " node " + std::to_string(unit.node) +
                               ": " + FailureText(failure));
    NoteLinkLoss(failure);
    // An identification that failed is tried again from the start.
    if (failure.kind != FailureKind::TimeOut) unit.identified = unit.identified && linkUp_;
    unit.pause = NextPause(unit.pause);
    unit.nextTry = Clock::now() + std::chrono::seconds(unit.pause);
    if (++unit.failuresInRow >= gateway_.offlineAfter) SetAvailability(unit, Availability::Offline);
}

// A failure that ended the line: it is opened again before the next exchange.
UnitFailure GatewayPoller::NoteLinkLoss(const UnitFailure& failure) {
    if (failure.kind == FailureKind::LinkLost && linkUp_) {
        Log(LogLevel::Warning, "gateway " + gateway_.name + ": connection lost");
        linkUp_ = false;
        nextOpen_ = Clock::now();
    }
    return failure;
}

void GatewayPoller::SetAvailability(Unit& unit, Availability availability) {
    if (unit.availability == availability) return;
    unit.availability = availability;
    publisher_.SetState(TopicOf(unit, "availability"),
                        availability == Availability::Online ? "online" : "offline");
}

std::string GatewayPoller::TopicOf(const Unit& unit, const char* leaf) const {
    return gateway_.name + "/" + std::to_string(unit.node) + "/" + leaf;
}
