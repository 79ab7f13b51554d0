#include "cli/Commands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Interrupt.h"
#include "cli/Output.h"
#include "cli/UnitClient.h"
#include "device/CountRows.h"
#include "device/OperatorTexts.h"
#include "device/SettingsRules.h"
#include "link/LinkSession.h"
#include "link/UnitCommands.h"

namespace {

// What is kept of a unit between rounds of a count watch.
struct PreparedUnit {
    UnitIdentity identity;
    PulseConfig held;
};

// One command over its nodes, on one open link. Every failure is told on standard error as it
// happens; the exit status is the highest of all nodes.
class CommandRun {
public:
    explicit CommandRun(const CliOptions& options)
        : options_(options), client_(options.route, options.timeoutMs) {}

    int Run();

private:
    void Visit(int32_t node);
    bool Prepare(int32_t node, PreparedUnit& unit);
    void ChangeSettings(const UnitIdentity& unit);
    void SwitchCounting(int32_t node, bool start);
    void WatchCounts();
    bool ReadCounts(PreparedUnit& unit, const std::string& time);
    void Scan();

    // A failed exchange: its text, and the status of a link failure (or of Ctrl-C).
    void Failed(int32_t node, int32_t code);
    void Refused(int32_t node, const std::string& text);
    void Print(const std::string& text) {
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
    }
    void Raise(int status) { status_ = std::max(status_, status); }
    OutputFormat Format() const {
        return options_.json ? OutputFormat::Json
                             : (options_.csv ? OutputFormat::Csv : OutputFormat::Text);
    }

    const CliOptions& options_;
    UnitClient client_;
    int status_ = EXIT_SUCCESS_ALL;
};

int CommandRun::Run() {
    const int32_t opened = client_.Open();
    if (Interrupted()) return EXIT_INTERRUPTED;  // Ctrl-C needs no explanation
    if (opened != 0) {
        std::fprintf(stderr, "%s\n", client_.ErrorText(opened).c_str());
        return EXIT_LINK_FAILURE;
    }
    if (options_.command == Command::Scan) {
        Scan();
    } else if (options_.command == Command::Counts) {
        WatchCounts();
    } else {
        for (const int32_t node : options_.nodes) {
            if (Interrupted()) break;
            Visit(node);
        }
    }
    return Interrupted() ? EXIT_INTERRUPTED : status_;
}

void CommandRun::Failed(int32_t node, int32_t code) {
    if (code == LINK_E_ABORTED && Interrupted()) return;  // Ctrl-C needs no explanation
    std::fprintf(stderr, "node %d: %s\n", node, client_.ErrorText(code).c_str());
    Raise(EXIT_LINK_FAILURE);
}

void CommandRun::Refused(int32_t node, const std::string& text) {
    std::fprintf(stderr, "node %d: %s\n", node, text.c_str());
    Raise(EXIT_REFUSED);
}

// One node of identify, settings, set, start or stop.
void CommandRun::Visit(int32_t node) {
    PreparedUnit unit;
    if (!Prepare(node, unit)) return;
    switch (options_.command) {
        case Command::Settings:
            Print(SettingsText(node, client_.HeldConfig(), unit.identity.inputCount, Format()));
            break;
        case Command::Set:
            ChangeSettings(unit.identity);
            break;
        case Command::Start:
            SwitchCounting(node, true);
            break;
        case Command::Stop:
            SwitchCounting(node, false);
            break;
        default:
            break;
    }
}

// Identifies the unit, refuses a model without pulse inputs and reads the settings where the
// command needs them; false when the node is done with. `identify` prints what it found,
// refused or not.
bool CommandRun::Prepare(int32_t node, PreparedUnit& unit) {
    client_.SelectNode(node);
    int32_t code = client_.Identify(unit.identity);
    if (code != 0) {
        Failed(node, code);
        return false;
    }
    if (options_.command == Command::Identify) Print(IdentityText(unit.identity, Format()));
    if (unit.identity.inputCount == 0) {
        Refused(node, NO_PULSE_INPUTS_MESSAGE);
        return false;
    }
    const Command c = options_.command;
    if (c == Command::Settings || c == Command::Set || c == Command::Counts) {
        code = ReadSettingsExchange(client_.Link(), client_, unit.identity.inputCount);
        if (code != 0) {
            Failed(node, code);
            return false;
        }
        unit.held = client_.HeldConfig();
    }
    return true;
}

// The unit's settings with the operator's changes, as the window would write them.
PulseConfig Changed(const PulseConfig& held, const SettingsChange& change) {
    PulseConfig wanted = held;
    if (change.mode) wanted.mode = *change.mode;
    if (change.clearSignal) wanted.clearSignal = *change.clearSignal;
    for (int32_t i = 0; i < MAX_INPUTS; ++i)
        if (change.edge[i]) wanted.edge[i] = *change.edge[i];
    if (change.period) wanted.period = *change.period;
    if (change.debounce) wanted.debounce = *change.debounce;
    // The window shows no debounce filter in the two-phase modes and writes none.
    if (wanted.mode == MODE_TWO_PHASE_X2 || wanted.mode == MODE_TWO_PHASE_X4) wanted.debounce = 0;
    return wanted;
}

void CommandRun::ChangeSettings(const UnitIdentity& unit) {
    const SettingsChange& change = options_.change;
    const int32_t n = unit.inputCount;
    for (int32_t i = n; i < MAX_INPUTS; ++i)
        if (change.edge[i])
            return Refused(unit.node, "DI" + std::to_string(i + 1) + ": the unit has " +
                                          std::to_string(n) + " pulse inputs");
    const PulseConfig wanted = Changed(client_.HeldConfig(), change);
    const EncoderVerdict verdict = CheckEncoderInputs(wanted, n);
    if (RefusesWrite(verdict)) return Refused(unit.node, EncoderVerdictText(verdict));
    if (verdict == EncoderVerdict::ZPhaseWithoutDi3) {
        if (!options_.force)
            return Refused(unit.node, std::string(EncoderVerdictText(verdict)) +
                                          " (--force writes the settings all the same)");
        std::fprintf(stderr, "node %d: %s\n", unit.node, EncoderVerdictText(verdict));
    }
    const int32_t code = WriteSettingsExchange(client_.Link(), client_, wanted, n);
    if (code != 0) return Failed(unit.node, code);
    TakeWrittenSettings(client_.HeldConfig(), wanted, n);
    if (change.counting) {
        const int32_t switched = StartStopExchange(client_.Link(), client_, *change.counting);
        if (switched != 0) return Failed(unit.node, switched);
        client_.HeldConfig().countingOn = *change.counting ? 1 : 0;
    }
    Print(SettingsText(unit.node, client_.HeldConfig(), n, Format()));
}

void CommandRun::SwitchCounting(int32_t node, bool start) {
    const int32_t code = StartStopExchange(client_.Link(), client_, start);
    if (code != 0) return Failed(node, code);
    const std::string state = start ? COUNTING_ON_TEXT : COUNTING_OFF_TEXT;
    if (Format() == OutputFormat::Json)
        Print("{\"node\":" + std::to_string(node) + ",\"counting\":" + (start ? "1" : "0") + "}\n");
    else
        Print("node " + std::to_string(node) + ": " + state + "\n");
}

// Identifies and reads the settings of every node once, then reads the counts of those that
// can count, round after round.
void CommandRun::WatchCounts() {
    std::vector<PreparedUnit> units;
    for (const int32_t node : options_.nodes) {
        if (Interrupted()) return;
        PreparedUnit unit;
        if (Prepare(node, unit)) units.push_back(unit);
    }
    if (options_.csv) Print(CsvHeader());
    const auto period = std::chrono::seconds(options_.watchSeconds);
    auto next = std::chrono::steady_clock::now();
    const bool endless = options_.rounds == 0;
    for (int32_t round = 0; !units.empty() && (endless || round < options_.rounds); ++round) {
        if (round > 0) {
            next += period;
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
                next - std::chrono::steady_clock::now());
            if (!SleepUnlessInterrupted(static_cast<int32_t>(std::max<int64_t>(0, wait.count()))))
                return;
        }
        const std::string time = IsoTimeNow();
        for (PreparedUnit& unit : units)
            if (Interrupted() || !ReadCounts(unit, time)) return;
    }
}

// Requests the counts of one unit and waits for their replies; false when the link failed.
bool CommandRun::ReadCounts(PreparedUnit& unit, const std::string& time) {
    const int32_t node = unit.identity.node;
    client_.SelectNode(node);
    client_.HeldConfig() = unit.held;
    uint32_t wanted = 0;
    std::vector<CountReading> readings;
    for (const CountRow& row : CountRowsOf(unit.held, unit.identity.inputCount)) {
        if (row.index < 0) continue;
        const int32_t code = CountRequest(client_.Link(), client_, row.index);
        if (code != 0) {
            Failed(node, code);
            return false;
        }
        wanted |= 1u << row.index;
        readings.push_back({row.label, row.index, 0});
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.timeoutMs);
    while ((client_.Arrivals() & wanted) != wanted) {
        if (std::chrono::steady_clock::now() >= deadline) {
            Failed(node, LINK_E_TIMEOUT);
            return false;
        }
        if (!SleepUnlessInterrupted(1)) return false;
    }
    for (CountReading& reading : readings)
        reading.value = client_.HeldConfig().count[reading.index];
    Print(CountsText(node, readings, time, Format()));
    return true;
}

// Every node of the list gets the identification; those that answer are listed.
void CommandRun::Scan() {
    for (const int32_t node : options_.nodes) {
        if (Interrupted()) return;
        client_.SelectNode(node);
        UnitIdentity unit;
        const int32_t code = client_.Identify(unit);
        if (code == LINK_E_TIMEOUT) continue;
        if (code != 0) return Failed(node, code);
        Print(IdentityText(unit, Format()));
    }
}

}  // namespace

int RunCommand(const CliOptions& options) {
    CatchInterrupt();
    CommandRun run(options);
    return run.Run();
}
