// Turns at writing blocks in the order they were read, where a block whose
// turn has not come yet is parked rather than waited for: the thread that
// ends the turn before it writes it, and the thread that converted it goes
// on with the next block. So a thread that converts faster than the blocks
// before it are written is not kept idle while the other writes.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "turns.h"

// `Block` has a member `ticket`, the order it was read in. Wait(ticket)
// waits for a block never parked, or until a parked block has been written
// (its ticket + 1).
template <class Block>
class WritingTurns : public Turns {
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
        const std::uint64_t now = Advance();
        for (auto parked = m_parked.begin(); parked != m_parked.end(); ++parked) {
            if ((*parked)->ticket == now) {
                Block* const next = *parked;
                m_parked.erase(parked);
                return next;
            }
        }
        return nullptr;
    }

private:
    std::vector<Block*> m_parked;  // at most a few: one a thread; guarded by m_mutex
};
