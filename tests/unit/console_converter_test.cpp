// End-to-end tests of the quillbar-convert program.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (const char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

Outcome RunConverter(const TempDir& dir, const std::vector<std::string>& args) {
    std::string command = "cd " + Quote(dir.path()) + " && " + Quote(QUILLBAR_CONVERT_PATH);
    for (const std::string& arg : args) command += " " + Quote(arg);
    command += " >" + Quote(dir.File(".stdout")) + " 2>" + Quote(dir.File(".stderr"));
    const int raw = std::system(command.c_str());
    Outcome outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadBytes(dir.File(".stdout")),
                    ReadBytes(dir.File(".stderr"))};
    return outcome;
}

const std::string kTable = "<table><tr>\r\n<td>a</td>\r\n<td>b</td></tr>\r\n</table>";

// The options that choose how the output is written; every mode must behave
// the same towards the user.
const std::vector<std::vector<std::string>> kEachMode = {{}, {"--buffered"}};

std::vector<std::string> With(std::vector<std::string> mode, const std::vector<std::string>& args) {
    mode.insert(mode.end(), args.begin(), args.end());
    return mode;
}

TEST(ConsoleConverter, SuccessIsSilent) {
    for (const auto& mode : kEachMode) {
        TempDir dir;
        WriteBytes(dir.File("in.csv"), "a,b\r\n");
        const Outcome run = RunConverter(dir, With(mode, {"in.csv", "out.htm"}));
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(ReadBytes(dir.File("out.htm")), kTable);
        EXPECT_EQ(RunConverter(dir, With(mode, {"in.csv", "out.htm"})).status, 0);
        EXPECT_EQ(ReadBytes(dir.File("out.htm")), kTable + kTable);
    }
}

TEST(ConsoleConverter, MissingOrEmptyOutputMeansDbCsv) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"in.csv"}, std::vector<std::string>{"in.csv", ""}}) {
        TempDir dir;
        WriteBytes(dir.File("in.csv"), "a,b\n");
        EXPECT_EQ(RunConverter(dir, args).status, 0);
        EXPECT_EQ(ReadBytes(dir.File("db.csv")), kTable);
    }
}

TEST(ConsoleConverter, FailuresExitWithOneAndSayWhy) {
    TempDir dir;
    WriteBytes(dir.File("in.csv"), "a,b\nc,d\n");
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"missing.csv", "out.htm"},
         "quillbar-convert: Error Reading File: Read from File: missing.csv: No such file or "
         "directory\n"},
        {{"", "out.htm"},
         "quillbar-convert: Error Reading File: Read from File: no file name given\n"},
        {{"in.csv", "/dev/full"},
         "quillbar-convert: Error Writing File: Save to File: /dev/full: No space left on "
         "device\n"},
        {{"in.csv", "no/such/dir.htm"},
         "quillbar-convert: Error Writing File: Save to File: no/such/dir.htm: No such file or "
         "directory\n"},
        {{"in.csv", "./in.csv"},
         "quillbar-convert: Output File Is the Input File: Save to File: ./in.csv: the same file "
         "as in.csv\n"},
    };
    for (const auto& mode : kEachMode) {
        for (const auto& c : cases) {
            const Outcome run = RunConverter(dir, With(mode, c.args));
            EXPECT_EQ(run.status, 1) << mode.size() << " " << c.args[0] << " " << c.args[1];
            EXPECT_EQ(run.err, c.err) << mode.size() << " " << c.args[0] << " " << c.args[1];
            EXPECT_EQ(run.out, "");
        }
    }
    EXPECT_FALSE(FileExists(dir.File("missing.csv")));
    EXPECT_FALSE(FileExists(dir.File("out.htm")));
    EXPECT_EQ(ReadBytes(dir.File("in.csv")), "a,b\nc,d\n");
}

// After a line of 100,001 cells, a line whose last cell does not fit in 200
// MB of address space (a 128 MB read buffer and the row): an error naming
// the line, not a crash, and the table closed after the rows before, and,
// where the cells before that last one were written as they came, after
// them in a closed row.
TEST(ConsoleConverter, LineTooLongForMemoryIsReportedAndTheTableClosed) {
#ifdef QUILLBAR_SANITIZED
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit under an address-space limit";
#endif
    TempDir dir;
    std::string cells = "x";
    std::string row = "<tr>\r\n";
    for (int i = 0; i < 100000; ++i) {
        cells += ",x";
        row += "<td>x</td>\r\n";
    }
    row += "<td>x</td></tr>\r\n";
    WriteBytes(dir.File("in.csv"), "a,b\n" + cells + "\nx," + std::string(96 << 20, 'a') + "\n");
    const std::string rows = kTable.substr(0, kTable.rfind("</table>")) + row;
    const std::string begun = rows + "<tr>\r\n<td>x</td>\r\n<td></td></tr>\r\n</table>";
    const struct {
        std::vector<std::string> mode;
        std::string table;
    } cases[] = {
        {{}, rows + "</table>"}, {{"--buffered"}, begun}, {{"--escape", "--buffered"}, begun}};
    for (const auto& [mode, table] : cases) {
        std::string command =
            "cd " + Quote(dir.path()) + " && ulimit -v 200000 && " + Quote(QUILLBAR_CONVERT_PATH);
        for (const std::string& arg : With(mode, {"in.csv", "out.htm"}))
            command += " " + Quote(arg);
        command += " 2>" + Quote(dir.File(".stderr"));
        const int raw = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1) << mode.size();
        EXPECT_EQ(ReadBytes(dir.File(".stderr")),
                  "quillbar-convert: Error Reading File: Read from File: in.csv: line 3: "
                  "not enough memory for this line\n");
        EXPECT_TRUE(ReadBytes(dir.File("out.htm")) == table) << mode.size();
        std::remove(dir.File("out.htm").c_str());
    }
}

// /proc's files say they are empty and are not, named or as standard input.
TEST(ConsoleConverter, ZeroSizedProcFileIsReadToItsEnd) {
    TempDir dir;
    ASSERT_EQ(RunConverter(dir, {"/proc/cpuinfo", "named.htm"}).status, 0);
    const std::string redirected = "cd " + Quote(dir.path()) + " && " +
                                   Quote(QUILLBAR_CONVERT_PATH) +
                                   " - redirected.htm </proc/cpuinfo";
    ASSERT_EQ(std::system(redirected.c_str()), 0);
    for (const char* name : {"named.htm", "redirected.htm"}) {
        const std::string out = ReadBytes(dir.File(name));
        EXPECT_EQ(out.rfind("<table><tr>\r\n<td>", 0), 0u) << name << ": " << out.substr(0, 100);
        const std::string end = "</tr>\r\n</table>";
        EXPECT_EQ(out.substr(out.size() - std::min(out.size(), end.size())), end) << name;
    }
}

TEST(ConsoleConverter, WrongArgumentsExitWithTwoAndUsage) {
    TempDir dir;
    const std::vector<std::vector<std::string>> wrong = {
        {}, {"a", "b", "c"}, {"-x", "in.csv"}, {"--"}};
    for (const auto& args : wrong) {
        const Outcome run = RunConverter(dir, args);
        EXPECT_EQ(run.status, 2) << args.size();
        EXPECT_NE(run.err.find("usage: quillbar-convert"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(FileExists(dir.File("db.csv")));
}

TEST(ConsoleConverter, HelpAndDashNames) {
    TempDir dir;
    const Outcome help = RunConverter(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: quillbar-convert", 0), 0u);
    EXPECT_NE(help.out.find("--buffered"), std::string::npos);

    WriteBytes(dir.File("-in.csv"), "a,b");
    EXPECT_EQ(RunConverter(dir, {"--", "-in.csv", "-out.htm"}).status, 0);
    EXPECT_EQ(ReadBytes(dir.File("-out.htm")), kTable);
    // After "--" even --buffered is a file name.
    WriteBytes(dir.File("--buffered"), "a,b");
    EXPECT_EQ(RunConverter(dir, {"--buffered", "--", "--buffered", "out.htm"}).status, 0);
    EXPECT_EQ(ReadBytes(dir.File("out.htm")), kTable);
}

}  // namespace
