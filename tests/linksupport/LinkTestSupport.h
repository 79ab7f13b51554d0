#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/LinkInternals.h"
#include "link/LinkSeams.h"
#include "link/LinkSession.h"
#include "link/LinkTiming.h"

// Polls `done` every 2 ms until it holds or `timeoutMs` has passed; whether it holds. Limits are
// generous: they only keep a broken test from hanging.
template <typename Condition>
bool WaitFor(Condition done, int timeoutMs = 5000) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A response handler that records every reply it is offered and accepts replies whose letters are
// lower case, the way the window's handler accepts the unit's answers.
class RecordingHandler {
public:
    struct Reply {
        std::string letters;  // bytes from the first reply letter, end byte excluded
        int32_t length;
    };

    static int Handle(void* self, const unsigned char* reply, int32_t length) {
        return static_cast<RecordingHandler*>(self)->Record(reply, length);
    }

    std::vector<Reply> Replies() {
        std::lock_guard<std::mutex> lock(mutex_);
        return replies_;
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex_);
        return replies_.size();
    }
    // Waits until `count` replies were offered.
    bool AwaitCount(size_t count, int timeoutMs = 5000) {
        return WaitFor([&] { return Count() >= count; }, timeoutMs);
    }

    // Written by the handler before it returns; read by the thread whose wait it ended.
    int32_t storedByLastReply = 0;

private:
    int Record(const unsigned char* reply, int32_t length) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string letters;
        if (length > 1) letters.assign(reinterpret_cast<const char*>(reply), length - 1);
        replies_.push_back({letters, length});
        const bool accepted = length >= 3 && reply[0] >= 'a' && reply[0] <= 'z';
        if (accepted) storedByLastReply = length;
        return accepted ? 1 : 0;
    }

    std::mutex mutex_;
    std::vector<Reply> replies_;
};

// The window's side of an exchange.
class TestHost : public ExchangeHost {
public:
    std::atomic<int32_t>& CountBusy() override { return countBusy; }
    std::atomic<int32_t>& AbortRequested() override { return abortRequested; }
    void ResetProgress() override { progressResets.fetch_add(1); }

    std::atomic<int32_t> countBusy{0};
    std::atomic<int32_t> abortRequested{0};
    std::atomic<int32_t> progressResets{0};
};

// A reply wait of `polls` passes of `pollMs` for `session`.
inline void ReplyWait(LinkSession& session, int32_t pollMs, int32_t polls) {
    session.Timing().replyPollMs = pollMs;
    session.Timing().replyPolls = polls;
}

inline double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// A wait in progress ends with the line's code long before its 60 s, and every send after it
// fails at once with the same code until the link is closed.
inline void ExpectWaitEndsAndSendsFail(LinkSession& session, TestHost& host,
                                       const std::function<void()>& endLine, int32_t code) {
    EXPECT_EQ(Internals(session).lastError.load(), 0) << "the idle line leaves no code behind";
    ReplyWait(session, 60000, 1);
    auto waiting = std::async(std::launch::async,
                              [&] { return SendCommand(session, host, IdentifyCommand()); });
    ASSERT_EQ(waiting.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    const auto start = std::chrono::steady_clock::now();
    endLine();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(waiting.get(), code);
    EXPECT_LT(MillisecondsSince(start), 5000.0);
    EXPECT_EQ(SendCommand(session, host, ReadSettingsCommand()), code);
    EXPECT_EQ(PostCommand(session, host, ReadCountCommand(0)), code);
    EXPECT_EQ(Internals(session).lastError.load(), code);
    CloseLink(session);
    EXPECT_EQ(Internals(session).state.load(), Idle);
}

// Takes the link's test hooks out again after a test set them.
class SeamGuard {
public:
    SeamGuard() = default;
    ~SeamGuard() {
        TheLinkSeams().hook = nullptr;
        TheLinkSeams().resolve = &getaddrinfo;
    }
    SeamGuard(const SeamGuard&) = delete;
    SeamGuard& operator=(const SeamGuard&) = delete;
};
