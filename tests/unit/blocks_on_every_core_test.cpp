#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "blocks_on_every_core.h"
#include "test_support.h"

namespace {

// Copies each block's lines to `written`, converting for a random while, so
// that threads fall out of step and blocks are left for another to write;
// the write that would pass `failAt` bytes ends the run.
class CopyingRun : public RunOfBlocks {
public:
    explicit CopyingRun(std::uint64_t& lines, std::size_t failAt = std::string::npos)
        : RunOfBlocks(lines), m_failAt(failAt) {}

    class Job {
    public:
        explicit Job(CopyingRun& run) : m_run(run) { ++run.jobs; }
        void Convert(TextLineReader::LineBlock& lines, bool /*first*/) {
            m_copy.assign(lines.Next(), lines.Size());
            std::this_thread::sleep_for(std::chrono::microseconds(m_random() % 4 == 0 ? 500 : 0));
        }
        void Write(TextLineReader::LineBlock& /*lines*/) {
            if (m_run.written.size() + m_copy.size() > m_run.m_failAt) {
                m_run.End(RowsOutcome::WriteFailed);
                return;
            }
            m_run.written += m_copy;
            ++m_run.blocks;
        }

    private:
        CopyingRun& m_run;
        std::string m_copy;
        std::minstd_rand m_random{std::random_device()()};
    };

    void Other(TextLineReader::Lines read) {
        if (read == TextLineReader::Lines::End) End(RowsOutcome::Complete);
    }

    std::string written;
    int blocks = 0;
    std::atomic<int> jobs{0};  // two for each thread that took part

private:
    std::size_t m_failAt;
};

// Blocks written by whichever thread ends the turn before them keep the
// input's order, every one once; after a failure nothing more is written.
TEST(BlocksOnEveryCore, BlocksAreWrittenInTheirOrderWhoeverWritesThem) {
    std::string input;
    for (int i = 0; i < 3000; ++i) input += "line " + std::to_string(i) + "\n";
    for (const unsigned threads : {1, 2, 4})
        for (const std::size_t failAt : {std::string::npos, input.size() / 2}) {
            SCOPED_TRACE(threads);
            MemoryInputFile file(input);
            TextLineReader reader(file, std::nullopt, 64);
            reader.GatherLines(64);
            std::uint64_t lines = 0;
            CopyingRun run(lines, failAt);
            ConvertBlocksOnEveryCore<CopyingRun::Job>(reader, run, threads);
            if (failAt == std::string::npos) {
                EXPECT_EQ(run.result.outcome, RowsOutcome::Complete);
                EXPECT_EQ(run.written, input);
            } else {
                EXPECT_EQ(run.result.outcome, RowsOutcome::WriteFailed);
                EXPECT_EQ(run.written, input.substr(0, run.written.size()));
                EXPECT_LE(run.written.size(), failAt);
            }
            EXPECT_GT(run.blocks, 100);
            EXPECT_EQ(run.jobs, 2 * static_cast<int>(threads));
        }
}

// An input of one block is converted on the calling thread alone: helpers
// start with the second block.
TEST(BlocksOnEveryCore, OneBlockStartsNoHelper) {
    const std::string input = "one block\n";
    MemoryInputFile file(input);
    TextLineReader reader(file, std::nullopt, 64);
    reader.GatherLines(64);
    std::uint64_t lines = 0;
    CopyingRun run(lines);
    ConvertBlocksOnEveryCore<CopyingRun::Job>(reader, run, 4);
    EXPECT_EQ(run.written, input);
    EXPECT_EQ(run.jobs, 2);
}

}  // namespace
