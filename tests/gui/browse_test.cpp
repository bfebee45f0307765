// The Browse buttons: the open-file pickers, what they put into the boxes,
// and the current folder around them.
#include <windows.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/main_dialog.h"
#include "support/open_file_picker.h"
#include "support/quillbar_session.h"
#include "support/running_dialog_test.h"
#include "support/window_probe.h"
#include "support/window_query.h"

namespace gui_test {
namespace {

struct Picker {
    const char* name;
    int button;
    int box;       // the box the picker fills
    int otherBox;  // the box it must leave alone
    std::vector<std::string> filters;
    const char* extension;  // appended to a name typed without one
};

const Picker kPickers[] = {
    {"Input",
     kBrowseInput,
     kInputPath,
     kOutputPath,
     {"CSV Files (*.csv)", "Tab Delimited Files (*.tab)", "All Files (*.*)"},
     ".csv"},
    {"Output",
     kBrowseOutput,
     kOutputPath,
     kInputPath,
     {"HTM Files (*.htm)", "All Files (*.*)"},
     ".htm"},
};

void PrintTo(const Picker& picker, std::ostream* out) { *out << picker.name << " picker"; }

class Browse : public RunningDialogTest, public ::testing::WithParamInterface<Picker> {
protected:
    OpenFilePicker OpenPicker() {
        session_.Click(GetParam().button);
        return OpenFilePicker(session_.Process().Id(), session_.Dialog(), kMessageTimeoutMs);
    }

    // Types `name` into the picker and confirms it; the picker must close.
    void Choose(OpenFilePicker& picker, const std::string& name) {
        ASSERT_TRUE(picker.Open(name));
        ASSERT_TRUE(picker.WaitUntilClosed(kMessageTimeoutMs))
            << "the picker stayed open for " << name;
        ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(session_.Dialog()) != FALSE; },
                              kMessageTimeoutMs));
    }

    // Types a folder's path into the picker, which goes there and stays open.
    void GoTo(OpenFilePicker& picker, const TempFolder& folder) {
        ASSERT_TRUE(picker.Open(folder.Path()));
        const std::string name = folder.Path().substr(folder.Path().find_last_of('\\') + 1);
        EXPECT_TRUE(WaitUntil([&] { return picker.ShownFolder() == name; }, kMessageTimeoutMs))
            << "the picker shows " << picker.ShownFolder();
    }

    // The program's current folder, asked from inside it.
    std::string ProgramFolder() {
        WindowProbe probe(session_.Dialog());
        std::optional<ProbeReport> report = probe.Ask();
        return report ? report->currentDirectory : "<no answer: " + probe.Error() + ">";
    }

    std::vector<MessageBoxInfo> Convert() {
        session_.Click(kConvert);
        return session_.CollectMessages(kMessageTimeoutMs);
    }

    // Types the program folder's in.csv or out.htm into the box not picked,
    // converts, and expects "Done" with the sample's table in the output.
    void ConvertWithTheOtherBoxTyped(bool pickedInput, const std::string& picked) {
        ASSERT_TRUE(session_.Type(GetParam().otherBox, pickedInput ? "out.htm" : "in.csv"));
        std::vector<MessageBoxInfo> boxes = Convert();
        ASSERT_EQ(boxes.size(), 1u) << Describe(boxes);
        EXPECT_EQ(boxes[0].text, "Done");
        const std::string output = pickedInput ? folder_.File("out.htm") : picked;
        EXPECT_EQ(ReadFileBytes(output).value_or("<missing>"), kSampleTable);
    }

    TempFolder elsewhere_;
};

TEST_P(Browse, OpensTheSystemsOpenPickerWithTheFiltersOverTheDisabledDialog) {
    OpenFilePicker picker = OpenPicker();
    ASSERT_TRUE(picker.Found()) << "no picker appeared";
    EXPECT_EQ(picker.Title(), "Open");
    EXPECT_EQ(picker.FilterNames(), GetParam().filters);
    EXPECT_EQ(picker.SelectedFilter(), 0);
    EXPECT_TRUE(picker.IsExplorerStyle());
    EXPECT_TRUE(picker.IsResizable()) << std::hex << StyleOf(picker.Window());
    EXPECT_EQ(GetWindow(picker.Window(), GW_OWNER), session_.Dialog());
    EXPECT_FALSE(IsWindowEnabled(session_.Dialog()))
        << "the dialog takes input while the picker is open";

    picker.Cancel();
    EXPECT_TRUE(picker.WaitUntilClosed(kMessageTimeoutMs));
    EXPECT_TRUE(
        WaitUntil([&] { return IsWindowEnabled(session_.Dialog()) != FALSE; }, kMessageTimeoutMs));
}

// One path is picked in another folder, the other typed as a relative name:
// the relative name must still mean the program's starting folder.
TEST_P(Browse, AFileInAnotherFolderGivesItsFullPathAndTheCurrentFolderStays) {
    const std::string before = ProgramFolder();
    const bool pickingInput = GetParam().box == kInputPath;
    const std::string chosen = elsewhere_.File(pickingInput ? "chosen.csv" : "chosen.htm");
    ASSERT_TRUE(WriteFileBytes(pickingInput ? chosen : folder_.File("in.csv"), kSampleInput));

    OpenFilePicker picker = OpenPicker();
    ASSERT_TRUE(picker.Found()) << "no picker appeared";
    GoTo(picker, elsewhere_);
    Choose(picker, chosen);

    EXPECT_EQ(session_.Text(GetParam().box), chosen);
    EXPECT_EQ(ProgramFolder(), before);

    ConvertWithTheOtherBoxTyped(pickingInput, chosen);
}

// A name outside the ANSI code page, next to its best-fit look-alike.
TEST_P(Browse, AUnicodeNameIsPickedAndConvertedExactly) {
    const bool pickingInput = GetParam().box == kInputPath;
    const std::string chosen = elsewhere_.File(pickingInput ? "Ελληνικά-ā.csv" : "日本語-ō.htm");
    ASSERT_TRUE(WriteFileBytes(pickingInput ? chosen : folder_.File("in.csv"), kSampleInput));
    ASSERT_TRUE(WriteFileBytes(elsewhere_.File(pickingInput ? "Ελληνικά-a.csv" : "日本語-o.htm"),
                               "wrong\r\n"));

    OpenFilePicker picker = OpenPicker();
    ASSERT_TRUE(picker.Found()) << "no picker appeared";
    Choose(picker, chosen);
    EXPECT_EQ(session_.Text(GetParam().box), chosen);

    ConvertWithTheOtherBoxTyped(pickingInput, chosen);
}

// The system appends the extension when a file of that name exists; with
// "All Files" selected it has only the program's default extension to go by.
TEST_P(Browse, ANameWithoutExtensionGetsTheDefaultOne) {
    const std::string existing = elsewhere_.File(std::string("report") + GetParam().extension);
    ASSERT_TRUE(WriteFileBytes(existing, kSampleInput));
    const int allFiles = static_cast<int>(GetParam().filters.size()) - 1;
    for (int filter : {0, allFiles}) {
        SCOPED_TRACE("filter " + GetParam().filters[filter]);
        OpenFilePicker picker = OpenPicker();
        ASSERT_TRUE(picker.Found()) << "no picker appeared";
        ASSERT_TRUE(picker.SelectFilter(filter));
        Choose(picker, elsewhere_.File("report"));
        EXPECT_EQ(session_.Text(GetParam().box), existing);
        ASSERT_TRUE(session_.Type(GetParam().box, ""));
    }
}

TEST_P(Browse, ANewNameIsTakenWithoutAPromptAndNotCreated) {
    const std::string name = elsewhere_.File(std::string("new") + GetParam().extension);
    OpenFilePicker picker = OpenPicker();
    ASSERT_TRUE(picker.Found()) << "no picker appeared";
    Choose(picker, name);
    EXPECT_EQ(session_.Text(GetParam().box), name);
    EXPECT_TRUE(session_.CollectMessages(kSettleMs).empty()) << "a prompt appeared";
    EXPECT_FALSE(PathExists(name)) << "picking a name must not create the file";
}

TEST_P(Browse, CancelKeepsWhatWasTypedInBothBoxesAndTheCurrentFolder) {
    const std::string before = ProgramFolder();
    ASSERT_TRUE(session_.Type(kInputPath, "typed-in.csv"));
    ASSERT_TRUE(session_.Type(kOutputPath, "typed-out.htm"));

    OpenFilePicker picker = OpenPicker();
    ASSERT_TRUE(picker.Found()) << "no picker appeared";
    GoTo(picker, elsewhere_);
    picker.Cancel();
    ASSERT_TRUE(picker.WaitUntilClosed(kMessageTimeoutMs));

    EXPECT_TRUE(
        WaitUntil([&] { return IsWindowEnabled(session_.Dialog()) != FALSE; }, kMessageTimeoutMs));
    EXPECT_EQ(session_.Text(kInputPath), "typed-in.csv");
    EXPECT_EQ(session_.Text(kOutputPath), "typed-out.htm");
    EXPECT_EQ(ProgramFolder(), before);
}

TEST_P(Browse, TextTypedIntoTheOtherBoxSurvivesAPick) {
    ASSERT_TRUE(session_.Type(GetParam().otherBox, "typed but not yet read"));
    OpenFilePicker picker = OpenPicker();
    ASSERT_TRUE(picker.Found()) << "no picker appeared";
    Choose(picker, elsewhere_.File(std::string("picked") + GetParam().extension));

    EXPECT_EQ(session_.Text(GetParam().box),
              elsewhere_.File(std::string("picked") + GetParam().extension));
    EXPECT_EQ(session_.Text(GetParam().otherBox), "typed but not yet read");
}

// Each picker run starts afresh: a second pick replaces the first, and the
// current folder stays put through both.
TEST_P(Browse, PickingTwiceKeepsTheLastChoice) {
    const std::string before = ProgramFolder();
    for (const char* name : {"first", "second"}) {
        OpenFilePicker picker = OpenPicker();
        ASSERT_TRUE(picker.Found()) << "no picker appeared for " << name;
        EXPECT_EQ(picker.SelectedFilter(), 0);
        Choose(picker, elsewhere_.File(std::string(name) + GetParam().extension));
        EXPECT_EQ(session_.Text(GetParam().box),
                  elsewhere_.File(std::string(name) + GetParam().extension));
        EXPECT_EQ(ProgramFolder(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Pickers, Browse, ::testing::ValuesIn(kPickers),
                         [](const ::testing::TestParamInfo<Picker>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace gui_test
