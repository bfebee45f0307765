// Threads taking turns in the order of their tickets: the holder of ticket
// k goes on once tickets 0 to k - 1 have had theirs. So blocks converted
// side by side are still written in the order they were read.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

class Turns {
public:
    void Wait(std::uint64_t ticket) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_passed.wait(lock, [this, ticket] { return m_now == ticket; });
    }
    // Ends the turn of the ticket waited for last.
    void Pass() {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            ++m_now;
        }
        m_passed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_passed;
    std::uint64_t m_now = 0;
};
