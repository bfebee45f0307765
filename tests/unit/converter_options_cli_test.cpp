// The converter's options as a user meets them: the real program, its
// standard streams through real pipes, its messages and exit statuses.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const std::string kConverter = QUILLBAR_CONVERT_PATH;

// Runs a shell command in `dir`; "CONVERT" in it stands for the converter.
// Returns the exit status of the command (of a pipeline: of its last part).
int Shell(const TempDir& dir, std::string command) {
    for (std::size_t at; (at = command.find("CONVERT")) != std::string::npos;) {
        command.replace(at, 7, "'" + kConverter + "'");
    }
    const int raw = std::system(("cd '" + dir.path() + "' && " + command).c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// The lines --progress showed: each starts with CR; only the last one ends
// with LF, and nothing follows it.
std::vector<std::string> ShownLines(const std::string& err) {
    std::vector<std::string> shown;
    for (std::size_t at = 0; (at = err.find('\r', at)) != std::string::npos; ++at) {
        shown.push_back(err.substr(at + 1, err.find_first_of("\r\n", at + 1) - at - 1));
    }
    EXPECT_FALSE(err.empty());
    if (!err.empty()) {
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    }
    return shown;
}

const std::string kCsv = "Name,Note\r\n\"Smith, J.\",\"said \"\"hi\"\"\r\nthen <left>\"\r\n";

// Every option set through files and pipes; with --progress the same
// table, and the rows shown are the rows written, however the run made
// them: a record over two lines, and a line long enough to be cut into
// parts on every core.
TEST(ConverterOptions, StandardInputAndOutputThroughPipes) {
    TempDir dir;
    std::string input = kCsv;
    for (int i = 0; i < 100000; ++i) input += "x,\"y\",";
    WriteBytes(dir.File("in.csv"), input);
    const struct {
        std::string options;
        const char* rows;
    } cases[] = {
        {"", "4 rows"},
        {"--buffered", "4 rows"},
        {"--rfc4180 --escape --header", "3 rows"},
        {"--rfc4180 --buffered --delimiter=tab", "4 rows"},
    };
    for (const auto& [options, rows] : cases) {
        ASSERT_EQ(Shell(dir, "rm -f file.htm && CONVERT " + options + " in.csv file.htm"), 0);
        // Both ends are pipes; the output arrives unchanged, CR LF not doubled.
        EXPECT_EQ(Shell(dir, "cat in.csv | CONVERT " + options + " - - 2>err.txt | cat >piped.htm"),
                  0);
        EXPECT_EQ(ReadBytes(dir.File("piped.htm")), ReadBytes(dir.File("file.htm"))) << options;
        EXPECT_EQ(ReadBytes(dir.File("err.txt")), "") << options;
        // Standard output is written, not appended to: it holds one table.
        EXPECT_EQ(Shell(dir, "CONVERT " + options + " in.csv - >out.htm && CONVERT " + options +
                                 " - - <in.csv >>out.htm"),
                  0);
        EXPECT_EQ(ReadBytes(dir.File("out.htm")),
                  ReadBytes(dir.File("file.htm")) + ReadBytes(dir.File("file.htm")));
        ASSERT_EQ(Shell(dir, "CONVERT " + options + " --progress in.csv - >out.htm 2>err.txt"), 0);
        EXPECT_EQ(ReadBytes(dir.File("out.htm")), ReadBytes(dir.File("file.htm"))) << options;
        const std::vector<std::string> shown = ShownLines(ReadBytes(dir.File("err.txt")));
        ASSERT_FALSE(shown.empty());
        EXPECT_NE(shown.back().find(std::string("(100%), ") + rows + ", "), std::string::npos)
            << options << ": " << shown.back();
    }
    // Standard output that is the input file is refused, as a named output is.
    EXPECT_EQ(Shell(dir, "CONVERT in.csv - >>in.csv 2>err.txt"), 1);
    EXPECT_EQ(ReadBytes(dir.File("in.csv")), input);
    EXPECT_EQ(ReadBytes(dir.File("err.txt")),
              "quillbar-convert: Output File Is the Input File: Save to File: -: the same file as "
              "in.csv\n");
}

TEST(ConverterOptions, ProgressOnASlowPipe) {
    TempDir dir;
    const int status =
        Shell(dir,
              "(printf 'a,b\\n'; sleep 0.5; printf 'c,d\\n'; sleep 0.5; printf 'e\\n') | "
              "CONVERT --progress - out.htm 2>err.txt");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(
        ReadBytes(dir.File("out.htm")),
        "<table><tr>\r\n<td>a</td>\r\n<td>b</td></tr>\r\n<tr>\r\n<td>c</td>\r\n<td>d</td></tr>\r\n"
        "<tr>\r\n<td>e</td></tr>\r\n</table>");
    // Shown while the pipe waits, rewritten in place, ended by the final line.
    std::vector<std::string> shown = ShownLines(ReadBytes(dir.File("err.txt")));
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown[0].rfind("read 0.0 MB, ", 0), 0u) << shown[0];
    EXPECT_EQ(shown.back().rfind("read 0.0 MB, 3 rows, ", 0), 0u) << shown.back();
    // Many reads in a short time: still at most ten lines a second.
    EXPECT_EQ(
        Shell(
            dir,
            "yes 'a,b,c' | head -n 2000000 | CONVERT --buffered --progress - /dev/null 2>err.txt"),
        0);
    shown = ShownLines(ReadBytes(dir.File("err.txt")));
    const double seconds = std::stod(shown.back().substr(shown.back().rfind(", ") + 2));
    EXPECT_LE(static_cast<double>(shown.size()), 10 * seconds + 2) << shown.back();
    EXPECT_EQ(shown.back().rfind("read 12.0 MB, 2000000 rows, ", 0), 0u) << shown.back();
    // A regular file's size is known: the line gives the share read.
    WriteBytes(dir.File("in.csv"), "x\n");
    EXPECT_EQ(Shell(dir, "CONVERT --progress in.csv out.htm 2>err.txt"), 0);
    EXPECT_NE(ReadBytes(dir.File("err.txt")).find("read 0.0 MB of 0.0 MB (100%), 1 rows, "),
              std::string::npos);
}

// A stream the converter was started without is not taken by a file it
// opens: the progress meant for standard error stays out of the output
// file, and "-" for standard output fails rather than writing the input.
TEST(ConverterOptions, MissingStandardStreamsStayMissing) {
    TempDir dir;
    ASSERT_EQ(Shell(dir, "mkfifo in.fifo"), 0);
    EXPECT_EQ(Shell(dir,
                    "{ timeout 10 sh -c \"exec >in.fifo; printf 'a,b\\n'; sleep 0.3; printf "
                    "'c\\n'\" & CONVERT --buffered --progress in.fifo out.htm <&- 2>&-; s=$?; "
                    "wait; exit $s; }"),
              0);
    EXPECT_EQ(ReadBytes(dir.File("out.htm")),
              "<table><tr>\r\n<td>a</td>\r\n<td>b</td></tr>\r\n<tr>\r\n<td>c</td></tr>\r\n"
              "</table>");
    WriteBytes(dir.File("in.csv"), "a,b");
    EXPECT_EQ(Shell(dir, "CONVERT in.csv - 2>err.txt >&-"), 1);
    EXPECT_EQ(ReadBytes(dir.File("err.txt")),
              "quillbar-convert: Error Writing File: Save to File: -: Bad file descriptor\n");
}

TEST(ConverterOptions, UnclosedQuoteEndsTheTableAndFails) {
    TempDir dir;
    WriteBytes(dir.File("in.csv"), "a\n\"b,c\nd\n");
    EXPECT_EQ(Shell(dir, "CONVERT --rfc4180 --progress in.csv out.htm 2>err.txt"), 1);
    EXPECT_EQ(ReadBytes(dir.File("out.htm")),
              "<table><tr>\r\n<td>a</td></tr>\r\n<tr>\r\n<td>b,c\r\nd\r\n</td></tr>\r\n</table>");
    const std::string err = ReadBytes(dir.File("err.txt"));
    const std::string message =
        "quillbar-convert: Quoted Field Not Closed: Read from File: in.csv: line 2: "
        "the quoted field that opens here is still open at the end of the input\n";
    // The progress line is ended before the message.
    ASSERT_GE(err.size(), message.size());
    EXPECT_EQ(err.substr(err.size() - message.size()), message);
    EXPECT_EQ(err[err.size() - message.size() - 1], '\n');
}

TEST(ConverterOptions, WrongOptionsGiveStatusTwoAReasonAndTheUsageLine) {
    TempDir dir;
    const struct {
        const char* args;
        const char* reason;
    } cases[] = {
        {"--delimiter=ab in.csv",
         "--delimiter takes one byte other than a quote or a line end, or tab: ab"},
        {"--delimiter='\"' in.csv",
         "--delimiter takes one byte other than a quote or a line end, or tab: \""},
        {"--delimiter=", "--delimiter takes one byte other than a quote or a line end, or tab: "},
        {"in.csv --delimiter", "option --delimiter needs a value"},
        {"--encoding=latin1 in.csv", "--encoding takes ansi or utf-8: latin1"},
        {"--escape=yes in.csv", "option --escape takes no value"},
        {"--colour in.csv", "unknown option --colour"},
        {"--header", "no INPUT given"},
        {"a b c", "too many file names: c"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Shell(dir, std::string("CONVERT ") + c.args + " >out.txt 2>err.txt"), 2)
            << c.args;
        EXPECT_EQ(ReadBytes(dir.File("err.txt")),
                  std::string("quillbar-convert: ") + c.reason +
                      "\nusage: quillbar-convert [OPTION]... [--] INPUT [OUTPUT]\n")
            << c.args;
        EXPECT_EQ(ReadBytes(dir.File("out.txt")), "");
    }
    EXPECT_FALSE(FileExists(dir.File("db.csv")));
}

TEST(ConverterOptions, VersionAndHelp) {
    TempDir dir;
    EXPECT_EQ(Shell(dir, "CONVERT --version >out.txt"), 0);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "quillbar-convert 1.0.1\n");
    EXPECT_EQ(Shell(dir, "CONVERT --help >out.txt"), 0);
    const std::string help = ReadBytes(dir.File("out.txt"));
    for (const char* option : {"--rfc4180", "--delimiter=C", "--escape", "--header", "--encoding=E",
                               "--buffered", "--progress", "--version", "--help", " - "}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    // Both spellings of an option's value are taken.
    WriteBytes(dir.File("in.csv"), "a\tb\n");
    EXPECT_EQ(
        Shell(dir,
              "CONVERT --delimiter tab in.csv one.htm && CONVERT '--delimiter=\\t' in.csv two.htm"),
        0);
    EXPECT_EQ(ReadBytes(dir.File("one.htm")),
              "<table><tr>\r\n<td>a</td>\r\n<td>b</td></tr>\r\n</table>");
    EXPECT_EQ(ReadBytes(dir.File("two.htm")), ReadBytes(dir.File("one.htm")));
}

}  // namespace
