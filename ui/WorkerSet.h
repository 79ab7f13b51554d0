#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

// Steps at which a worker can be held by a test, named by what the worker is about to do.
enum class WorkerStep {
    SettingsExchange,  // a settings worker has locked its buttons and starts its exchange
    SettingsUnlock,    // a settings worker's exchange is over; it gives the buttons back
    ConnectCounts,     // connecting: the settings are read, the counts are about to be requested
    ConnectEnd,        // connecting: the attempt is over, its end is about to be shown
    StartStopWait,     // start/stop: the user-interface thread is about to wait for the reply
};

// The dialog's worker threads (connection attempt, settings read or write). Workers drive the
// controls through blocking calls on the user-interface thread, so whoever waits for them there
// must keep serving that thread's events meanwhile.
class WorkerSet {
public:
    using StepHook = std::function<void(WorkerStep)>;

    WorkerSet() = default;
    WorkerSet(const WorkerSet&) = delete;
    WorkerSet& operator=(const WorkerSet&) = delete;
    ~WorkerSet();

    // Starts a worker; the threads of workers that have ended are joined first.
    void Start(std::function<void()> body);
    // Joins the workers that have ended.
    void Reap();
    // Workers that have not yet ended; safe from any thread.
    int32_t Running() const { return running.load(); }
    // Serves the user-interface thread's events, calling `meanwhile` between rounds, until every
    // worker has ended, then joins them all.
    void WaitServingEvents(const std::function<void()>& meanwhile);

    // A worker calls this when it reaches `step`; a test's hook may hold it there. The hook is
    // set before the worker starts and runs on the worker's thread.
    void Reach(WorkerStep step) const;
    void SetStepHook(StepHook hook) { stepHook = std::move(hook); }

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::vector<Worker> workers;  // the thread that starts them only
    std::atomic<int32_t> running{0};
    StepHook stepHook;
};
