// --progress: one line on standard error, rewritten in place at most ten
// times a second, with the bytes read (and the share of the input, when its
// size is known), the rows written, the speed and the time; and a final line
// when the run ends. It watches the run's input and output from outside,
// so the conversion itself is the same with it as without it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform_file.h"
#include "table_output.h"

class ProgressMeter {
public:
    explicit ProgressMeter(std::FILE* out);

    // The input and the output of the run, counted as they are used.
    std::unique_ptr<InputFile> Watch(std::unique_ptr<InputFile> input);
    std::unique_ptr<TableOutput> Watch(std::unique_ptr<TableOutput> output);

    // Called from any thread: a run on every core reads on one thread while
    // another writes, or reports a failure.
    void BytesRead(std::size_t bytes);
    void RowsWritten(std::uint64_t rows) { m_rows.fetch_add(rows, std::memory_order_relaxed); }
    // Shows the final line and ends it; later calls do nothing.
    void Finish();

private:
    using Clock = std::chrono::steady_clock;
    void Show(Clock::time_point now, bool final);

    std::FILE* m_out;
    const Clock::time_point m_start;
    Clock::time_point m_shown;
    std::optional<std::uint64_t> m_total;
    std::uint64_t m_bytes = 0;
    std::atomic<std::uint64_t> m_rows{0};
    std::mutex m_mutex;  // for the line shown and what it is made of
    std::size_t m_shownLength = 0;
    bool m_finished = false;
};
