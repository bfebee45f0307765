// Turns at writing blocks in the order they were read, where a block whose
// turn has not come yet is parked rather than waited for: the thread that
// ends the turn before it writes it, and the thread that converted it goes
// on with the next block. So a thread that converts faster than the blocks
// before it are written is not kept idle while the other writes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// `Block` has a member `ticket`, the order it was read in.
template <class Block>
class WritingTurns {
public:
    // True when it is `block`'s turn: the caller writes it, then calls Pass.
    // Otherwise it is parked until the turn before it ends.
    bool TakeOrPark(Block& block) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_now.load() == block.ticket) return true;
        m_parked.push_back(&block);
        return false;
    }

    // Ends the turn being taken. Returns the parked block whose turn it is
    // now, for the caller to write and Pass in turn, or null.
    Block* Pass() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const std::uint64_t now = m_now.load() + 1;
        m_now.store(now);
        if (m_sleepers > 0) m_passed.notify_all();
        for (auto parked = m_parked.begin(); parked != m_parked.end(); ++parked) {
            if ((*parked)->ticket == now) {
                Block* const next = *parked;
                m_parked.erase(parked);
                return next;
            }
        }
        return nullptr;
    }

    // Waits until the turns have reached `ticket`: a block never parked may
    // then be written, and every block read before it has been.
    void WaitFor(std::uint64_t ticket) {
        // Mostly the turn comes within the time it takes to convert a block,
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

private:
    static constexpr int kSpins = 500;

    std::atomic<std::uint64_t> m_now{0};
    std::mutex m_mutex;  // guards the rest, and every change of m_now
    std::condition_variable m_passed;
    int m_sleepers = 0;
    std::vector<Block*> m_parked;  // at most a few: one a thread
};
