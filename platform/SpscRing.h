#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace platform {

// Bounded single-producer/single-consumer ring. The producer side takes no
// lock, allocates nothing and never blocks, so a worker reading the line can
// hand over every frame without ever waiting on the window. When the
// consumer falls behind, new items are dropped and counted.
//
// head_ is written by the producer only, tail_ by the consumer only. Both
// run freely and wrap modulo 2^N; head_ - tail_ is the number of items held.
// A release store of an index publishes the slot work done before it to the
// other side's acquire load.
template <typename T, std::size_t Capacity>
class SpscRing {
    static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0, "Capacity must be a power of two");
    static_assert(std::is_trivially_copyable_v<T>, "items are copied in and out of the slots");
    static_assert(std::atomic<std::size_t>::is_always_lock_free && std::atomic<std::uint64_t>::is_always_lock_free,
                  "the producer must never wait on a lock");

public:
    // Producer: false when the ring is full; the item is then dropped and
    // counted in Overflows().
    bool TryPush(const T& item) noexcept {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head - tail_.load(std::memory_order_acquire) == Capacity) {
            overflows_.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        slots_[head & kMask] = item;
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

    // Consumer: hands at most `most` items to consume(const T&), oldest
    // first, and returns how many. Each slot is given back to the producer
    // before its item is consumed, so a slow consumer holds no slot.
    template <typename F>
    std::size_t Drain(F&& consume, std::size_t most = SIZE_MAX) {
        std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::size_t head = head_.load(std::memory_order_acquire);
        std::size_t count = 0;
        while (tail != head && count < most) {
            const T item = slots_[tail & kMask];
            tail_.store(++tail, std::memory_order_release);
            ++count;
            consume(static_cast<const T&>(item));
        }
        return count;
    }

    // Items held; exact on either side when the other side is idle.
    std::size_t Size() const noexcept {
        // tail_ first: head_ read after it is never behind it.
        const std::size_t tail = tail_.load(std::memory_order_acquire);
        const std::size_t head = head_.load(std::memory_order_acquire);
        const std::size_t held = head - tail;
        return held < Capacity ? held : Capacity;
    }

    // Items dropped because the ring was full, since construction.
    std::uint64_t Overflows() const noexcept { return overflows_.load(std::memory_order_relaxed); }

    static constexpr std::size_t kCapacity = Capacity;

private:
    static constexpr std::size_t kMask = Capacity - 1;
    // Each index on a cache line of its own: the two sides write them
    // constantly.
    static constexpr std::size_t kLine = 64;

    alignas(kLine) std::atomic<std::size_t> head_{0};
    alignas(kLine) std::atomic<std::size_t> tail_{0};
    alignas(kLine) std::atomic<std::uint64_t> overflows_{0};
    alignas(kLine) std::array<T, Capacity> slots_{};
};

}  // namespace platform
