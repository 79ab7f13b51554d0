#include "cli/Commands.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/Console.h"
#include "cli/Interrupt.h"
#include "cli/Output.h"
#include "cli/UnitClient.h"
#include "device/CountRows.h"
#include "device/OperatorTexts.h"
#include "link/LinkSession.h"
#include "unit/WriteChecks.h"
#include "unit/WriteReport.h"

namespace {

// What is known of a unit while a command runs on it.
struct PreparedUnit {
    UnitIdentity identity;
    HeldSettings held;
};

// A unit of a count watch: prepared once, again after a failure; its reads and failed reads.
struct WatchedUnit {
    int32_t node = 0;
    bool prepared = false;
    bool refused = false;
    PreparedUnit unit;
    int32_t reads = 0;
    int32_t failures = 0;
};

// What Prepare gives for a node it did not fail: go on with the command, or nothing more to do
// (shown by identify, or refused).
enum class Prepared { GoOn, NodeDone };

// Whether a failure ended the link itself (the connection closed, the port gone, a send that
// failed), so that nothing more can be sent until it is opened again.
bool LinkLost(const UnitFailure& failure) {
    return failure.kind == FailureKind::LinkLost;
}

// One command over its nodes, on one open link. A node's failure is told on standard error and
// the command goes on with the next node; the exit status is the highest of all nodes.
class CommandRun {
public:
    explicit CommandRun(const CliOptions& options)
        : options_(options), client_(options.route, options.timeoutMs) {}

    int Run();

private:
    void Visit(int32_t node);
    Result<Prepared> Prepare(int32_t node, PreparedUnit& unit, bool report);
    void ChangeSettings(const PreparedUnit& unit);
    bool Write(int32_t node, std::vector<PlannedFrame>& frames);
    void SwitchCounting(int32_t node, bool start);
    void Scan();
    void WatchCounts();
    void WatchRound(std::vector<WatchedUnit>& units, bool& linkUp);
    void Reopen();
    std::optional<UnitFailure> ReadCounts(const PreparedUnit& unit, const std::string& time);

    void Failed(int32_t node, const UnitFailure& failure);
    void Refused(int32_t node, const std::string& text);
    void Say(const std::string& text) { WriteErr("velkorctl: " + text + "\n"); }
    void Print(const std::string& text);
    bool Stopped() const { return Interrupted() || outputFailed_; }
    void Raise(int status) { status_ = std::max(status_, status); }
    OutputFormat Format() const {
        return options_.json ? OutputFormat::Json
                             : (options_.csv ? OutputFormat::Csv : OutputFormat::Text);
    }

    const CliOptions& options_;
    UnitClient client_;
    int status_ = EXIT_SUCCESS_ALL;
    bool outputFailed_ = false;
};

int CommandRun::Run() {
    const bool opened = client_.Open();
    if (Interrupted()) return EXIT_INTERRUPTED;  // Ctrl-C needs no explanation
    if (!opened) {
        Say(FailureText(client_.OpenFailure()));
        return EXIT_LINK_FAILURE;
    }
    if (options_.command == Command::Scan) {
        Scan();
    } else if (options_.command == Command::Counts && options_.watchSeconds > 0) {
        WatchCounts();
        // Ctrl-C is how a watch ends: the status tells whether every read succeeded.
        return status_;
    } else {
        for (const int32_t node : options_.nodes) {
            if (Stopped()) break;
            Visit(node);
        }
    }
    return Interrupted() ? EXIT_INTERRUPTED : status_;
}

void CommandRun::Print(const std::string& text) {
    if (outputFailed_ || WriteOut(text)) return;
    Say(std::string("standard output: ") + std::strerror(errno));
    outputFailed_ = true;
    Raise(EXIT_LINK_FAILURE);
}

void CommandRun::Failed(int32_t node, const UnitFailure& failure) {
    // Ctrl-C needs no explanation.
    if (failure.kind == FailureKind::Aborted && Interrupted()) return;
    Say("node " + std::to_string(node) + ": " + FailureText(failure));
    Raise(EXIT_LINK_FAILURE);
}

void CommandRun::Refused(int32_t node, const std::string& text) {
    Say("node " + std::to_string(node) + ": " + text);
    Raise(EXIT_REFUSED);
}

// One node of identify, settings, set, start, stop or a one-shot counts.
void CommandRun::Visit(int32_t node) {
    PreparedUnit unit;
    const Result<Prepared> prepared = Prepare(node, unit, true);
    if (!prepared || *prepared == Prepared::NodeDone) return;
    switch (options_.command) {
        case Command::Settings:
            Print(SettingsText(node, unit.held, Format()));
            break;
        case Command::Set:
            ChangeSettings(unit);
            break;
        case Command::Start:
        case Command::Stop:
            SwitchCounting(node, options_.command == Command::Start);
            break;
        case Command::Counts:
            if (const auto failure = ReadCounts(unit, IsoTimeNow())) Failed(node, *failure);
            break;
        default:
            break;
    }
}

// Identifies the unit, refuses a model without pulse inputs (`identify` shows it) and reads the
// settings where the command needs them; a failure is told on standard error when `report`.
Result<Prepared> CommandRun::Prepare(int32_t node, PreparedUnit& unit, bool report) {
    client_.SelectNode(node);
    const Result<UnitIdentity> identity = client_.Identify();
    if (!identity) {
        if (report) Failed(node, identity.Failure());
        return identity.Failure();
    }
    unit.identity = *identity;
    const Command c = options_.command;
    if (c == Command::Identify) {
        Print(IdentityText(unit.identity, Format()));
        return Prepared::NodeDone;
    }
    if (const auto refusal = RefusalOf(unit.identity)) {
        Refused(node, refusal->text);
        return Prepared::NodeDone;
    }
    if (c != Command::Settings && c != Command::Set && c != Command::Counts) return Prepared::GoOn;
    const Result<Done> read = client_.ReadSettings(unit.identity.inputCount);
    if (!read) {
        if (report) Failed(node, read.Failure());
        return read.Failure();
    }
    unit.held = {client_.HeldConfig(), unit.identity.inputCount, client_.HeldFlags()};
    return Prepared::GoOn;
}

// Checks the change against the unit, writes it, reads back and prints what the unit then holds.
void CommandRun::ChangeSettings(const PreparedUnit& unit) {
    const int32_t node = unit.identity.node;
    const int32_t n = unit.identity.inputCount;
    CheckedWrite checked = CheckWrite({options_.change, options_.from, options_.force}, unit.held);
    if (checked.check == WriteCheck::ForceNeeded)
        checked.text += " (--force writes the settings all the same)";
    if (RefusesWrite(checked.check)) return Refused(node, checked.text);
    if (checked.check == WriteCheck::Forced)
        Say("node " + std::to_string(node) + ": " + checked.text);
    if (!Write(node, checked.frames)) return;
    const Result<Done> readBack = client_.ReadSettings(n);
    if (!readBack) {
        Say("node " + std::to_string(node) + ": written; reading the settings back failed");
        return Failed(node, readBack.Failure());
    }
    Print(SettingsText(node, {client_.HeldConfig(), n, client_.HeldFlags()}, Format()));
}

// Sends the frames in order until one fails; then tells what became of each.
bool CommandRun::Write(int32_t node, std::vector<PlannedFrame>& frames) {
    const Result<Done> written = client_.Write(frames);
    if (written) return true;
    // A frame that went without an answer failed; Ctrl-C between two frames sent nothing more.
    const bool unanswered = std::any_of(frames.begin(), frames.end(), [](const PlannedFrame& f) {
        return f.fate == FrameFate::SentNoAnswer;
    });
    if (unanswered) Failed(node, written.Failure());
    Say("node " + std::to_string(node) + ": " + WriteReport(frames));
    Raise(EXIT_LINK_FAILURE);
    return false;
}

void CommandRun::SwitchCounting(int32_t node, bool start) {
    const Result<Done> switched = client_.StartStop(start);
    if (!switched) return Failed(node, switched.Failure());
    Print(CountingText(node, start, Format()));
}

// Requests the counts of one unit and prints them; nothing, or the failure.
std::optional<UnitFailure> CommandRun::ReadCounts(const PreparedUnit& unit,
                                                  const std::string& time) {
    const int32_t node = unit.identity.node;
    client_.SelectNode(node);
    client_.HeldConfig() = unit.held.config;
    uint32_t indexes = 0;
    std::vector<CountShown> shown;
    for (const CountRow& row : CountRowsOf(unit.held.config, unit.identity.inputCount)) {
        if (row.index < 0) continue;
        indexes |= 1u << row.index;
        shown.push_back({CountLabelOf(unit.held.config.mode, row.index), row.index, 0});
    }
    const auto counts = client_.ReadCounts(indexes);
    if (!counts) return counts.Failure();
    for (CountShown& reading : shown)
        reading.value = (*counts)[static_cast<size_t>(reading.index)];
    Print(CountsText(node, shown, time, Format()));
    return std::nullopt;
}

// The progress line of a scan on a terminal, and what blanks it (no escape sequences: a console
// of Windows may not take them).
std::string ScanProgress(int32_t node, size_t done, size_t total, int32_t found) {
    char line[96];
    std::snprintf(line, sizeof line, "\rvelkorctl: scanning node %d (%zu of %zu), %d found   ",
                  node, done, total, found);
    return line;
}
const std::string BLANK_LINE = "\r" + std::string(72, ' ') + "\r";

// Every node of the list gets the identification; those that answer are listed.
void CommandRun::Scan() {
    const bool progress = ErrIsTerminal();
    const size_t total = options_.nodes.size();
    int32_t found = 0;
    for (size_t i = 0; i < total && !Stopped(); ++i) {
        const int32_t node = options_.nodes[i];
        if (progress) WriteErr(ScanProgress(node, i + 1, total, found));
        client_.SelectNode(node);
        const Result<UnitIdentity> unit = client_.Identify();
        if (!unit && unit.Failure().kind == FailureKind::TimeOut) continue;
        if (progress) WriteErr(BLANK_LINE);
        if (!unit) {
            Failed(node, unit.Failure());
            if (LinkLost(unit.Failure())) break;
            continue;
        }
        ++found;
        Print(IdentityText(*unit, Format()));
    }
    if (progress) WriteErr(BLANK_LINE);
    if (found == 0 && !Stopped()) {
        Say("no unit answered on " + std::to_string(total) + " nodes");
        Raise(EXIT_LINK_FAILURE);
    }
}

// Reads the counts of every node round after round until Ctrl-C or the last round; a failed node
// is a row of its own and is prepared again in the next round; a lost link is opened again.
void CommandRun::WatchCounts() {
    std::vector<WatchedUnit> units;
    for (const int32_t node : options_.nodes) {
        units.emplace_back();
        units.back().node = node;
    }
    if (options_.csv) Print(CsvHeader());
    const auto period = std::chrono::seconds(options_.watchSeconds);
    auto next = std::chrono::steady_clock::now();
    int32_t rounds = 0;
    bool linkUp = true;
    for (; !Stopped() && (options_.rounds == 0 || rounds < options_.rounds); ++rounds) {
        if (rounds > 0) {
            next += period;
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                next - std::chrono::steady_clock::now());
            if (!SleepUnlessInterrupted(static_cast<int32_t>(std::max<int64_t>(0, wait.count()))))
                break;
        }
        WatchRound(units, linkUp);
    }
    std::string summary =
        std::to_string(rounds) + (rounds == 1 ? " round" : " rounds") + "; failed reads:";
    for (const WatchedUnit& u : units) {
        summary += " node " + std::to_string(u.node) + " " + std::to_string(u.failures) + "/" +
                   std::to_string(u.reads);
        if (u.failures > 0) Raise(EXIT_LINK_FAILURE);
    }
    Say(summary);
}

void CommandRun::WatchRound(std::vector<WatchedUnit>& units, bool& linkUp) {
    const std::string time = IsoTimeNow();
    for (WatchedUnit& u : units) {
        if (Stopped()) return;
        if (u.refused) continue;
        if (!linkUp) Reopen();
        linkUp = true;
        if (Stopped()) return;
        std::optional<UnitFailure> failure;
        if (!u.prepared) {
            const Result<Prepared> prepared = Prepare(u.node, u.unit, false);
            u.refused = prepared && *prepared == Prepared::NodeDone;
            if (u.refused) continue;
            u.prepared = static_cast<bool>(prepared);
            if (!prepared) failure = prepared.Failure();
        }
        if (!failure) failure = ReadCounts(u.unit, time);
        ++u.reads;
        if (!failure) continue;
        if (failure->kind == FailureKind::Aborted && Interrupted()) return;
        ++u.failures;
        u.prepared = false;
        const std::string text = FailureText(*failure);
        if (Format() == OutputFormat::Text) Say("node " + std::to_string(u.node) + ": " + text);
        Print(FailureRow(u.node, *failure, time, Format()));
        if (LinkLost(*failure)) {
            Say("connection lost: " + text);
            linkUp = false;
        }
    }
}

// Closes the lost link and opens it again, with a pause that doubles from 1 s up to the watch's
// interval, until it opens or Ctrl-C.
void CommandRun::Reopen() {
    client_.Close();
    int32_t pause = 1;
    while (!Stopped()) {
        Say("reopening the connection in " + std::to_string(pause) + " s");
        if (!SleepUnlessInterrupted(pause * 1000)) return;
        if (client_.Open()) {
            Say("connection reopened");
            return;
        }
        if (!Interrupted()) Say("reopening failed: " + FailureText(client_.OpenFailure()));
        client_.Close();
        pause = std::min(pause * 2, options_.watchSeconds);
    }
}

}  // namespace

int RunCommand(const CliOptions& options) {
    CatchInterrupt();
    CommandRun run(options);
    return run.Run();
}
