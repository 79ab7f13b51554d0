#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "device/PulseConfig.h"

// The count replies a front end waits for (the window instead shows each one as it comes). The
// receive thread notes each arrival; the waiting thread reads the counts once all have come.
class CountArrivals {
public:
    // A new read of the inputs whose bit is set in `indexes`; what came before is forgotten.
    void Expect(uint32_t indexes) {
        expected_ = indexes;
        undecoded_ = 0;
        arrived_.store(0);
    }
    // Receive thread. Release: the count stored before it is seen by the thread that waits.
    void Arrived(int32_t index, int32_t value) {
        if (index < 0 || index >= MAX_INPUTS) return;
        counts_[static_cast<size_t>(index)].store(value, std::memory_order_relaxed);
        arrived_.fetch_or(1u << index, std::memory_order_release);
    }
    // A count reply of another length: an answer all the same, without a count.
    void ArrivedUndecoded(int32_t index) {
        if (index < 0 || index >= MAX_INPUTS) return;
        undecoded_.fetch_or(1u << index);
        arrived_.fetch_or(1u << index, std::memory_order_release);
    }
    bool AllArrived() const {
        return (arrived_.load(std::memory_order_acquire) & expected_) == expected_;
    }
    bool AnyUndecoded() const { return (undecoded_.load() & expected_) != 0; }
    std::array<int32_t, MAX_INPUTS> Counts() const {
        std::array<int32_t, MAX_INPUTS> counts{};
        for (size_t i = 0; i < counts.size(); ++i)
            counts[i] = counts_[i].load(std::memory_order_relaxed);
        return counts;
    }

private:
    uint32_t expected_ = 0;  // the waiting thread's own
    std::atomic<uint32_t> arrived_{0};
    std::atomic<uint32_t> undecoded_{0};
    std::array<std::atomic<int32_t>, MAX_INPUTS> counts_{};
};
