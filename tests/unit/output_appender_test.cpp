#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "messages.h"
#include "output_appender.h"
#include "test_support.h"

namespace {

const Message kWriteError{messages::kSaveToFile, messages::kErrorWritingFile};

TEST(AppendToOutput, WritesLineFeedsAsCrLfAndKeepsWhatWasThere) {
    TempDir dir;
    const std::string out = dir.File("out.htm");
    WriteBytes(out, "before\r\n");
    RecordingHost host("", out);

    EXPECT_TRUE(AppendToOutput(host, "<tr>\n<td>a\rb</td></tr>\n"));
    EXPECT_TRUE(AppendToOutput(host, "x"));

    EXPECT_EQ(ReadBytes(out), "before\r\n<tr>\r\n<td>a\rb</td></tr>\r\nx");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.refreshCount, 2);
}

TEST(AppendToOutput, EmptyTextCreatesAnEmptyFile) {
    TempDir dir;
    RecordingHost host("", dir.File("new.htm"));
    EXPECT_TRUE(AppendToOutput(host, ""));
    EXPECT_TRUE(FileExists(dir.File("new.htm")));
    EXPECT_EQ(ReadBytes(dir.File("new.htm")), "");
}

TEST(AppendToOutput, EmptyPathDefaultsToDbCsvInTheCurrentDirectory) {
    TempDir dir;
    CurrentDirectoryScope inside(dir.path());
    RecordingHost host("", "");
    EXPECT_TRUE(AppendToOutput(host, "<table>"));
    EXPECT_EQ(host.m_outputPath, "db.csv");
    EXPECT_EQ(ReadBytes(dir.File("db.csv")), "<table>");
}

TEST(AppendToOutput, FailuresShowOneMessageAndCreateNothing) {
    TempDir dir;
    WriteBytes(dir.File("plain"), "");
    const std::vector<std::string> unwritable = {
        dir.File("missing/out.htm"),  // missing directory
        dir.path(),                   // a directory
        dir.File("plain/out.htm"),    // a file where a directory should be
        "/dev/full",                  // opens, but the write fails
    };
    for (const std::string& path : unwritable) {
        RecordingHost host("", path);
        EXPECT_FALSE(AppendToOutput(host, "<table>")) << path;
        EXPECT_EQ(host.messages, std::vector<Message>{kWriteError}) << path;
    }
    EXPECT_FALSE(FileExists(dir.File("missing")));
}

}  // namespace
