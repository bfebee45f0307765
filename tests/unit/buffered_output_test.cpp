#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "buffered_output.h"
#include "conversion_run.h"
#include "messages.h"
#include "test_support.h"

namespace {

const Message kWriteError{messages::kSaveToFile, messages::kErrorWritingFile};
const Message kDone{messages::kDone, messages::kDone};

// What the output did to its file: every write call, and whether the file
// was closed. It accepts `capacity` bytes and fails any write beyond them.
struct FileLog {
    int opens = 0;
    std::vector<std::string> writes;
    std::vector<std::thread::id> writers;  // the thread of each write
    std::string content;
    bool closed = false;
    std::size_t capacity = static_cast<std::size_t>(-1);
    bool failClose = false;
};

class LoggingFile final : public OutputFile {
public:
    explicit LoggingFile(FileLog& log) : m_log(log) {}
    bool Write(const char* data, std::size_t size) override {
        m_log.writes.emplace_back(data, size);
        m_log.writers.push_back(std::this_thread::get_id());
        const std::size_t room = m_log.capacity - m_log.content.size();
        m_log.content.append(data, std::min(size, room));
        return size <= room;
    }
    bool Close() override {
        m_log.closed = true;
        return !m_log.failClose;
    }

private:
    FileLog& m_log;
};

OutputFileOpener OpenerFor(FileLog& log) {
    return [&log](const std::string&) {
        ++log.opens;
        return std::make_unique<LoggingFile>(log);
    };
}

TEST(BufferedOutput, WritesBlocksAndPassesLargePiecesStraightThrough) {
    RecordingHost host("", "out.htm");
    FileLog log;
    BufferedOutput output(host, 8, OpenerFor(log));
    for (const char* piece : {"abc", "de", "fgh", "ij", "0123456789ABCDEF", "k"}) {
        EXPECT_TRUE(output.Write(piece)) << piece;
    }
    // Nothing reaches the file before a block is full.
    EXPECT_EQ(log.writes, (std::vector<std::string>{"abcdefgh", "ij", "0123456789ABCDEF"}));
    EXPECT_FALSE(log.closed);
    EXPECT_TRUE(output.Finish());
    EXPECT_EQ(log.content, "abcdefghij0123456789ABCDEFk");
    EXPECT_EQ(log.opens, 1);
    EXPECT_TRUE(log.closed);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(output.Write("late"));
}

// Writing behind, a piece of a sixteenth of a block goes straight through
// as well, after what the block held.
TEST(BufferedOutput, WritingBehindPassesSmallerPiecesStraightThrough) {
    RecordingHost host("", "out.htm");
    FileLog log;
    BufferedOutput output(host, 64, OpenerFor(log), BufferedOutput::Writing::Behind);
    for (const char* piece : {"ab", "cdef", "g", "hijklmnop", "q"}) {
        EXPECT_TRUE(output.Write(piece)) << piece;
    }
    EXPECT_TRUE(output.Finish());
    EXPECT_EQ(log.writes, (std::vector<std::string>{"ab", "cdef", "g", "hijklmnop", "q"}));
    EXPECT_EQ(log.writers, std::vector<std::thread::id>(5, std::this_thread::get_id()));
    EXPECT_EQ(log.content, "abcdefghijklmnopq");
}

// Writing behind, a full block goes to the writer's thread and the last one
// is written in place; unbuffered (a block of one byte), every piece is, and
// no empty block is handed over.
TEST(BufferedOutput, WritingBehindHandsOverOnlyFullBlocks) {
    for (const std::size_t block : {64, 1}) {
        RecordingHost host("", "out.htm");
        FileLog log;
        BufferedOutput output(host, block, OpenerFor(log), BufferedOutput::Writing::Behind);
        for (int i = 0; i < 68; ++i) EXPECT_TRUE(output.Write("x"));
        EXPECT_TRUE(output.Finish());
        EXPECT_EQ(log.writes.size(), block == 64 ? 2u : 68u);  // the last block: 4 bytes
        EXPECT_EQ(log.writers.front() != std::this_thread::get_id(), block == 64);
        EXPECT_EQ(log.writers.back(), std::this_thread::get_id());
    }
}

// Rows written into the block itself: a room that fits, one that needs the
// block flushed first, one exactly a block, one larger than a block, and a
// room whose flush fails.
TEST(BufferedOutput, RoomIsMadeInTheBlockWhenItFits) {
    RecordingHost host("", "out.htm");
    FileLog log;
    log.capacity = 28;
    BufferedOutput output(host, 8, OpenerFor(log));
    const auto put = [&output](std::size_t room, const std::string& bytes) {
        char* const to = output.Room(room);
        return output.Commit(std::copy(bytes.begin(), bytes.end(), to));
    };
    EXPECT_TRUE(output.Write("abc"));
    EXPECT_TRUE(put(5, "de"));
    EXPECT_TRUE(put(4, "fghi"));
    EXPECT_TRUE(put(8, "ABCDEFGH"));
    EXPECT_TRUE(put(9, "012345678"));
    EXPECT_EQ(log.writes, (std::vector<std::string>{"abcde", "fghi", "ABCDEFGH", "012345678"}));
    EXPECT_TRUE(put(8, "xyz"));
    EXPECT_FALSE(put(8, "too much"));  // flushing "xyz" goes beyond the file's capacity
    EXPECT_FALSE(put(2, "no"));
    EXPECT_FALSE(output.Finish());
    EXPECT_EQ(log.content, "abcdefghiABCDEFGH012345678xy");
    EXPECT_EQ(host.messages, std::vector<Message>{kWriteError});
}

TEST(BufferedOutput, OpenFailureIsReportedOnce) {
    RecordingHost host("", "out.htm");
    int opens = 0;
    BufferedOutput output(host, 8, [&opens](const std::string&) {
        ++opens;
        return std::unique_ptr<OutputFile>();
    });
    EXPECT_FALSE(output.Write("<table>"));
    EXPECT_FALSE(output.Write("<tr>"));
    EXPECT_FALSE(output.Finish());
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(host.messages, std::vector<Message>{kWriteError});
}

TEST(BufferedOutput, FailurePartWayKeepsWhatWasWrittenAndReportsOnce) {
    RecordingHost host("", "out.htm");
    FileLog log;
    log.capacity = 10;
    BufferedOutput output(host, 4, OpenerFor(log));
    EXPECT_TRUE(output.Write("0123"));
    EXPECT_TRUE(output.Write("4567"));
    EXPECT_TRUE(output.Write("89ab"));
    EXPECT_FALSE(output.Write("cdef"));  // the block "89ab" does not fit
    EXPECT_FALSE(output.Write("more"));
    EXPECT_FALSE(output.Finish());
    EXPECT_EQ(log.content, "0123456789");
    EXPECT_EQ(host.messages, std::vector<Message>{kWriteError});
}

TEST(BufferedOutput, FailureOnClosingIsReported) {
    RecordingHost host("", "out.htm");
    FileLog log;
    log.failClose = true;
    BufferedOutput output(host, 64, OpenerFor(log));
    EXPECT_TRUE(output.Write("<table></table>"));
    EXPECT_FALSE(output.Finish());
    EXPECT_EQ(log.content, "<table></table>");
    EXPECT_EQ(host.messages, std::vector<Message>{kWriteError});
}

TEST(BufferedOutput, FinishWithNothingWrittenStillCreatesTheFile) {
    TempDir dir;
    RecordingHost host("", dir.File("new.htm"));
    BufferedOutput output(host);
    EXPECT_TRUE(output.Finish());
    EXPECT_TRUE(FileExists(dir.File("new.htm")));
    EXPECT_EQ(ReadBytes(dir.File("new.htm")), "");
}

TEST(BufferedOutput, EmptyPathDefaultsToDbCsv) {
    TempDir dir;
    CurrentDirectoryScope inside(dir.path());
    RecordingHost host("", "");
    BufferedOutput output(host);
    EXPECT_TRUE(output.Write("x"));
    EXPECT_TRUE(output.Finish());
    EXPECT_EQ(host.m_outputPath, "db.csv");
    EXPECT_EQ(ReadBytes(dir.File("db.csv")), "x");
}

// A run of many rows opens the output once and writes it in a few blocks,
// in place or behind; when the file fills up part-way, the run stops with
// one message and the file keeps what reached it.
TEST(BufferedRun, OpensOnceAndStopsAtAFullFile) {
    TempDir dir;
    std::string input;
    for (int i = 0; i < 1000; ++i) input += std::to_string(i) + ",x\r\n";
    WriteBytes(dir.File("in.csv"), input);

    for (const auto writing : {BufferedOutput::Writing::InPlace, BufferedOutput::Writing::Behind})
        for (const std::size_t capacity : {std::size_t{1} << 20, std::size_t{5000}}) {
            SCOPED_TRACE(writing == BufferedOutput::Writing::Behind ? "behind" : "in place");
            RecordingHost host(dir.File("in.csv"), "out.htm");
            FileLog log;
            log.capacity = capacity;
            const auto openOutput =
                [&log, writing](ConversionHost& owner) -> std::unique_ptr<TableOutput> {
                return std::make_unique<BufferedOutput>(owner, 4096, OpenerFor(log), writing);
            };
            const bool done = RunConversion(host, OpenInputFile, openOutput, 512);
            EXPECT_EQ(log.opens, 1);
            if (capacity > input.size() * 2) {
                EXPECT_TRUE(done);
                EXPECT_EQ(host.messages, std::vector<Message>{kDone});
                // About 36 KB in blocks of 4 KiB or more, not a write per row.
                EXPECT_LE(log.writes.size(), (log.content.size() + 4095) / 4096);
                EXPECT_EQ(log.content.rfind("<td>999</td>\r\n<td>x</td></tr>\r\n</table>"),
                          log.content.size() - 39);
            } else {
                EXPECT_FALSE(done);
                EXPECT_EQ(host.messages, std::vector<Message>{kWriteError});
                EXPECT_EQ(log.content.size(), capacity);
                EXPECT_EQ(log.content.rfind("<table><tr>\r\n<td>0</td>", 0), 0u);
            }
        }
}

}  // namespace
