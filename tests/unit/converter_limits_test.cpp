// The command-line converter at the edges of its resources: a line of
// several hundred MB, an input another process keeps appending to, and an
// output that fills up part-way. Each runs the real program as a process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace {

struct ProcessResult {
    int status = -1;         // exit status, or -1 if it did not exit normally in time
    long peakMemoryKiB = 0;  // the child's peak resident set
    std::string errors;      // what it wrote to standard error
};

// Runs the converter with `args` in `dir`; `limitFileSize` caps the size of
// any file it writes (with SIGXFSZ ignored, a write past it fails).
ProcessResult RunConverter(const TempDir& dir, const std::vector<std::string>& args,
                           rlim_t limitFileSize = RLIM_INFINITY, int timeoutSeconds = 300) {
    const std::string errorsPath = dir.File(".stderr");
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.path().c_str()) != 0) _exit(126);
        const int errors = open(errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (errors < 0 || dup2(errors, STDERR_FILENO) < 0) _exit(126);
        if (limitFileSize != RLIM_INFINITY) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{limitFileSize, limitFileSize};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
        }
        std::vector<char*> argv{const_cast<char*>(QUILLBAR_CONVERT_PATH)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(QUILLBAR_CONVERT_PATH, argv.data());
        _exit(127);
    }
    ProcessResult result;
    int status = 0;
    rusage usage{};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    pid_t done = 0;
    while ((done = wait4(child, &status, WNOHANG, &usage)) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            wait4(child, &status, 0, &usage);
            ADD_FAILURE() << "the converter did not end within " << timeoutSeconds << " s";
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (done == child && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.peakMemoryKiB = usage.ru_maxrss;
    result.errors = ReadBytes(errorsPath);
    return result;
}

// Compares a file with `head`, then `body` repeated, then `tail`, reading it
// a piece at a time so that a file of hundreds of MB needs no copy.
::testing::AssertionResult FileIsRepetition(const std::string& path, const std::string& head,
                                            const std::string& body, std::size_t times,
                                            const std::string& tail) {
    std::ifstream in(path, std::ios::binary);
    std::string piece;
    const auto expect = [&in, &piece](const std::string& text) {
        piece.resize(text.size());
        in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        return in.gcount() == static_cast<std::streamsize>(text.size()) && piece == text;
    };
    if (!expect(head)) return ::testing::AssertionFailure() << "the head differs";
    for (std::size_t i = 0; i < times; ++i) {
        if (!expect(body)) return ::testing::AssertionFailure() << "repetition " << i << " differs";
    }
    if (!expect(tail)) return ::testing::AssertionFailure() << "the tail differs";
    if (in.peek() != std::ifstream::traits_type::eof()) {
        return ::testing::AssertionFailure() << "the file goes on after the tail";
    }
    return ::testing::AssertionSuccess();
}

const std::vector<std::vector<std::string>> kEachMode = {{}, {"--buffered"}};

std::string ModeName(const std::vector<std::string>& mode) {
    return mode.empty() ? "per row" : mode[0];
}

TEST(ConverterLimits, LineOfSeveralHundredMegabytes) {
#ifdef QUILLBAR_SANITIZED
    GTEST_SKIP() << "memory use is not the program's own under the sanitizers";
#endif
    // One line of 300 MB: the same eight fields over and over, commas and
    // quotes included, then CR LF.
    const std::string record =
        "1042,\"Smith, Anna\",anna.1042@example.com,Berlin,18699.66,2024-05-12,yes,ok";
    const std::string unit = record + ",";
    const std::size_t times = 300'000'000 / unit.size();
    TempDir dir;
    {
        std::ofstream in(dir.File("in.csv"), std::ios::binary);
        for (std::size_t i = 0; i < times; ++i) in << unit;
        in << record << "\r\n";
    }
    const std::size_t lineBytes = times * unit.size() + record.size() + 2;
    const std::string cells =
        "<td>1042</td>\r\n<td>Smith, Anna</td>\r\n<td>anna.1042@example.com</td>\r\n"
        "<td>Berlin</td>\r\n<td>18699.66</td>\r\n<td>2024-05-12</td>\r\n"
        "<td>yes</td>\r\n<td>ok</td>";

    // Per row the line and its row are held whole, and nothing else of size;
    // a buffered run converts it in pieces, under options too (whose escaping
    // finds nothing to change here). A child's peak includes what it shared
    // of this process until its exec.
    rusage own{};
    getrusage(RUSAGE_SELF, &own);
    const long wholeLineKiB = static_cast<long>(3 * lineBytes / 1024);
    for (const auto& mode : std::vector<std::vector<std::string>>{
             kEachMode[0], kEachMode[1], {"--escape", "--buffered"}}) {
        std::vector<std::string> args = mode;
        args.insert(args.end(), {"in.csv", "out.htm"});
        const ProcessResult run = RunConverter(dir, args);
        EXPECT_EQ(run.status, 0) << ModeName(mode) << ": " << run.errors;
        EXPECT_LT(run.peakMemoryKiB - (mode.empty() ? wholeLineKiB : own.ru_maxrss), 16 * 1024)
            << ModeName(mode);
        EXPECT_TRUE(FileIsRepetition(dir.File("out.htm"), "<table><tr>\r\n", cells + "\r\n", times,
                                     cells + "</tr>\r\n</table>"))
            << ModeName(mode);
        std::remove(dir.File("out.htm").c_str());
    }
}

TEST(ConverterLimits, InputThatAnotherProcessKeepsAppendingTo) {
    TempDir dir;
    std::string input;
    std::string rows;
    for (int i = 0; i < 20000; ++i) {
        input += std::to_string(i) + ",x\r\n";
        rows += "<tr>\r\n<td>" + std::to_string(i) + "</td>\r\n<td>x</td></tr>\r\n";
    }
    for (const auto& mode : kEachMode) {
        WriteBytes(dir.File("in.csv"), input);
        // The appender writes as fast as it can until it is stopped.
        const pid_t appender = fork();
        if (appender == 0) {
            const int fd = open(dir.File("in.csv").c_str(), O_WRONLY | O_APPEND);
            while (fd >= 0 && write(fd, "more,row\r\n", 10) == 10) {
            }
            _exit(0);
        }
        // The run starts once the appender is busy, so the two overlap.
        struct stat info {};
        while (stat(dir.File("in.csv").c_str(), &info) == 0 &&
               static_cast<std::size_t>(info.st_size) == input.size()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::vector<std::string> args = mode;
        args.insert(args.end(), {"in.csv", "out.htm"});
        const ProcessResult run = RunConverter(dir, args, RLIM_INFINITY, 120);
        kill(appender, SIGKILL);
        waitpid(appender, nullptr, 0);

        EXPECT_EQ(run.status, 0) << ModeName(mode) << ": " << run.errors;
        // The rows of the file as it was, then whatever had been appended by
        // the time the run opened it, and a closed table.
        const std::string out = ReadBytes(dir.File("out.htm"));
        const std::string more = "<tr>\r\n<td>more</td>\r\n<td>row</td></tr>\r\n";
        EXPECT_EQ(out.rfind("<table>" + rows, 0), 0u) << ModeName(mode);
        ASSERT_GE(out.size(), 7 + rows.size() + 8) << ModeName(mode);
        std::string appended = out.substr(7 + rows.size(), out.size() - 7 - rows.size() - 8);
        EXPECT_EQ(out.substr(out.size() - 8), "</table>");
        EXPECT_GT(appended.size(), 0u) << ModeName(mode);
        EXPECT_EQ(appended.size() % more.size(), 0u) << ModeName(mode);
        for (std::size_t at = 0; at + more.size() <= appended.size(); at += more.size()) {
            if (appended.compare(at, more.size(), more) != 0) {
                ADD_FAILURE() << ModeName(mode) << ": appended row at " << at << " differs";
                break;
            }
        }
        std::remove(dir.File("out.htm").c_str());
    }
}

TEST(ConverterLimits, OutputThatFillsUpPartWay) {
    TempDir dir;
    std::string input;
    for (int i = 0; i < 50000; ++i) input += std::to_string(i) + ",\"a, b\",c\r\n";
    WriteBytes(dir.File("in.csv"), input);
    ASSERT_EQ(RunConverter(dir, {"--buffered", "in.csv", "full.htm"}).status, 0);
    const std::string full = ReadBytes(dir.File("full.htm"));

    const rlim_t limit = 1'000'000;  // well inside the ~1.8 MB table
    for (const auto& mode : kEachMode) {
        std::vector<std::string> args = mode;
        args.insert(args.end(), {"in.csv", "out.htm"});
        const ProcessResult run = RunConverter(dir, args, limit);
        EXPECT_EQ(run.status, 1) << ModeName(mode);
        EXPECT_EQ(run.errors,
                  "quillbar-convert: Error Writing File: Save to File: out.htm: File too large\n")
            << ModeName(mode);
        // Everything up to the limit was written and stays.
        EXPECT_EQ(ReadBytes(dir.File("out.htm")), full.substr(0, limit)) << ModeName(mode);
        std::remove(dir.File("out.htm").c_str());
    }
}

}  // namespace
