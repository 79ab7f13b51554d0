#include "CoreFixture.h"

#include <algorithm>
#include <sstream>
#include <thread>

void RecordingView::ShowControl(int32_t id, bool show) {
    if (id == IDC_PROGRESS_BAR && shown[id] != show) trace.push_back(show ? "busy" : "idle");
    shown[id] = show;
}

void RecordingView::SetControlText(int32_t id, const std::string& text) {
    if (id == IDC_CONNECT_BUTTON && texts[id] != text) trace.push_back("[" + text + "]");
    texts[id] = text;
}

void RecordingView::SetListEntries(int32_t id, const std::vector<std::string>& entries) {
    lists[id] = entries;
    values[id] = -1;
}

void RecordingView::ShowMessage(const std::string& text) {
    trace.push_back(text);
    messages.push_back(text);
    if (whileBoxOpen) whileBoxOpen();
}

void RecordingView::PostToUiThread(std::function<void()> task) {
    const std::lock_guard lock(mutex);
    tasks.push_back(std::move(task));
    posted.notify_one();
}

bool RecordingView::RunUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        std::unique_lock lock(mutex);
        if (tasks.empty() && done()) return true;
        posted.wait_for(lock, std::chrono::milliseconds(5), [this] { return !tasks.empty(); });
        if (tasks.empty()) continue;
        auto task = std::move(tasks.front());
        tasks.pop_front();
        lock.unlock();
        task();
    }
    return false;
}

void RecordingView::Settle(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    RunUntil([end] { return std::chrono::steady_clock::now() >= end; }, ms + 1000);
}

std::string RecordingView::SelectedText(int32_t id) const {
    const auto list = lists.find(id);
    const int32_t index = Selection(id);
    if (list == lists.end() || index < 0 || index >= static_cast<int32_t>(list->second.size()))
        return {};
    return list->second[static_cast<size_t>(index)];
}

// ----- The shared simulators ---------------------------------------------------------------------

std::vector<std::string> UnitOptions(const std::vector<SimUnit>& units) {
    std::vector<std::string> options;
    for (const SimUnit& unit : units) {
        const std::string node = std::to_string(unit.node);
        const int code = unit.inputs == 5 ? 2 : unit.inputs == 3 ? 3 : unit.inputs == 2 ? 4 : 1;
        options.insert(options.end(), {"--unit", node + ":" + std::to_string(code)});
        if (!unit.settings.empty())
            options.insert(options.end(), {"--settings", node + ":" + unit.settings});
        for (const auto& [input, value] : unit.counts)
            options.insert(options.end(),
                           {"--count", node + ":" + std::to_string(input) + ":" + value});
    }
    return options;
}

namespace {

std::map<std::vector<std::string>, std::unique_ptr<SharedSim>>& Sims() {
    static std::map<std::vector<std::string>, std::unique_ptr<SharedSim>> sims;
    return sims;
}

// What the cases wrote to the units stays in a simulator: a repeated run of the tests starts
// with fresh ones.
class FreshSimsEachRepetition : public testing::EmptyTestEventListener {
    void OnTestIterationStart(const testing::UnitTest&, int) override { Sims().clear(); }
};

const bool REGISTERED = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new FreshSimsEachRepetition);
    return true;
}();

}  // namespace

SharedSim& SharedSim::With(const std::vector<std::string>& options) {
    std::unique_ptr<SharedSim>& sim = Sims()[options];
    if (!sim || !sim->process->Started()) {
        sim = std::make_unique<SharedSim>();
        sim->log = TempPath("sim.log");
        std::vector<std::string> args = {"--listen", "127.0.0.1:0", "--log", sim->log};
        args.insert(args.end(), options.begin(), options.end());
        sim->process = std::make_unique<SimProcess>(args);
        EXPECT_TRUE(sim->process->Started()) << "velkor-sim did not start";
    }
    return *sim;
}

std::vector<std::string> SharedSim::Frames() const {
    return ReceivedFramesOfLog(FileText(log));
}

std::vector<std::string> SharedSim::CommandsSince(size_t from) const {
    std::vector<std::string> commands;
    const std::vector<std::string> frames = Frames();
    for (size_t i = from; i < frames.size(); ++i)
        commands.push_back(CommandOf(frames[i]));
    return commands;
}

size_t SharedSim::CountRequestsSince(size_t from) const {
    const std::vector<std::string> commands = CommandsSince(from);
    return static_cast<size_t>(std::count_if(commands.begin(), commands.end(),
                                             [](const auto& c) { return c.rfind("PG", 0) == 0; }));
}

int SharedSim::LogLines(const std::string& marker) const {
    std::istringstream lines(FileText(log));
    int found = 0;
    for (std::string line; std::getline(lines, line);)
        found += line.find(marker) != std::string::npos ? 1 : 0;
    return found;
}

// ----- The core
// ------------------------------------------------------------------------------------

CoreOnLoopback::CoreOnLoopback(int port, int32_t replyPolls) : core(view, session) {
    session.Timing().replyPollMs.store(5);
    session.Timing().replyPolls.store(replyPolls);
    core.OnInitDialog("Version 1.00");
    view.trace.clear();
    view.SetControlText(IDC_ADDRESS_EDIT, "127.0.0.1");
    view.SetControlText(IDC_TCP_PORT_EDIT, std::to_string(port));
}

bool CoreOnLoopback::Idle() const {
    return core.RunningWorkers() == 0 && core.HeldResults() == 0 &&
           core.CurrentOperation() == Operation::None;
}

bool CoreOnLoopback::Connect(int node) {
    view.SetControlText(IDC_NODE_EDIT, std::to_string(node));
    core.OnConnectButton();
    return view.RunUntil([this] { return Idle(); });
}

void CoreOnLoopback::ConnectUnit(SharedSim& sim, int node) {
    const size_t mark = sim.Frames().size();
    const int32_t handledBefore = core.CountUpdatesHandled();
    ASSERT_TRUE(Connect(node));
    ASSERT_EQ(core.ConnState(), Connected) << "node " << node;
    // The requests are on the wire already, so a short quiet spell with every logged request
    // answered means all.
    const auto allAnswered = [&] {
        return static_cast<size_t>(core.CountUpdatesHandled() - handledBefore) ==
               sim.CountRequestsSince(mark);
    };
    for (int quietChecks = 0; quietChecks < 3;) {
        ASSERT_TRUE(view.RunUntil(allAnswered)) << "count replies of the connection missing";
        view.Settle(20);
        quietChecks = allAnswered() ? quietChecks + 1 : 0;
    }
    view.trace.clear();
}

void CoreOnLoopback::SetReplyWaitMs(int32_t ms) {
    session.Timing().replyPolls.store(ms / session.Timing().replyPollMs.load());
}

int32_t CoreOnLoopback::Workers() const {
    return std::max(core.RunningWorkers(), core.CurrentOperation() != Operation::None ? 1 : 0);
}

bool CoreOnLoopback::ProgressEnded() {
    return !view.shown[IDC_PROGRESS_BAR] && view.shown[IDC_VERSION_TEXT];
}

void CoreOnLoopback::Press(int32_t id) {
    static const std::map<int32_t, void (DialogCore::*)()> HANDLERS = {
        {IDC_CONNECT_BUTTON, &DialogCore::OnConnectButton},
        {IDC_READ_SETTINGS_BUTTON, &DialogCore::OnReadSettings},
        {IDC_WRITE_SETTINGS_BUTTON, &DialogCore::OnApplySettings},
        {IDC_READ_COUNTS_BUTTON, &DialogCore::OnReadCounts},
        {IDC_START_STOP_BUTTON, &DialogCore::OnStartStop}};
    EXPECT_TRUE(view.enabled[id]) << "a click on disabled button " << id;
    if (view.enabled[id]) (core.*HANDLERS.at(id))();
}

void CoreOnLoopback::Click(int32_t id, bool checked) {
    if (view.IsChecked(id) == checked) return;
    EXPECT_TRUE(view.enabled[id]) << "a click on disabled control " << id;
    if (!view.enabled[id]) return;
    static const std::map<int32_t, int32_t> OTHER_OF_PAIR = {
        {IDC_LAN_RADIO, IDC_USB_RADIO},
        {IDC_USB_RADIO, IDC_LAN_RADIO},
        {IDC_SINGLE_PHASE_RADIO, IDC_TWO_PHASE_RADIO},
        {IDC_TWO_PHASE_RADIO, IDC_SINGLE_PHASE_RADIO},
        {IDC_X2_RADIO, IDC_X4_RADIO},
        {IDC_X4_RADIO, IDC_X2_RADIO}};
    view.SetChecked(id, checked);
    if (const auto other = OTHER_OF_PAIR.find(id); other != OTHER_OF_PAIR.end()) {
        view.SetChecked(other->second, false);
    }
    if (id == IDC_AUTO_UPDATE_CHECK) {
        core.OnAutoUpdate();
    } else if (id != IDC_CLEAR_SIGNAL_CHECK) {
        core.UpdateControls();
    }
}
