#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "buffered_output.h"
#include "conversion_run.h"
#include "messages.h"
#include "test_support.h"
#include "text_mode.h"

using namespace std::string_literals;

namespace {

const Message kDone{messages::kDone, messages::kDone};
const Message kReadError{messages::kReadFromFile, messages::kErrorReadingFile};
const Message kWriteError{messages::kSaveToFile, messages::kErrorWritingFile};
const Message kSameFile{messages::kSaveToFile, messages::kOutputIsInput};

// Every test of this suite runs once for each way of writing the output:
// both must give the same bytes and the same messages.
class RunConversionTest : public ::testing::TestWithParam<OutputKind> {
protected:
    bool Run(ConversionHost& host, const InputOpener& openInput = OpenInputFile,
             std::size_t blockSize = TextLineReader::kDefaultBlockSize) {
        return RunConversion(host, openInput, OutputOpenerFor(GetParam()), blockSize);
    }

    // Writes `input`, converts it into a fresh output file and returns the
    // output's bytes.
    std::string ConvertBytes(const std::string& input, std::vector<Message>* shown = nullptr) {
        TempDir dir;
        WriteBytes(dir.File("in.csv"), input);
        RecordingHost host(dir.File("in.csv"), dir.File("out.htm"));
        const bool done = Run(host);
        EXPECT_TRUE(done);
        if (shown) *shown = host.messages;
        return ReadBytes(dir.File("out.htm"));
    }
};

INSTANTIATE_TEST_SUITE_P(EachOutput, RunConversionTest, ::testing::ValuesIn(kEachOutputKind),
                         [](const auto& info) { return OutputKindName(info.param); });

TEST_P(RunConversionTest, TwoLineExampleGivesTheExactTable) {
    std::vector<Message> shown;
    EXPECT_EQ(ConvertBytes("Name,Age\r\n\"Smith, John\",42\r\n", &shown),
              "<table><tr>\r\n<td>Name</td>\r\n<td>Age</td></tr>\r\n"
              "<tr>\r\n<td>Smith, John</td>\r\n<td>42</td></tr>\r\n</table>");
    EXPECT_EQ(shown, std::vector<Message>{kDone});
}

TEST_P(RunConversionTest, InputShapes) {
    const std::string ab = "<tr>\r\n<td>a</td>\r\n<td>b</td></tr>\r\n";
    const std::string empty = "<tr>\r\n<td></td></tr>\r\n";
    const struct {
        const char* name;
        std::string input;
        std::string table;
    } cases[] = {
        {"empty file", "", "<table></table>"},
        {"lf only", "a,b\n", "<table>" + ab + "</table>"},
        {"crlf", "a,b\r\n", "<table>" + ab + "</table>"},
        {"empty line", "\r\n", "<table>" + empty + "</table>"},
        {"last line without line end", "a,b\nx",
         "<table>" + ab + "<tr>\r\n<td>x</td></tr>\r\n</table>"},
        {"single unterminated line", "a,b", "<table>" + ab + "</table>"},
        {"ctrl-z ends input",
         "a,b\r\n\x1A"
         "c,d\r\n",
         "<table>" + ab + "</table>"},
        {"ctrl-z ends a last line",
         "a,b\x1A"
         "c\n",
         "<table>" + ab + "</table>"},
        {"lone cr stays in the cell", "a\rb\n", "<table><tr>\r\n<td>a\rb</td></tr>\r\n</table>"},
        {"nul is data", "a\0b\n"s, "<table><tr>\r\n<td>a\0b</td></tr>\r\n</table>"s},
    };
    for (const auto& c : cases) EXPECT_EQ(ConvertBytes(c.input), c.table) << c.name;
}

TEST_P(RunConversionTest, CrLfAcrossTheReadBlockBoundary) {
    // The CR is the last byte of the first 64 KiB block, its LF the first
    // byte of the next one.
    const std::string first(64 * 1024 - 1, 'a');
    const std::string crlf = ConvertBytes(first + "\r\nb,c\r\n");
    EXPECT_EQ(crlf, ConvertBytes(first + "\nb,c\n"));
    EXPECT_EQ(crlf,
              "<table>"
              "<tr>\r\n<td>" +
                  first +
                  "</td></tr>\r\n"
                  "<tr>\r\n<td>b</td>\r\n<td>c</td></tr>\r\n</table>");
    // A CR at the boundary that is not part of a CR LF stays.
    EXPECT_EQ(ConvertBytes(first + "\rx\n"),
              "<table><tr>\r\n<td>" + first + "\rx</td></tr>\r\n</table>");
}

TEST_P(RunConversionTest, TwoRunsAppendTwoTables) {
    TempDir dir;
    WriteBytes(dir.File("in.csv"), "a\n");
    RecordingHost host(dir.File("in.csv"), dir.File("out.htm"));
    EXPECT_TRUE(Run(host));
    EXPECT_TRUE(Run(host));
    const std::string table = "<table><tr>\r\n<td>a</td></tr>\r\n</table>";
    EXPECT_EQ(ReadBytes(dir.File("out.htm")), table + table);
    EXPECT_EQ(host.messages, (std::vector<Message>{kDone, kDone}));
}

TEST_P(RunConversionTest, EmptyOutputPathBecomesDbCsvAndIsShown) {
    TempDir dir;
    CurrentDirectoryScope inside(dir.path());
    WriteBytes("in.csv", "a\n");
    RecordingHost host("in.csv", "");
    EXPECT_TRUE(Run(host));
    EXPECT_EQ(ReadBytes(dir.File("db.csv")), "<table><tr>\r\n<td>a</td></tr>\r\n</table>");
    EXPECT_EQ(host.shownOutputPaths, std::vector<std::string>{"db.csv"});
}

TEST(RunConversion, RefreshesPathsBeforeEveryRow) {
    TempDir dir;
    WriteBytes(dir.File("in.csv"), "a\nb\nc");
    RecordingHost host(dir.File("in.csv"), dir.File("out.htm"));
    EXPECT_TRUE(RunConversion(host));
    // Once at the start, once per append, and once more before each row.
    EXPECT_EQ(host.refreshCount, 1 + 1 + 3 * 2 + 1);
    EXPECT_EQ(host.showPathsCount, 1);
}

TEST_P(RunConversionTest, UnwritableOutputReportsOnceAndStops) {
    TempDir dir;
    WriteBytes(dir.File("in.csv"), "a\nb\nc\n");
    for (const std::string& out : {"/dev/full"s, dir.File("missing/out.htm"), dir.path()}) {
        RecordingHost host(dir.File("in.csv"), out);
        EXPECT_FALSE(Run(host)) << out;
        EXPECT_EQ(host.messages, std::vector<Message>{kWriteError}) << out;
        EXPECT_EQ(host.showPathsCount, 1) << out;
    }
}

TEST(RunConversion, WriteFailureMidwayReadsNoFurther) {
    // The output becomes unwritable after the opening tag: one message, and
    // no row of the input is read after it.
    TempDir dir;
    class BreakingHost : public RecordingHost {
    public:
        using RecordingHost::RecordingHost;
        void RefreshPaths() override {
            if (++refreshCount == 3) m_outputPath = "/dev/full";
        }
    } host("", dir.File("out.htm"));
    int reads = 0;
    class CountingInput : public MemoryInputFile {
    public:
        CountingInput(int& reads) : MemoryInputFile("a\nb\nc\n", 2), m_reads(reads) {}
        ReadStatus Read(char* buffer, std::size_t capacity, std::size_t& got) override {
            ++m_reads;
            return MemoryInputFile::Read(buffer, capacity, got);
        }

    private:
        int& m_reads;
    };
    const auto open = [&reads](const std::string&) -> std::unique_ptr<InputFile> {
        return std::make_unique<CountingInput>(reads);
    };
    EXPECT_FALSE(RunConversion(host, open, OutputOpenerFor(OutputKind::AppendEachRow), 2));
    EXPECT_EQ(host.messages, std::vector<Message>{kWriteError});
    EXPECT_EQ(ReadBytes(dir.File("out.htm")), "<table>");
    EXPECT_EQ(reads, 1);
}

TEST_P(RunConversionTest, InputThatCannotBeOpenedIsReportedAndNotCreated) {
    TempDir dir;
    const std::vector<std::string> inputs = {"", dir.File("missing.csv"), dir.File("nodir/in.csv"),
                                             dir.path()};
    for (const std::string& in : inputs) {
        RecordingHost host(in, dir.File("out.htm"));
        EXPECT_FALSE(Run(host)) << in;
        EXPECT_EQ(host.messages, std::vector<Message>{kReadError}) << in;
        EXPECT_EQ(host.showPathsCount, 1) << in;
    }
    EXPECT_FALSE(FileExists(dir.File("missing.csv")));
    EXPECT_FALSE(FileExists(dir.File("nodir")));
    EXPECT_FALSE(FileExists(dir.File("out.htm")));
}

TEST_P(RunConversionTest, SameFileUnderAnotherNameIsRefused) {
    TempDir dir;
    CurrentDirectoryScope inside(dir.path());
    const std::string content = "a,b\n";
    WriteBytes(dir.File("x.csv"), content);
    ASSERT_EQ(link(dir.File("x.csv").c_str(), dir.File("hard.csv").c_str()), 0);
    ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0777), 0);
    const std::vector<std::string> outputs = {
        dir.File("x.csv"), "x.csv", "./x.csv", "sub/../x.csv", dir.path() + "//x.csv", "hard.csv"};
    for (const std::string& out : outputs) {
        RecordingHost host("x.csv", out);
        EXPECT_FALSE(Run(host)) << out;
        EXPECT_EQ(host.messages, std::vector<Message>{kSameFile}) << out;
    }
    EXPECT_EQ(ReadBytes(dir.File("x.csv")), content);
}

TEST_P(RunConversionTest, ReadErrorClosesTheTableAndIsReported) {
    TempDir dir;
    RecordingHost host("anything", dir.File("out.htm"));
    const auto open = [](const std::string&) -> std::unique_ptr<InputFile> {
        return std::make_unique<MemoryInputFile>("a\nb\ncd\n", 3, 6);
    };
    EXPECT_FALSE(Run(host, open, 4));
    EXPECT_EQ(ReadBytes(dir.File("out.htm")),
              "<table><tr>\r\n<td>a</td></tr>\r\n<tr>\r\n<td>b</td></tr>\r\n</table>");
    EXPECT_EQ(host.messages, std::vector<Message>{kReadError});
    EXPECT_EQ(host.showPathsCount, 1);
}

// A read error inside a line too long to hold whole: a buffered run keeps
// the cells it has converted and closes their row; the cell still open is
// cut. A run per row keeps whole rows only.
TEST_P(RunConversionTest, ReadErrorInsideALongLineClosesItsRow) {
    TempDir dir;
    RecordingHost host("anything", dir.File("out.htm"));
    const std::string longCell(70000, 'a');
    const auto open = [&longCell](const std::string&) -> std::unique_ptr<InputFile> {
        return std::make_unique<MemoryInputFile>("x," + longCell + "," + std::string(90000, 'b'),
                                                 1 << 20, 150000);
    };
    EXPECT_FALSE(Run(host, open));
    EXPECT_EQ(ReadBytes(dir.File("out.htm")), GetParam() == OutputKind::AppendEachRow
                                                  ? "<table></table>"
                                                  : "<table><tr>\r\n<td>x</td>\r\n<td>" + longCell +
                                                        "</td>\r\n<td></td></tr>\r\n</table>");
    EXPECT_EQ(host.messages, std::vector<Message>{kReadError});
}

TEST_P(RunConversionTest, InputGrowingDuringTheRunIsConvertedAsItWas) {
    TempDir dir;
    // Once the input is open, appends a line to it each time the paths are
    // refreshed, that is before every row: without a bound the run would
    // never end.
    class GrowingHost : public RecordingHost {
    public:
        using RecordingHost::RecordingHost;
        void RefreshPaths() override {
            RecordingHost::RefreshPaths();
            if (refreshCount > 1)
                std::ofstream(m_inputPath, std::ios::app | std::ios::binary) << "more\n";
        }
    } host(dir.File("in.csv"), dir.File("out.htm"));
    WriteBytes(dir.File("in.csv"), "a\nb\n");
    EXPECT_TRUE(Run(host, OpenInputFile, 1));
    EXPECT_EQ(ReadBytes(dir.File("out.htm")),
              "<table>"
              "<tr>\r\n<td>a</td></tr>\r\n"
              "<tr>\r\n<td>b</td></tr>\r\n"
              "</table>");
}

// Runs out of memory for real: in a child process whose address space is
// limited to what it uses plus 160 MB, a 96 MB cell (read into a 128 MB
// buffer, then its row) cannot be converted, even by a run that reads long
// lines in pieces. The run must close the table, name the line and end
// without "Done".
TEST_P(RunConversionTest, LineTooLongForMemoryClosesTheTableAndNamesTheLine) {
#ifdef QUILLBAR_SANITIZED
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit under an address-space limit";
#endif
    class DetailHost : public RecordingHost {
    public:
        using RecordingHost::RecordingHost;
        void ShowFailure(const std::string& text, const std::string& caption,
                         const std::string& detail) override {
            RecordingHost::ShowFailure(text, caption, detail);
            details.push_back(detail);
        }
        std::vector<std::string> details;
    };
    TempDir dir;
    const std::string input = "a,b\n" + std::string(96 << 20, 'a') + "\n";
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        DetailHost host("in", dir.File("out.htm"));
        const auto open = [&input](const std::string&) -> std::unique_ptr<InputFile> {
            return std::make_unique<MemoryInputFile>(input);
        };
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (160 << 20);
        const rlimit bound{limit, limit};
        if (setrlimit(RLIMIT_AS, &bound) != 0) _exit(10);
        const bool done = Run(host, open);
        const bool told =
            host.messages == std::vector<Message>{kReadError} &&
            host.details == std::vector<std::string>{"in: line 2: not enough memory for this line"};
        _exit(done ? 11 : told ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the run crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: no limit, 11: Done, 12: another message";
    EXPECT_EQ(ReadBytes(dir.File("out.htm")),
              "<table><tr>\r\n<td>a</td>\r\n<td>b</td></tr>\r\n</table>");
}

// Lines from a pipe reach an output that writes every piece at once (the
// converter's unbuffered standard output) as they come, not a block later.
TEST(RunConversion, PipedLinesGoOutAsTheyCome) {
    TempDir dir;
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    bool rowSeenBeforeTheNextLine = false;
    std::thread writer([&] {
        std::ofstream out(fifo, std::ios::binary);
        out << "a,b\n" << std::flush;
        for (int wait = 0; wait < 1000 && !rowSeenBeforeTheNextLine; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            rowSeenBeforeTheNextLine =
                ReadBytes(dir.File("out.htm")).find("<td>b</td></tr>") != std::string::npos;
        }
        out << "c\n";
    });
    RecordingHost host(fifo, dir.File("out.htm"));
    const auto openOutput = [](ConversionHost& owner) -> std::unique_ptr<TableOutput> {
        return std::make_unique<BufferedOutput>(owner, 1);
    };
    EXPECT_TRUE(RunConversion(host, OpenInputFile, openOutput, TextLineReader::kDefaultBlockSize));
    writer.join();
    EXPECT_TRUE(rowSeenBeforeTheNextLine);
    EXPECT_EQ(ReadBytes(dir.File("out.htm")).substr(0, 46),
              "<table><tr>\r\n<td>a</td>\r\n<td>b</td></tr>\r\n<tr>");
}

TEST_P(RunConversionTest, PipeIsReadToItsEnd) {
    TempDir dir;
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&fifo] {
        std::ofstream out(fifo, std::ios::binary);
        for (int i = 0; i < 1000; ++i) out << i << ",x\r\n";
    });
    RecordingHost host(fifo, dir.File("out.htm"));
    EXPECT_TRUE(Run(host));
    writer.join();
    const std::string out = ReadBytes(dir.File("out.htm"));
    EXPECT_NE(out.find("<td>999</td>\r\n<td>x</td></tr>\r\n</table>"), std::string::npos);
    EXPECT_EQ(host.messages, std::vector<Message>{kDone});
}

}  // namespace
