#include "progress_meter.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>

namespace {

constexpr auto kInterval = std::chrono::milliseconds(100);

class WatchedInput final : public InputFile {
public:
    WatchedInput(std::unique_ptr<InputFile> input, ProgressMeter& meter)
        : m_input(std::move(input)), m_meter(meter) {}

    ReadStatus Read(char* buffer, std::size_t capacity, std::size_t& got) override {
        const ReadStatus status = m_input->Read(buffer, capacity, got);
        if (status == ReadStatus::Data) m_meter.BytesRead(got);
        return status;
    }
    std::optional<std::uint64_t> SizeAtOpen() const override { return m_input->SizeAtOpen(); }
    std::optional<FileIdentity> Identity() const override { return m_input->Identity(); }

private:
    std::unique_ptr<InputFile> m_input;
    ProgressMeter& m_meter;
};

// Passes everything on, so that the run is the same as without it (on
// every core, rows in pieces), and counts the rows the run says it ended.
class WatchedOutput final : public TableOutput {
public:
    WatchedOutput(std::unique_ptr<TableOutput> output, ProgressMeter& meter)
        : m_output(std::move(output)), m_meter(meter) {}

    bool Write(std::string_view piece) override { return m_output->Write(piece); }
    bool Finish() override { return m_output->Finish(); }
    bool TakesPartRows() const override { return m_output->TakesPartRows(); }
    void WriteBehind() override { m_output->WriteBehind(); }
    void RowsEnded(std::uint64_t rows) override { m_meter.RowsWritten(rows); }
    char* Room(std::size_t bytes) override { return m_output->Room(bytes); }
    bool Commit(const char* end) override { return m_output->Commit(end); }

private:
    std::unique_ptr<TableOutput> m_output;
    ProgressMeter& m_meter;
};

std::string Megabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

}  // namespace

ProgressMeter::ProgressMeter(std::FILE* out)
    : m_out(out), m_start(Clock::now()), m_shown(m_start) {}

std::unique_ptr<InputFile> ProgressMeter::Watch(std::unique_ptr<InputFile> input) {
    m_total = input->SizeAtOpen();
    return std::make_unique<WatchedInput>(std::move(input), *this);
}

std::unique_ptr<TableOutput> ProgressMeter::Watch(std::unique_ptr<TableOutput> output) {
    return std::make_unique<WatchedOutput>(std::move(output), *this);
}

void ProgressMeter::BytesRead(std::size_t bytes) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_bytes += bytes;
    const Clock::time_point now = Clock::now();
    // Nothing after the final line, which a failure's message may follow.
    if (!m_finished && now - m_shown >= kInterval) Show(now, false);
}

void ProgressMeter::Finish() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_finished) return;
    Show(Clock::now(), true);
    m_finished = true;
}

void ProgressMeter::Show(Clock::time_point now, bool final) {
    m_shown = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    std::string line = "read " + Megabytes(m_bytes);
    if (m_total) {
        const std::uint64_t share =
            *m_total > 0 ? std::min<std::uint64_t>(100, m_bytes * 100 / *m_total) : 100;
        line += " of " + Megabytes(*m_total) + " (" + std::to_string(share) + "%)";
    }
    char rest[96];
    std::snprintf(rest, sizeof rest, ", %llu rows, %.1f MB/s, %.1f s",
                  static_cast<unsigned long long>(m_rows.load(std::memory_order_relaxed)),
                  static_cast<double>(m_bytes) / 1e6 / std::max(seconds, 1e-3), seconds);
    line += rest;
    // Blanks clear what is left of a longer line shown before.
    const std::size_t length = line.size();
    if (length < m_shownLength) line.append(m_shownLength - length, ' ');
    m_shownLength = length;
    line.insert(0, 1, '\r');
    if (final) line += '\n';
    std::fwrite(line.data(), 1, line.size(), m_out);
    std::fflush(m_out);
}
