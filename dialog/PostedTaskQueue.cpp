#include "dialog/PostedTaskQueue.h"

void PostedTaskQueue::Post(std::function<void()> task, const std::function<void()>& wake) {
    std::lock_guard<std::mutex> lock(mutex);
    if (closed) return;
    tasks.push_back(std::move(task));
    wake();
}

void PostedTaskQueue::Close() {
    std::lock_guard<std::mutex> lock(mutex);
    closed = true;
    tasks.clear();
}

void PostedTaskQueue::RunNext() {
    std::function<void()> task;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (tasks.empty()) return;
        task = std::move(tasks.front());
        tasks.pop_front();
    }
    task();
}
