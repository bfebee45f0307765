// Convert: what reaches the output file and what the user is told.
#include <windows.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/file_bytes.h"
#include "support/main_dialog.h"
#include "support/quillbar_session.h"
#include "support/running_dialog_test.h"
#include "support/window_query.h"

namespace gui_test {
namespace {

const std::string kEarlierContent = "<p>kept</p>\r\n";

class Conversion : public RunningDialogTest {
protected:
    void TypePaths(const std::string& input, const std::string& output) {
        ASSERT_TRUE(session_.Type(kInputPath, input));
        ASSERT_TRUE(session_.Type(kOutputPath, output));
    }

    std::vector<MessageBoxInfo> Convert() {
        session_.Click(kConvert);
        return session_.CollectMessages(kMessageTimeoutMs);
    }

    // Exactly one box, of the program's own kind: owned by the dialog, an OK
    // button alone, no icon.
    void ExpectOnlyMessage(const std::vector<MessageBoxInfo>& boxes, const std::string& text,
                           const std::string& caption) {
        ASSERT_EQ(boxes.size(), 1u) << Describe(boxes);
        const MessageBoxInfo& box = boxes[0];
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, caption);
        EXPECT_EQ(box.owner, session_.Dialog());
        EXPECT_FALSE(box.hasIcon);
        EXPECT_EQ(box.buttonIds, std::vector<int>{IDOK});
    }
};

TEST_F(Conversion, TypedPathsAppendTheExactTableAndSayDone) {
    std::string input = folder_.File("people.csv");
    std::string output = folder_.File("people.html");
    ASSERT_TRUE(WriteFileBytes(input, kSampleInput));
    ASSERT_TRUE(WriteFileBytes(output, kEarlierContent));
    TypePaths(input, output);

    ExpectOnlyMessage(Convert(), "Done", "Done");
    EXPECT_EQ(ReadFileBytes(output).value_or("<missing>"), kEarlierContent + kSampleTable);
    EXPECT_EQ(ReadFileBytes(input).value_or("<missing>"), kSampleInput) << "the input was changed";
    EXPECT_EQ(session_.Text(kInputPath), input);
    EXPECT_EQ(session_.Text(kOutputPath), output);
}

TEST_F(Conversion, PathsTypedKeyByKeyAreUsed) {
    ASSERT_TRUE(WriteFileBytes(folder_.File("in.csv"), "a,b\n"));
    // Relative names: the program's current folder is the test's folder.
    for (const auto& [id, text] :
         {std::pair{kInputPath, "in.csv"}, std::pair{kOutputPath, "o.htm"}}) {
        for (const char* c = text; *c; ++c)
            PostMessageA(session_.Control(id), WM_CHAR, static_cast<unsigned char>(*c), 1);
        std::string expected = text;
        EXPECT_TRUE(WaitUntil([&] { return session_.Text(id) == expected; }, kMessageTimeoutMs))
            << session_.Text(id);
    }
    ExpectOnlyMessage(Convert(), "Done", "Done");
    EXPECT_EQ(ReadFileBytes(folder_.File("o.htm")).value_or("<missing>"),
              "<table><tr>\r\n<td>a</td>\r\n<td>b</td></tr>\r\n</table>");
}

// Names outside every ANSI code page, next to a best-fit trap: through the
// ANSI functions "ā.csv" would open "a.csv".
TEST_F(Conversion, TypedUnicodePathsNameExactlyTheirFiles) {
    ASSERT_TRUE(CreateDirectoryW(Widen(folder_.File("Ελληνικά")).c_str(), nullptr));
    const std::string input = folder_.File("Ελληνικά\\ā.csv");
    const std::string output = folder_.File("Ελληνικά\\日本語.htm");
    ASSERT_TRUE(WriteFileBytes(input, kSampleInput));
    ASSERT_TRUE(WriteFileBytes(folder_.File("Ελληνικά\\a.csv"), "wrong,file\r\n"));
    TypePaths(input, output);

    ExpectOnlyMessage(Convert(), "Done", "Done");
    EXPECT_EQ(ReadFileBytes(output).value_or("<missing>"), kSampleTable);
    EXPECT_EQ(session_.Text(kInputPath), input);
    EXPECT_EQ(session_.Text(kOutputPath), output);
}

// Another program (a scanner, an indexer) holds the output without write
// sharing as the run starts: a moment's hold is waited out, a long one is
// reported once.
TEST_F(Conversion, OutputHeldByAnotherProgramIsWaitedForBriefly) {
    const std::string input = folder_.File("people.csv");
    const std::string output = folder_.File("people.html");
    ASSERT_TRUE(WriteFileBytes(input, kSampleInput));
    ASSERT_TRUE(WriteFileBytes(output, kEarlierContent));
    TypePaths(input, output);
    for (const DWORD holdMs : {500, 10000}) {
        SCOPED_TRACE("held for " + std::to_string(holdMs) + " ms");
        HANDLE held = CreateFileW(Widen(output).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        const DWORD start = GetTickCount();
        session_.Click(kConvert);
        if (holdMs < kMessageTimeoutMs) {
            Sleep(holdMs);
            CloseHandle(held);
            ExpectOnlyMessage(session_.CollectMessages(kMessageTimeoutMs), "Done", "Done");
            EXPECT_EQ(ReadFileBytes(output).value_or("<missing>"), kEarlierContent + kSampleTable);
        } else {
            std::vector<MessageBoxInfo> boxes = session_.CollectMessages(kMessageTimeoutMs);
            const DWORD elapsed = GetTickCount() - start;
            CloseHandle(held);
            ExpectOnlyMessage(boxes, "Save to File", "Error Writing File");
            EXPECT_LT(elapsed, holdMs) << "the failure came after the file was let go";
            EXPECT_EQ(ReadFileBytes(output).value_or("<missing>"), kEarlierContent + kSampleTable);
        }
    }
}

TEST_F(Conversion, ASecondConvertAppendsASecondTable) {
    std::string input = folder_.File("people.csv");
    std::string output = folder_.File("people.html");
    ASSERT_TRUE(WriteFileBytes(input, kSampleInput));
    TypePaths(input, output);

    ExpectOnlyMessage(Convert(), "Done", "Done");
    ExpectOnlyMessage(Convert(), "Done", "Done");
    EXPECT_EQ(ReadFileBytes(output).value_or("<missing>"), kSampleTable + kSampleTable);
}

TEST_F(Conversion, EmptyOutputBoxWritesDbCsvInTheCurrentFolderAndShowsIt) {
    std::string input = folder_.File("people.csv");
    ASSERT_TRUE(WriteFileBytes(input, kSampleInput));
    TypePaths(input, "");

    ExpectOnlyMessage(Convert(), "Done", "Done");
    EXPECT_EQ(ReadFileBytes(folder_.File("db.csv")).value_or("<missing>"), kSampleTable);
    EXPECT_EQ(session_.Text(kOutputPath), "db.csv");
    EXPECT_EQ(session_.Text(kInputPath), input);
}

TEST_F(Conversion, MissingInputIsReportedNotCreatedAndNothingIsAppended) {
    std::string input = folder_.File("absent.csv");
    std::string output = folder_.File("out.html");
    ASSERT_TRUE(WriteFileBytes(output, kEarlierContent));
    TypePaths(input, output);

    ExpectOnlyMessage(Convert(), "Read from File", "Error Reading File");
    EXPECT_FALSE(PathExists(input)) << "the missing input was created";
    EXPECT_EQ(ReadFileBytes(output).value_or("<missing>"), kEarlierContent);
}

TEST_F(Conversion, InputInAMissingFolderIsReported) {
    std::string output = folder_.File("out.html");
    TypePaths(folder_.File("no-such-folder\\in.csv"), output);

    ExpectOnlyMessage(Convert(), "Read from File", "Error Reading File");
    EXPECT_FALSE(PathExists(output)) << "the output was created for a run that read nothing";
}

TEST_F(Conversion, BothBoxesEmptyReportsTheInputAndShowsTheDefaultOutput) {
    ExpectOnlyMessage(Convert(), "Read from File", "Error Reading File");
    EXPECT_EQ(session_.Text(kOutputPath), "db.csv");
    EXPECT_EQ(session_.Text(kInputPath), "");
    EXPECT_FALSE(PathExists(folder_.File("db.csv")));
}

// Ways of naming the input file again as the output.
struct SameFileSpelling {
    const char* name;
    // Returns the output path for the input `folder\data.csv`.
    std::string (*outputFor)(const TempFolder& folder);
};

const SameFileSpelling kSameFileSpellings[] = {
    {"SamePath", [](const TempFolder& f) { return f.File("data.csv"); }},
    // Relative to the program's current folder, in other letter case.
    {"RelativeOtherCase", [](const TempFolder&) { return std::string(".\\DATA.CSV"); }},
    {"HardLink",
     [](const TempFolder& f) {
         std::string link = f.File("link.csv");
         return CreateHardLinkA(link.c_str(), f.File("data.csv").c_str(), nullptr)
                    ? link
                    : std::string("<no hard link>");
     }},
};

class SameFile : public Conversion, public ::testing::WithParamInterface<SameFileSpelling> {};

TEST_P(SameFile, AsInputAndOutputIsRefusedAndLeftAlone) {
    std::string input = folder_.File("data.csv");
    ASSERT_TRUE(WriteFileBytes(input, kSampleInput));
    std::string output = GetParam().outputFor(folder_);
    ASSERT_NE(output, "<no hard link>") << "cannot make a hard link here";
    TypePaths(input, output);

    ExpectOnlyMessage(Convert(), "Save to File", "Output File Is the Input File");
    EXPECT_EQ(ReadFileBytes(input).value_or("<missing>"), kSampleInput);
}

INSTANTIATE_TEST_SUITE_P(Spellings, SameFile, ::testing::ValuesIn(kSameFileSpellings),
                         [](const auto& info) { return std::string(info.param.name); });

// Output paths that cannot be opened for appending, each set up in the folder.
struct UnwritableOutput {
    const char* name;
    const char* fileName;
    // What the output holds before and must still hold after the run
    // (nothing: it is not a readable file).
    std::optional<std::string> content;
    // Makes the output unwritable; may return a handle to hold during the run.
    HANDLE (*prepare)(const std::string& path);
};

HANDLE MakeFolder(const std::string& path) {
    CreateDirectoryA(path.c_str(), nullptr);
    return INVALID_HANDLE_VALUE;
}

HANDLE MakeReadOnly(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    return INVALID_HANDLE_VALUE;
}

// Another program holds the file open and shares it with nobody.
HANDLE LockExclusively(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

HANDLE Nothing(const std::string&) { return INVALID_HANDLE_VALUE; }

// Wine running as root lets anyone write a read-only file, which no test of
// the program can change.
bool ReadOnlyIsEnforced(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    CloseHandle(file);
    return false;
}

class UnwritableOutputs : public Conversion,
                          public ::testing::WithParamInterface<UnwritableOutput> {};

TEST_P(UnwritableOutputs, AreReportedOnceAndTheRunEndsWithoutDone) {
    const UnwritableOutput& param = GetParam();
    std::string input = folder_.File("people.csv");
    ASSERT_TRUE(WriteFileBytes(input, kSampleInput));
    std::string output = folder_.File(param.fileName);
    if (param.content) {
        ASSERT_TRUE(WriteFileBytes(output, *param.content));
    }
    HANDLE held = param.prepare(output);
    if (param.prepare == MakeReadOnly && !ReadOnlyIsEnforced(output)) {
        GTEST_SKIP() << "this Wine lets the test itself append to a read-only file (root?)";
    }
    if (param.prepare == LockExclusively) {
        ASSERT_NE(held, INVALID_HANDLE_VALUE) << "cannot lock the output";
    }
    TypePaths(input, output);

    ExpectOnlyMessage(Convert(), "Save to File", "Error Writing File");
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(output), param.content) << "the output changed";
    EXPECT_EQ(ReadFileBytes(input).value_or("<missing>"), kSampleInput);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, UnwritableOutputs,
    ::testing::Values(
        UnwritableOutput{"Folder", "a-folder", std::nullopt, MakeFolder},
        UnwritableOutput{"MissingFolder", "no-such-folder\\out.html", std::nullopt, Nothing},
        UnwritableOutput{"LockedByAnotherProgram", "locked.html", kEarlierContent, LockExclusively},
        UnwritableOutput{"ReadOnlyFile", "read-only.html", kEarlierContent, MakeReadOnly}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace gui_test
