// The commands a gateway's thread runs between its rounds: set, start and stop of one unit, each
// with velkorctl's rules, each answered.
#include <algorithm>

#include "bridge/CommandAnswer.h"
#include "bridge/GatewayPoller.h"
#include "bridge/Log.h"
#include "unit/WriteReport.h"

namespace {

// What may wait for a gateway's thread; beyond it a command is refused at once rather than
// queued without end.
constexpr size_t MAX_WAITING_COMMANDS = 1000;

}  // namespace

void GatewayPoller::Submit(GatewayCommand command) {
    {
        std::lock_guard<std::mutex> lock(sleepMutex_);
        if (commands_.size() < MAX_WAITING_COMMANDS) {
            commands_.push_back(std::move(command));
            sleepWake_.notify_all();
            return;
        }
    }
    publisher_.PublishAnswer(
        gateway_.name + "/" + std::to_string(command.node) + "/result",
        RequestRefusedAnswer(command.request.name, "gateway " + gateway_.name + " has " +
                                                       std::to_string(MAX_WAITING_COMMANDS) +
                                                       " commands waiting"),
        command.message);
}

void GatewayPoller::RunCommands() {
    for (;;) {
        GatewayCommand command;
        {
            std::lock_guard<std::mutex> lock(sleepMutex_);
            if (commands_.empty() || stopping_.load()) return;
            command = std::move(commands_.front());
            commands_.pop_front();
        }
        RunCommand(command);
    }
}

void GatewayPoller::RunCommand(const GatewayCommand& command) {
    const auto unit = std::find_if(units_.begin(), units_.end(),
                                   [&](const Unit& u) { return u.node == command.node; });
    if (unit == units_.end()) return;  // the inbox hands over only the units polled here
    const CommandRequest& request = command.request;
    const std::string where = "gateway " + gateway_.name + " node " + std::to_string(unit->node);
    if (!request.refusal.empty()) {
        Log(LogLevel::Warning,
            where + ": " + CommandWord(request.name) + " refused: " + request.refusal);
        return Answer(*unit, command, RequestRefusedAnswer(request.name, request.refusal));
    }
    Log(LogLevel::Info, where + ": " + CommandWord(request.name));
    if (const Result<Done> reached = ReachUnit(*unit); !reached) {
        Log(LogLevel::Warning, where + ": " + FailureText(reached.Failure()));
        return Answer(*unit, command, FailureAnswer(request.name, reached.Failure(), {}));
    }
    if (request.name == CommandName::Set)
        RunSet(*unit, command);
    else
        RunCounting(*unit, command);
}

// The line opened, the unit addressed and identified, a model without pulse inputs refused.
Result<Done> GatewayPoller::ReachUnit(Unit& unit) {
    if (!EnsureLink()) return linkFailure_;
    link_.SelectNode(unit.node);
    const Result<UnitIdentity> identity = link_.Identify();
    if (!identity) return NoteLinkLoss(identity.Failure());
    if (const auto refusal = RefusalOf(*identity)) return *refusal;
    unit.identity = *identity;
    unit.identified = true;
    return Done{};
}

// As `velkorctl set`: nothing is written unless every setting was read and decoded and the
// checks pass; what the unit then holds is read back and becomes its info.
void GatewayPoller::RunSet(Unit& unit, const GatewayCommand& command) {
    const int32_t n = unit.identity.inputCount;
    const Result<Done> read = link_.ReadSettings(n);
    if (!read)
        return Answer(unit, command,
                      FailureAnswer(CommandName::Set, NoteLinkLoss(read.Failure()), {}));
    CheckedWrite checked =
        CheckWrite(command.request.write, {link_.HeldConfig(), n, link_.HeldFlags()});
    const std::string where = "gateway " + gateway_.name + " node " + std::to_string(unit.node);
    if (checked.check == WriteCheck::ForceNeeded)
        checked.text += " (\"force\":true writes the settings all the same)";
    if (RefusesWrite(checked.check)) {
        Log(LogLevel::Warning, where + ": set refused: " + checked.text);
        UnitFailure refusal;
        refusal.kind = FailureKind::Refused;
        refusal.text = checked.text;
        return Answer(unit, command, FailureAnswer(CommandName::Set, refusal, {}));
    }
    if (checked.check == WriteCheck::Forced) Log(LogLevel::Warning, where + ": " + checked.text);
    if (const Result<Done> written = link_.Write(checked.frames); !written) {
        Log(LogLevel::Warning, where + ": " + WriteReport(checked.frames));
        return Answer(
            unit, command,
            FailureAnswer(CommandName::Set, NoteLinkLoss(written.Failure()), checked.frames));
    }
    if (const Result<Done> readBack = link_.ReadSettings(n); !readBack) {
        unit.settingsStale = true;
        UnitFailure failure = NoteLinkLoss(readBack.Failure());
        failure.text = "written; reading the settings back failed: " + failure.text;
        return Answer(unit, command, FailureAnswer(CommandName::Set, failure, checked.frames));
    }
    TakeSettings(unit);
    Answer(unit, command, SetAnswer(unit.node, {unit.settings, n, unit.flags}));
}

// As `velkorctl start` and `stop`; the state the unit then reports is read back for its info.
void GatewayPoller::RunCounting(Unit& unit, const GatewayCommand& command) {
    const CommandName name = command.request.name;
    const bool start = name == CommandName::Start;
    if (const Result<Done> switched = link_.StartStop(start); !switched)
        return Answer(unit, command, FailureAnswer(name, NoteLinkLoss(switched.Failure()), {}));
    bool on = start;
    if (const Result<Done> readBack = link_.ReadSettings(unit.identity.inputCount); readBack) {
        TakeSettings(unit);
        on = unit.settings.countingOn != 0;
    } else {
        NoteLinkLoss(readBack.Failure());
        unit.settingsStale = true;
    }
    Answer(unit, command, CountingAnswer(name, on));
}

void GatewayPoller::Answer(const Unit& unit, const GatewayCommand& command,
                           const std::string& payload) {
    publisher_.PublishAnswer(TopicOf(unit, "result"), payload, command.message);
}
