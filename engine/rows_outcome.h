// How the writing of a run's rows ended, whichever way they were made.
#pragma once

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

enum class RowsOutcome { Complete, WriteFailed, ReadFailed, QuoteNotClosed, OutOfMemory };

struct RowsResult {
    RowsOutcome outcome = RowsOutcome::Complete;
    std::string readError;            // the system's reason, for ReadFailed
    std::uint64_t openQuoteLine = 0;  // for QuoteNotClosed
};

// Runs `work`, and tells whether it fitted in memory: a line or its row
// that did not is freed by the time this returns, and a string longer than
// one can be (a 32-bit build's limit) counts as not fitting.
template <class Work>
bool FitsInMemory(Work&& work) {
    try {
        work();
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return false;
}
