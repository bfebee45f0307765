// Threads taking turns in the order of their tickets: the holder of ticket
// k goes on once tickets 0 to k - 1 have had theirs. So blocks converted
// side by side are still read and written in order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class Turns {
public:
    // Waits until the turns have reached `ticket`.
    void Wait(std::uint64_t ticket) {
        // A turn mostly comes within the time it takes to convert a block,
        // so it is waited for busily first: that takes no system call, and
        // under Wine no trip to its server.
        for (int spin = 0; spin < kSpins; ++spin) {
            if (m_now.load() >= ticket) return;
            std::this_thread::yield();
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_sleepers;
        m_passed.wait(lock, [this, ticket] { return m_now.load() >= ticket; });
        --m_sleepers;
    }

    // Ends the turn of the ticket waited for last.
    void Pass() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Advance();
    }

protected:
    // Moves the turns on by one and returns the ticket whose turn it is now;
    // with m_mutex held.
    std::uint64_t Advance() {
        const std::uint64_t now = m_now.load() + 1;
        m_now.store(now);
        if (m_sleepers > 0) m_passed.notify_all();
        return now;
    }

    std::atomic<std::uint64_t> m_now{0};
    std::mutex m_mutex;  // guards m_sleepers and every change of m_now

private:
    static constexpr int kSpins = 500;

    std::condition_variable m_passed;
    int m_sleepers = 0;
};
