#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

// Steps at which a test can hold a worker (or the user-interface thread), named by what comes
// next.
enum class WorkerStep {
    ConnectStart,      // a connection worker starts: nothing is opened yet
    SettingsExchange,  // a settings worker starts its exchange
    WorkerEnd,         // a worker's exchange is over; it is about to post its end
    StartStopWait,     // start/stop: the user-interface thread is about to wait for the reply
};

// The dialog's worker threads. Workers never wait for the user-interface thread, so joining them
// there cannot deadlock.
class WorkerSet {
public:
    using StepHook = std::function<void(WorkerStep)>;

    WorkerSet() = default;
    WorkerSet(const WorkerSet&) = delete;
    WorkerSet& operator=(const WorkerSet&) = delete;
    ~WorkerSet();

    // Starts a worker; the threads of workers that have ended are joined first.
    void Start(std::function<void()> body);
    // Workers that have not yet ended; safe from any thread.
    int32_t Running() const { return running.load(); }
    // Calls `meanwhile` every few milliseconds until every worker has ended, then joins them.
    void JoinAll(const std::function<void()>& meanwhile);

    // A worker calls this when it reaches `step`; a test's hook may hold it there. The hook is
    // set before the worker starts and runs on the worker's thread.
    void Reach(WorkerStep step) const;
    void SetStepHook(StepHook hook) { stepHook = std::move(hook); }

private:
    void Reap();

    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::vector<Worker> workers;  // the thread that starts them only
    std::atomic<int32_t> running{0};
    StepHook stepHook;
};
