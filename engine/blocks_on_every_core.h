// Rows made on every core: each thread in turn reads a block of whole
// lines and converts it, and the blocks' rows are written in the order the
// blocks were read. A thread whose block cannot be written yet leaves it
// for the thread that writes the block before it and goes on with the next,
// so the faster thread (on a core that is not shared, say) converts more of
// the blocks. Whatever is not a block (a long line, the end, a failure) is
// dealt with by the thread whose turn it is, with the reading held. So the
// output, the host and the reader are used by one thread at a time, in turn.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "rows_outcome.h"
#include "text_mode.h"
#include "turns.h"
#include "writing_turns.h"

// The lines a thread converts at once, in the reader's blocks: few enough
// that they and their rows stay in the thread's core's cache.
constexpr std::size_t kBlocksOfLines = 2;

// Threads beyond this many would add memory (two blocks and their rows
// each, about 0.8 MiB) and hand-overs, not speed: reading and writing take
// turns, and writing alone is about 40% of a run's work.
constexpr unsigned kMostThreads = 8;

// A line that reaches this size before its LF is read in pieces of it, when
// the run's dialect can convert a line as it comes.
constexpr std::size_t kLongLinePiece = std::size_t{64} * 1024;

// What every run of blocks shares with the loop below: whether it has
// ended and how, and the number of the line a failure is reported at.
class RunOfBlocks {
public:
    explicit RunOfBlocks(std::uint64_t& lineNumber) : m_lineNumber(lineNumber) {}

    // Memory ran out; `atNextLine` when reading or writing a block, where
    // the line after those written is the one that did not fit, rather than
    // where a line being dealt with has been counted already.
    void OutOfMemory(bool atNextLine) {
        if (atNextLine) ++m_lineNumber;
        End(RowsOutcome::OutOfMemory);
    }

    bool ended = false;
    RowsResult result;

protected:
    void End(RowsOutcome outcome) {
        ended = true;
        result.outcome = outcome;
    }

    std::uint64_t& m_lineNumber;
};

// `Job`, two for each thread, is made from `shared` and has
//   void Convert(TextLineReader::LineBlock& lines, bool first): outside any
//       turn; `first` when the lines are the input's first;
//   void Write(TextLineReader::LineBlock& lines): in turn, after Convert,
//       on whichever thread ends the turn before it.
// `Shared`, a RunOfBlocks, has for its turns
//   void Other(TextLineReader::Lines read): whatever is not a block.
// One thread a core, up to kMostThreads, unless `threads` says otherwise.
template <class Job, class Shared>
void ConvertBlocksOnEveryCore(TextLineReader& reader, Shared& shared, unsigned threads = 0) {
    // A block of lines with the job that converts and writes it.
    struct Slot {
        explicit Slot(Shared& run) : job(run) {}
        TextLineReader::LineBlock lines;
        Job job;
        std::uint64_t ticket = 0;
        bool parked = false;  // the owner's note that another thread writes it
    };
    std::atomic<std::uint64_t> nextTicket{0};
    std::atomic<bool> stopping{false};
    Turns reading;
    WritingTurns<Slot> writing;
    // Writes `slot` in its turn, and then each parked block whose turn follows.
    const auto writeInTurn = [&](Slot* slot) {
        do {
            if (!shared.ended && !FitsInMemory([&] { slot->job.Write(slot->lines); })) {
                shared.OutOfMemory(true);
            }
            if (shared.ended) stopping = true;
            slot = writing.Pass();
        } while (slot != nullptr);
    };
    // Helpers start when a block follows the first: a small input is
    // converted without them, and starting a thread costs milliseconds under
    // Wine. Emptied before any helper exists, so only the first thread ever
    // finds it set.
    std::vector<std::thread> helpers;
    std::function<void()> startHelpers;
    const auto work = [&] {
        // Two blocks a thread: one can wait for its turn while the next is
        // read and converted.
        Slot slots[2] = {Slot(shared), Slot(shared)};
        Slot* slot = &slots[0];
        while (!stopping) {
            // A slot is used again once its block has been written.
            if (slot->parked) writing.Wait(slot->ticket + 1);
            slot->parked = false;
            const std::uint64_t ticket = nextTicket++;
            slot->ticket = ticket;
            reading.Wait(ticket);
            TextLineReader::Lines read = TextLineReader::Lines::End;
            const bool readFitted = FitsInMemory([&] { read = reader.ReadLines(slot->lines); });
            if (read == TextLineReader::Lines::Block && readFitted) {
                reading.Pass();
                if (ticket > 0 && startHelpers) std::exchange(startHelpers, nullptr)();
                slot->job.Convert(slot->lines, ticket == 0);
                if (writing.TakeOrPark(*slot)) {
                    writeInTurn(slot);
                } else {
                    slot->parked = true;
                    slot = slot == &slots[0] ? &slots[1] : &slots[0];
                }
                continue;
            }
            // Anything else is dealt with in turn, with the reading held: no
            // block after it has been read, so none is parked behind it.
            writing.Wait(ticket);
            if (!shared.ended && !(readFitted && FitsInMemory([&] { shared.Other(read); }))) {
                shared.OutOfMemory(!readFitted);
            }
            if (shared.ended) stopping = true;
            writing.Pass();
            reading.Pass();
        }
        // Another thread may still be writing a parked block from a slot here.
        for (const Slot& owned : slots) {
            if (owned.parked) writing.Wait(owned.ticket + 1);
        }
    };
    if (threads == 0) threads = std::min(std::thread::hardware_concurrency(), kMostThreads);
    startHelpers = [&] {
        for (unsigned i = 1; i < threads; ++i) {
            try {
                helpers.emplace_back(work);
            } catch (const std::system_error&) {
                break;  // fewer threads do the same work
            }
        }
    };
    work();
    for (std::thread& helper : helpers) helper.join();
}
