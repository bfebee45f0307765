// Micro-benchmarks of the row converter: bytes of input line per second for
// typical, quote-heavy and long lines, through the public ConvertLineToRow
// and through AppendRowOnDisk, which a run uses with a reused row buffer.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "row_converter.h"

namespace {

bool NoLeadBytes(unsigned char) { return false; }

// A fixed pseudo-random sequence, so every run measures the same lines.
class Sequence {
public:
    std::uint32_t Next(std::uint32_t bound) {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(m_state >> 33) % bound;
    }

private:
    std::uint64_t m_state = 42;
};

// Eight mixed fields, like a database export: numbers, names with a quoted
// comma, addresses, amounts, dates, flags and free text.
std::string TypicalLine(Sequence& seq, int number) {
    static const char* const kNames[] = {"\"Smith, Anna\"", "\"Nakamura, Hiro\"",
                                         "\"Rossi, Ines\""};
    static const char* const kCities[] = {"Berlin", "\"New York, NY\"", "Osaka", "Perth"};
    static const char* const kNotes[] = {"", "ok", "\"paid, thanks\"", "<b>VIP</b>"};
    return std::to_string(number) + "," + kNames[seq.Next(3)] + ",user" + std::to_string(number) +
           "@example.com," + kCities[seq.Next(4)] + "," + std::to_string(seq.Next(100000)) + "." +
           std::to_string(10 + seq.Next(90)) + ",2024-0" + std::to_string(1 + seq.Next(9)) + "-1" +
           std::to_string(seq.Next(10)) + "," + (seq.Next(2) ? "yes" : "no") + "," +
           kNotes[seq.Next(4)] + "\r\n";
}

// Every field quoted, most with commas and doubled quotes inside.
std::string QuoteHeavyLine(Sequence& seq) {
    std::string line;
    for (int field = 0; field < 8; ++field) {
        if (field > 0) line += ',';
        line += seq.Next(2) ? "\"a, \"\"b\"\", c\"" : "\"x,y,z\"";
    }
    return line + "\r\n";
}

std::vector<std::string> Lines(const char* kind) {
    Sequence seq;
    std::vector<std::string> lines;
    const std::string k = kind;
    for (int i = 0; i < 1000; ++i) {
        lines.push_back(k == "typical" ? TypicalLine(seq, i) : QuoteHeavyLine(seq));
    }
    return lines;
}

// One line of about `bytes` bytes: typical records joined by commas.
std::string LongLine(std::size_t bytes) {
    Sequence seq;
    std::string line;
    for (int i = 0; line.size() < bytes; ++i) {
        std::string record = TypicalLine(seq, i);
        record.resize(record.size() - 2);
        line += record + ",";
    }
    line.back() = '\r';
    return line + "\n";
}

std::int64_t TotalBytes(const std::vector<std::string>& lines) {
    std::int64_t total = 0;
    for (const std::string& line : lines) total += static_cast<std::int64_t>(line.size());
    return total;
}

void ConvertLines(benchmark::State& state, const std::vector<std::string>& lines) {
    for (auto _ : state) {
        for (const std::string& line : lines)
            benchmark::DoNotOptimize(ConvertLineToRow(line, NoLeadBytes));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * TotalBytes(lines));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines.size()));
}

void AppendLinesOnDisk(benchmark::State& state, const std::vector<std::string>& lines) {
    std::string row;
    for (auto _ : state) {
        for (const std::string& line : lines) {
            row.clear();
            AppendRowOnDisk(line, NoLeadBytes, row);
            benchmark::DoNotOptimize(row.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * TotalBytes(lines));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines.size()));
}

void BM_ConvertLineToRow_Typical(benchmark::State& state) { ConvertLines(state, Lines("typical")); }
void BM_ConvertLineToRow_QuoteHeavy(benchmark::State& state) {
    ConvertLines(state, Lines("quotes"));
}
void BM_ConvertLineToRow_Long(benchmark::State& state) {
    ConvertLines(state, {LongLine(static_cast<std::size_t>(state.range(0)))});
}
void BM_ConvertLineToRow_LongSingleCell(benchmark::State& state) {
    ConvertLines(state, {std::string(static_cast<std::size_t>(state.range(0)), 'x') + "\r\n"});
}
void BM_AppendRowOnDisk_Typical(benchmark::State& state) {
    AppendLinesOnDisk(state, Lines("typical"));
}
void BM_AppendRowOnDisk_QuoteHeavy(benchmark::State& state) {
    AppendLinesOnDisk(state, Lines("quotes"));
}

BENCHMARK(BM_ConvertLineToRow_Typical);
BENCHMARK(BM_ConvertLineToRow_QuoteHeavy);
BENCHMARK(BM_ConvertLineToRow_Long)->Arg(64 << 10)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_ConvertLineToRow_LongSingleCell)->Arg(1 << 20);
BENCHMARK(BM_AppendRowOnDisk_Typical);
BENCHMARK(BM_AppendRowOnDisk_QuoteHeavy);

}  // namespace

BENCHMARK_MAIN();
