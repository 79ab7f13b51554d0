// Measures the receive path, the command round trip and closing of a link over loopback TCP, how
// long a connection the gateway closes takes to end a reply wait, and what a connected idle link
// costs, and prints the figures.
// Usage: link_bench [frames] [round trips] [closes] [idle seconds]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "link/LinkSession.h"

namespace {

using Clock = std::chrono::steady_clock;

// The unit's end: a loopback listener and the one connection the session makes to it.
struct Peer {
    int listener = -1;
    int connection = -1;
    std::string port;

    Peer() {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(listener, reinterpret_cast<sockaddr*>(&address), size);
        listen(listener, 1);
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        port = std::to_string(ntohs(address.sin_port));
    }
    ~Peer() {
        close(connection);
        close(listener);
    }
    void Accept() {
        if (connection >= 0) close(connection);
        connection = accept(listener, nullptr, nullptr);
    }
};

struct Counter {
    std::atomic<int64_t> frames{0};
    static int Handle(void* self, const unsigned char*, int32_t) {
        static_cast<Counter*>(self)->frames.fetch_add(1, std::memory_order_relaxed);
        return 1;
    }
};

struct Host : ExchangeHost {
    std::atomic<int32_t> busy{0}, abort{0};
    std::atomic<int32_t>& CountBusy() override { return busy; }
    std::atomic<int32_t>& AbortRequested() override { return abort; }
    void ResetProgress() override {}
};

bool Open(LinkSession& session, Peer& peer, Counter& counter) {
    LinkRoute route;
    route.kind = Tcp;
    route.host = "127.0.0.1";
    route.service = peer.port;
    if (OpenLink(session, route, &Counter::Handle, &counter) != 0) return false;
    SelectNode(session, 1);
    peer.Accept();
    return true;
}

// Count replies pushed as fast as the peer can write them, through framing, dispatch and handler.
void MeasureReceivePath(int64_t frames) {
    Peer peer;
    LinkSession session;
    Counter counter;
    if (!Open(session, peer, counter)) return;
    std::string reply = "01pg 0000000A";
    reply += static_cast<char>(FRAME_END);
    std::string burst;
    for (int i = 0; i < 1000; ++i)
        burst += reply;

    const auto start = Clock::now();
    std::thread writer([&] {
        for (int64_t sent = 0; sent < frames; sent += 1000) {
            send(peer.connection, burst.data(), burst.size(), MSG_NOSIGNAL);
        }
    });
    while (counter.frames.load() < frames)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    writer.join();
    std::printf(
        "receive path: %lld \"pg\" frames (%zu bytes each) in %.3f s: %.0f frames/s, %.2f MB/s\n",
        static_cast<long long>(frames), reply.size(), seconds, frames / seconds,
        frames * reply.size() / seconds / 1e6);
    DetachReplyTarget(session, &counter);
    CloseLink(session);
}

// SendCommand against a peer that answers every command at once.
void MeasureRoundTrip(int trips) {
    Peer peer;
    LinkSession session;
    Counter counter;
    Host host;
    if (!Open(session, peer, counter)) return;
    std::atomic<bool> done{false};
    std::thread unit([&] {
        std::string reply = "01pp(";
        reply += static_cast<char>(FRAME_END);
        unsigned char byte = 0;
        while (!done.load() && recv(peer.connection, &byte, 1, 0) == 1) {
            if (byte == FRAME_END) send(peer.connection, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
    });
    std::vector<double> times;
    for (int i = 0; i < trips; ++i) {
        const auto start = Clock::now();
        if (SendCommand(session, host, ReadStateCommand()) != 0)
            std::printf("round trip %d failed\n", i);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    double sum = 0, worst = 0;
    for (double t : times) {
        sum += t;
        worst = std::max(worst, t);
    }
    std::printf(
        "SendCommand round trip: %d exchanges, mean %.1f ms, worst %.1f ms "
        "(the reply wait looks every 100 ms)\n",
        trips, sum / trips, worst);
    done = true;
    DetachReplyTarget(session, &counter);
    CloseLink(session);
    unit.join();
}

// CloseLink while a thread keeps sending: the close waits out the send under way.
void MeasureClose(int closes) {
    Peer peer;
    LinkSession session;
    Counter counter;
    std::vector<double> times;
    for (int i = 0; i < closes; ++i) {
        if (!Open(session, peer, counter)) return;
        std::atomic<bool> done{false};
        std::thread sender([&] {
            Host host;
            while (!done.load())
                PostCommand(session, host, ReadCountCommand(0));
        });
        const auto start = Clock::now();
        CloseLink(session);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        done = true;
        sender.join();
    }
    double sum = 0, worst = 0;
    for (double t : times) {
        sum += t;
        worst = std::max(worst, t);
    }
    std::printf("CloseLink while sending: %d closes, mean %.1f ms, worst %.1f ms\n", closes,
                sum / closes, worst);
}

// The gateway closes the connection while a command waits for its reply (10 s at most).
void MeasureClosedConnection(int closes) {
    std::vector<double> times;
    int32_t code = 0;
    for (int i = 0; i < closes; ++i) {
        Peer peer;
        LinkSession session;
        Counter counter;
        Host host;
        if (!Open(session, peer, counter)) return;
        std::thread unit([&] {
            unsigned char byte = 0;
            while (recv(peer.connection, &byte, 1, 0) == 1 && byte != FRAME_END) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            close(peer.connection);
            peer.connection = -1;
        });
        const auto sent = Clock::now();
        code = SendCommand(session, host, IdentifyCommand());
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        times.push_back(ms - 50.0);
        unit.join();
        DetachReplyTarget(session, &counter);
        CloseLink(session);
    }
    double sum = 0, worst = 0;
    for (double t : times) {
        sum += t;
        worst = std::max(worst, t);
    }
    std::printf(
        "closed connection ending a reply wait: %d waits, mean %.1f ms, worst %.1f ms after the "
        "close, result %d\n",
        closes, sum / closes, worst, code);
}

// Voluntary and involuntary context switches of every thread of this process so far: each is a
// wake-up of a thread that slept, or a thread taken off the processor.
int64_t ContextSwitches() {
    int64_t total = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream status(task.path() / "status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                total += std::atoll(line.substr(line.find(':') + 1).c_str());
        }
    }
    return total;
}

// CPU time of the whole process (user and system), in seconds.
double ProcessCpuSeconds() {
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return cpu.tv_sec + cpu.tv_nsec / 1e9;
}

// A connected link with nothing to do: what its threads cost while the program waits.
void MeasureConnectedIdle(int seconds) {
    Peer peer;
    LinkSession session;
    Counter counter;
    if (!Open(session, peer, counter)) return;
    std::this_thread::sleep_for(std::chrono::seconds(1));  // past the opening
    const int64_t switches = ContextSwitches();
    const double cpu = ProcessCpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double used = ProcessCpuSeconds() - cpu;
    // The sleeping main thread itself wakes once, at the end of its sleep.
    const int64_t woke = ContextSwitches() - switches - 1;
    std::printf(
        "connected idle over %d s: CPU %.4f %% of a core, %.2f wake-ups/s (goal 0.05 %%, 2/s)\n",
        seconds, used / seconds * 100.0, static_cast<double>(woke) / seconds);
    DetachReplyTarget(session, &counter);
    CloseLink(session);
}

}  // namespace

int main(int argc, char** argv) {
    const int64_t frames = argc > 1 ? std::atoll(argv[1]) : 200000;
    const int trips = argc > 2 ? std::atoi(argv[2]) : 20;
    const int closes = argc > 3 ? std::atoi(argv[3]) : 20;
    const int idleSeconds = argc > 4 ? std::atoi(argv[4]) : 60;
    MeasureReceivePath(frames);
    MeasureRoundTrip(trips);
    MeasureClose(closes);
    MeasureClosedConnection(std::min(closes, 5));
    if (idleSeconds > 0) MeasureConnectedIdle(idleSeconds);
    return 0;
}
