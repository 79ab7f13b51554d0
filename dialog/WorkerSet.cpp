#include "dialog/WorkerSet.h"

#include <chrono>

WorkerSet::~WorkerSet() {
    for (Worker& worker : workers)
        worker.thread.join();
}

void WorkerSet::Start(std::function<void()> body) {
    Reap();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    running.fetch_add(1);
    workers.push_back({std::thread([this, body = std::move(body), finished] {
                           body();
                           // Finished before it stops counting as running: once none runs,
                           // every worker can be joined.
                           finished->store(true);
                           running.fetch_sub(1);
                       }),
                       finished});
}

void WorkerSet::Reap() {
    for (auto worker = workers.begin(); worker != workers.end();) {
        if (worker->finished->load()) {
            worker->thread.join();
            worker = workers.erase(worker);
        } else {
            ++worker;
        }
    }
}

void WorkerSet::JoinAll(const std::function<void()>& meanwhile) {
    while (running.load() > 0) {
        meanwhile();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Reap();
}

void WorkerSet::Reach(WorkerStep step) const {
    if (stepHook) stepHook(step);
}
