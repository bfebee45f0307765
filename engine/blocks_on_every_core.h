// Rows made on every core: each thread in turn reads a block of whole
// lines, converts it, and writes its rows once the blocks read before it
// are written. A block stays with the thread that read it, so its bytes
// need not move between the cores' caches. Whatever is not a block (a long
// line, the end, a failure) is dealt with by the thread whose turn it is,
// with the reading held. So the output, the host and the reader are used by
// one thread at a time, in turn.
#pragma once

#include <atomic>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

#include "rows_outcome.h"
#include "text_mode.h"
#include "turns.h"

// The lines a thread converts at once, in the reader's blocks: few enough
// that they and their rows stay in the thread's core's cache.
constexpr std::size_t kBlocksOfLines = 2;

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

// `Job`, one for each thread, is made from `shared` and has
//   void Convert(TextLineReader::LineBlock& lines, bool first): outside any
//       turn; `first` when the lines are the input's first;
//   void Write(TextLineReader::LineBlock& lines): in turn, after Convert.
// `Shared`, a RunOfBlocks, has for its turns
//   void Other(TextLineReader::Lines read): whatever is not a block.
template <class Job, class Shared>
void ConvertBlocksOnEveryCore(TextLineReader& reader, Shared& shared) {
    std::atomic<std::uint64_t> nextTicket{0};
    Turns reading;
    Turns writing;
    const auto work = [&] {
        TextLineReader::LineBlock lines;
        Job job(shared);
        for (bool stop = false; !stop;) {
            const std::uint64_t ticket = nextTicket++;
            reading.Wait(ticket);
            TextLineReader::Lines read = TextLineReader::Lines::End;
            const bool readFitted = FitsInMemory([&] { read = reader.ReadLines(lines); });
            const bool block = read == TextLineReader::Lines::Block && readFitted;
            if (block) {
                reading.Pass();
                job.Convert(lines, ticket == 0);
            }
            writing.Wait(ticket);
            if (!shared.ended) {
                const bool fitted = readFitted && FitsInMemory([&] {
                                        if (block) {
                                            job.Write(lines);
                                        } else {
                                            shared.Other(read);
                                        }
                                    });
                if (!fitted) shared.OutOfMemory(block || !readFitted);
            }
            stop = shared.ended;
            writing.Pass();
            if (!block) reading.Pass();
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < std::thread::hardware_concurrency(); ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer threads do the same work
        }
    }
    work();
    for (std::thread& helper : helpers) helper.join();
}
