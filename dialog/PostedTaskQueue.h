#pragma once

#include <deque>
#include <functional>
#include <mutex>

// The tasks that workers hand to the user-interface thread, oldest first. Both views keep one:
// the queue's lock is the one handover between the threads, and each posted task gets exactly
// one wake-up of the user-interface thread, which then runs the oldest task.
class PostedTaskQueue {
public:
    // Any thread: queues `task` and asks `wake` (under the lock, so it never races `Close`) for
    // one later call of RunNext on the user-interface thread. Dropped after Close.
    void Post(std::function<void()> task, const std::function<void()>& wake);
    // The window is gone: what is queued and what is posted later is dropped.
    void Close();
    // User-interface thread: runs the oldest task, if one is left.
    void RunNext();

private:
    std::mutex mutex;
    std::deque<std::function<void()>> tasks;
    bool closed = false;
};
