#pragma once

#include <atomic>
#include <cstdint>

// A signed 32-bit value that one thread stores whole while another thread reads it (the receive
// thread writes settings and counts that the user-interface thread shows). Relaxed on its own: the
// ordering between a reply's stores and the thread that waited for it comes from the release and
// acquire on the link's awaited-reply counter. Copyable, so records holding it stay plain values.
class SharedInt {
public:
    constexpr SharedInt(int32_t value = 0) noexcept : value_(value) {}
    SharedInt(const SharedInt& other) noexcept : value_(other.Load()) {}
    SharedInt& operator=(const SharedInt& other) noexcept {
        Store(other.Load());
        return *this;
    }
    SharedInt& operator=(int32_t value) noexcept {
        Store(value);
        return *this;
    }
    operator int32_t() const noexcept { return Load(); }

    int32_t Load() const noexcept { return value_.load(std::memory_order_relaxed); }
    void Store(int32_t value) noexcept { value_.store(value, std::memory_order_relaxed); }

private:
    std::atomic<int32_t> value_;
};
