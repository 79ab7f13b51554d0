// What the program costs against a bare Qt dialog of the same size: start-up, idle CPU
// disconnected and connected, resident memory, and the time a connection takes. Runs the program,
// the bare dialog and velkor-sim (loopback only) on a private Xvfb and prints each figure with its
// baseline, the ratio and the goal. The window counts as shown when its first frame is on the
// screen; the connection is made by typing into the window as an operator would (xdotool).
//
// Usage: velkor-idle-bench [--starts N] [--idle-seconds S] [--connects N] [--program PATH]
// (--program measures another build of the program, for instance an older one kept aside.)
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Process.h"
#include "SimLog.h"
#include "XDisplay.h"

namespace {

// The connection sequence waits 100 ms for each of its eight replies ("MD", "PY", five "PH", "PP").
constexpr double CONNECT_FLOOR_MS = 800;
// A window still busy with deferred start-up work is not idle yet.
constexpr auto SETTLE = std::chrono::seconds(3);
constexpr int WINDOW_TIMEOUT_MS = 15000;

struct Options {
    int starts = 7;
    int idleSeconds = 20;
    int connects = 5;
    std::string program = VELKOR_PATH;
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--program") {
            options.program = argv[i + 1];
            continue;
        }
        const int value = std::max(1, std::atoi(argv[i + 1]));
        if (name == "--starts") options.starts = value;
        if (name == "--idle-seconds") options.idleSeconds = value;
        if (name == "--connects") options.connects = value;
    }
    return options;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double CpuPercent(pid_t pid, int seconds) {
    const std::map<int, uint64_t> before = ThreadCpuNanoseconds(pid);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return CpuNanosecondsBetween(before, ThreadCpuNanoseconds(pid)) / (seconds * 1e9) * 100;
}

class Bench {
public:
    explicit Bench(const Options& options) : options(options) {
        env = {display.DisplayVariable(), "QT_QPA_PLATFORM=xcb"};
    }
    bool HasDisplay() const { return display.Started(); }
    int Run();

private:
    std::optional<XDisplay::Shown> Start(const std::vector<std::string>& argv);
    std::vector<std::string> BareDialog() const {
        return {BARE_DIALOG_PATH, std::to_string(width), std::to_string(height)};
    }
    void MeasureStarts();
    void MeasureBareIdle();
    void MeasureDisconnectedIdle();
    bool MeasureConnected();
    bool Key(const std::vector<std::string>& keys);
    bool Type(const std::string& text);
    std::optional<double> WaitForConnection(const std::string& log, int number);
    void Print() const;

    Options options;
    XDisplay display;
    std::vector<std::string> env;
    int width = 0;
    int height = 0;
    std::vector<double> programStarts, bareStarts;
    double bareCpu = 0, disconnectedCpu = 0, connectedCpu = 0;
    long bareRss = 0, connectedRss = 0;
    std::vector<double> connectMs;
};

std::optional<XDisplay::Shown> Bench::Start(const std::vector<std::string>& argv) {
    display.Drain();
    const long long start = SteadyNanoseconds();
    Process process(argv, env);
    return display.WaitForWindow(start, WINDOW_TIMEOUT_MS);
}

// Program and bare dialog take turns, so that a busy moment of the machine hits both alike.
void Bench::MeasureStarts() {
    const auto first = Start({options.program});  // also warms the file cache
    if (!first) return;
    width = first->width;
    height = first->height;
    for (int i = 0; i < options.starts; ++i) {
        if (const auto shown = Start({options.program})) programStarts.push_back(shown->paintedMs);
        if (const auto shown = Start(BareDialog())) bareStarts.push_back(shown->paintedMs);
    }
}

void Bench::MeasureBareIdle() {
    display.Drain();
    Process bare(BareDialog(), env);
    if (!display.WaitForWindow(SteadyNanoseconds(), WINDOW_TIMEOUT_MS)) return;
    std::this_thread::sleep_for(SETTLE);
    bareCpu = CpuPercent(bare.Pid(), options.idleSeconds);
    bareRss = ResidentKilobytes(bare.Pid());
}

void Bench::MeasureDisconnectedIdle() {
    display.Drain();
    Process program({options.program}, env);
    if (!display.WaitForWindow(SteadyNanoseconds(), WINDOW_TIMEOUT_MS)) return;
    std::this_thread::sleep_for(SETTLE);
    disconnectedCpu = CpuPercent(program.Pid(), options.idleSeconds);
}

bool Bench::Key(const std::vector<std::string>& keys) {
    std::vector<std::string> argv = {"xdotool", "key", "--delay", "30"};
    argv.insert(argv.end(), keys.begin(), keys.end());
    return Process(argv, env).Wait() == 0;
}

bool Bench::Type(const std::string& text) {
    return Process({"xdotool", "type", "--delay", "30", text}, env).Wait() == 0;
}

// Connection `number` is complete once the counts were answered and nothing follows for a while.
std::optional<double> Bench::WaitForConnection(const std::string& log, int number) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    double lastSeen = -1;
    int quietPolls = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::vector<ConnectionTimes> all = ReadConnections(log);
        if (static_cast<int>(all.size()) < number) continue;
        const ConnectionTimes& times = all[static_cast<size_t>(number - 1)];
        if (times.countReplies == 0) continue;
        quietPolls = times.lastFrameSeconds == lastSeen ? quietPolls + 1 : 0;
        lastSeen = times.lastFrameSeconds;
        if (quietPolls >= 5) return (times.lastFrameSeconds - times.acceptedSeconds) * 1000;
    }
    return std::nullopt;
}

// Types node 1, the simulator's address and port, and presses ConnectButton; then disconnects and
// connects again by the same button, and stays connected for the idle figures.
bool Bench::MeasureConnected() {
    char logTemplate[] = "/tmp/velkor-idle-bench-XXXXXX";
    const int logFd = mkstemp(logTemplate);
    if (logFd < 0) return false;
    close(logFd);
    const std::string log = logTemplate;
    Process sim({VELKOR_SIM_PATH, "--listen", "127.0.0.1:0", "--log", log}, {}, true);
    char portLine[16] = {};
    const ssize_t got = read(sim.Output(), portLine, sizeof portLine - 1);
    const std::string port = got > 0 ? std::string(portLine, static_cast<size_t>(got - 1)) : "";

    display.Drain();
    Process program({options.program}, env);
    const auto shown = display.WaitForWindow(SteadyNanoseconds(), WINDOW_TIMEOUT_MS);
    bool ok = shown && !port.empty();
    ok = ok &&
         Process({"xdotool", "windowfocus", "--sync", std::to_string(shown->window)}, env).Wait() ==
             0;
    // Focus starts in NodeEdit; Tab goes on to LanRadio, AddressEdit, TcpPortEdit and, past the
    // disabled PortCombo, to ConnectButton.
    ok = ok && Type("1") && Key({"Tab", "Tab"}) && Type("127.0.0.1") && Key({"Tab", "ctrl+a"}) &&
         Type(port) && Key({"Tab", "space"});
    for (int number = 1; ok && number <= options.connects; ++number) {
        if (number > 1) ok = Key({"space"}) && Key({"space"});  // disconnect, connect
        const std::optional<double> ms = ok ? WaitForConnection(log, number) : std::nullopt;
        if (ms) connectMs.push_back(*ms);
        ok = ms.has_value();
    }
    if (ok) {
        std::this_thread::sleep_for(SETTLE);
        connectedCpu = CpuPercent(program.Pid(), options.idleSeconds);
        connectedRss = ResidentKilobytes(program.Pid());
    }
    unlink(log.c_str());
    return ok;
}

void PrintRow(const char* figure, const std::string& program, const std::string& baseline,
              double ratio, const char* goal) {
    std::printf("%-44s %12s %18s %7.2f x   %s\n", figure, program.c_str(), baseline.c_str(), ratio,
                goal);
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void Bench::Print() const {
    const double programStart = Median(programStarts);
    const double bareStart = Median(bareStarts);
    const double connect = Median(connectMs);
    std::printf("Window %dx%d; %zu starts each; idle windows of %d s; %zu connections\n", width,
                height, programStarts.size(), options.idleSeconds, connectMs.size());
    std::printf("%-44s %12s %18s %9s   %s\n", "figure", "program", "baseline", "ratio", "goal");
    PrintRow("process start to window shown (median)", Format("%.1f ms", programStart),
             Format("%.1f ms bare", bareStart), programStart / bareStart, "<= 1.30 x bare");
    PrintRow("CPU while disconnected and idle", Format("%.3f %%", disconnectedCpu),
             Format("%.3f %% bare", bareCpu), disconnectedCpu / 0.1, "<= 0.100 % (ratio to it)");
    PrintRow("CPU while connected and idle", Format("%.3f %%", connectedCpu),
             Format("%.3f %% bare", bareCpu), connectedCpu / 0.3, "<= 0.300 % (ratio to it)");
    PrintRow("resident memory while connected", Format("%.1f MB", connectedRss / 1024.0),
             Format("%.1f MB bare", bareRss / 1024.0),
             bareRss > 0 ? static_cast<double>(connectedRss) / bareRss : 0, "<= 1.25 x bare");
    PrintRow("connect, accept to last frame (median)", Format("%.0f ms", connect),
             Format("%.0f ms floor", CONNECT_FLOOR_MS), connect / CONNECT_FLOOR_MS,
             "<= 1.03 x floor");
}

int Bench::Run() {
    MeasureStarts();
    if (programStarts.empty() || bareStarts.empty()) {
        std::fprintf(stderr, "no window was shown\n");
        return 1;
    }
    MeasureBareIdle();
    MeasureDisconnectedIdle();
    if (!MeasureConnected()) std::fprintf(stderr, "the connection could not be made\n");
    Print();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Bench bench(ParseOptions(argc, argv));
    if (!bench.HasDisplay()) {
        std::fprintf(stderr, "needs Xvfb (Debian package xvfb) and xdotool\n");
        return 2;
    }
    return bench.Run();
}
