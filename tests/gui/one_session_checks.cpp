// quillbar_one_session_checks: starts quillbar.exe once and checks, in that
// one session, what matters most for a build that is slow to start (the
// i686 program under emulation): the dialog appears, centred, with its
// title; Convert with typed paths appends the exact table and says "Done";
// Browse opens the file picker and a picked file fills the box; the system
// menu's About command opens the About box; Quit ends the program. Prints one line per check,
// "PASS: name" or "FAIL: name (why)", and last "checks finished". Exit status 0 only when every
// check passed.
//
// Usage: quillbar_one_session_checks [TIMEOUT_SECONDS]
// TIMEOUT_SECONDS (default 20) bounds each wait for the program; emulated
// runs need minutes for the first window.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/file_bytes.h"
#include "support/main_dialog.h"
#include "support/open_file_picker.h"
#include "support/quillbar_session.h"
#include "support/test_environment.h"
#include "support/window_query.h"

namespace gui_test {
namespace {

constexpr WPARAM kAboutCommand = 16;

const std::string kEarlierContent = "<p>kept</p>\r\n";

class Report {
public:
    // Records one check; `why` explains a failure.
    bool Check(const std::string& name, bool passed, const std::string& why = "") {
        if (passed) {
            std::printf("PASS: %s\n", name.c_str());
        } else {
            ++failures_;
            std::printf("FAIL: %s (%s)\n", name.c_str(), why.empty() ? "no detail" : why.c_str());
        }
        std::fflush(stdout);
        return passed;
    }
    // A step that the checks rely on: reported only when it fails.
    bool Require(const std::string& name, bool done, const std::string& why = "") {
        return done || Check(name, false, why);
    }
    int Failures() const { return failures_; }

private:
    int failures_ = 0;
};

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '\r')
            quoted += "\\r";
        else if (c == '\n')
            quoted += "\\n";
        else if (c < 0x20 || c >= 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            quoted += escaped;
        } else
            quoted += static_cast<char>(c);
    }
    return quoted + "\"";
}

std::string RectText(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "-" +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

// Wine reads this when a process starts: frames and placement are Wine's
// own, as on Windows, since no X window manager runs.
void LetWineDrawFrames() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\X11 Driver", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(key);
}

void CheckCentred(Report& report, HWND dialog) {
    RECT work{}, window{};
    bool measured =
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) && GetWindowRect(dialog, &window);
    // Halving may round either way: one pixel of leeway on each axis.
    int horizontalSlack = (window.left - work.left) - (work.right - window.right);
    int verticalSlack = (window.top - work.top) - (work.bottom - window.bottom);
    report.Check("dialog is centred in the work area",
                 measured && std::abs(horizontalSlack) <= 1 && std::abs(verticalSlack) <= 1,
                 "window " + RectText(window) + " in work area " + RectText(work));
}

void CheckConvert(Report& report, QuillbarSession& session, const TempFolder& folder,
                  unsigned long timeoutMs) {
    std::string input = folder.File("people.csv");
    std::string output = folder.File("people.html");
    if (!report.Require(
            "input and earlier output written",
            WriteFileBytes(input, kSampleInput) && WriteFileBytes(output, kEarlierContent),
            "in " + folder.Path()))
        return;
    // The first message to a control may find its code not yet translated.
    bool typed = WaitUntil([&] { return session.Type(kInputPath, input); }, timeoutMs, 200) &&
                 WaitUntil([&] { return session.Type(kOutputPath, output); }, timeoutMs, 200);
    if (!report.Check("paths typed into the edit boxes", typed,
                      "input box shows " + Quoted(session.Text(kInputPath))))
        return;

    session.Click(kConvert);
    std::vector<MessageBoxInfo> boxes = session.CollectMessages(timeoutMs);
    bool oneDone = boxes.size() == 1 && boxes[0].text == "Done" && boxes[0].caption == "Done" &&
                   boxes[0].owner == session.Dialog() && !boxes[0].hasIcon &&
                   boxes[0].buttonIds == std::vector<int>{IDOK};
    report.Check("Convert shows one \"Done\" box (owned by the dialog, OK only, no icon)", oneDone,
                 Describe(boxes));
    std::string written = ReadFileBytes(output).value_or("<missing>");
    report.Check("Convert appends the exact table to the output",
                 written == kEarlierContent + kSampleTable, "output is " + Quoted(written));
    report.Check("Convert leaves the input as it was",
                 ReadFileBytes(input).value_or("<missing>") == kSampleInput);
    report.Check("the edit boxes show the paths after Convert",
                 session.Text(kInputPath) == input && session.Text(kOutputPath) == output,
                 Quoted(session.Text(kInputPath)) + ", " + Quoted(session.Text(kOutputPath)));
}

void CheckBrowse(Report& report, QuillbarSession& session, const TempFolder& folder,
                 unsigned long timeoutMs) {
    session.Click(kBrowseInput);
    OpenFilePicker picker(session.Process().Id(), session.Dialog(), timeoutMs);
    if (!report.Check("Browse opens the file picker", picker.Found(), "none within the time"))
        return;
    const std::vector<std::string> filters = picker.FilterNames();
    report.Check(
        "the picker lists the CSV filters, the first selected",
        filters.size() == 3 && filters[0] == "CSV Files (*.csv)" && picker.SelectedFilter() == 0,
        std::to_string(filters.size()) + " filters, first " +
            Quoted(filters.empty() ? "" : filters[0]));
    const std::string picked = folder.File("picked.csv");
    const bool closed = picker.Open(picked) && picker.WaitUntilClosed(timeoutMs);
    report.Check(
        "a picked file's full path fills the input box",
        closed && WaitUntil([&] { return session.Text(kInputPath) == picked; }, timeoutMs),
        closed ? "the box shows " + Quoted(session.Text(kInputPath)) : "the picker stayed open");
}

void CheckAbout(Report& report, QuillbarSession& session, unsigned long timeoutMs) {
    PostMessageA(session.Dialog(), WM_SYSCOMMAND, kAboutCommand, 0);
    HWND about = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : DialogWindowsOf(session.Process().Id(), session.Dialog())) {
                if (IsWindowVisible(window) && TextOf(window).value_or("") == "About Quillbar") {
                    about = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    if (!report.Check("the About command opens the About box", about != nullptr,
                      "none within the time"))
        return;
    PostKey(GetDlgItem(about, IDOK), VK_ESCAPE);
    report.Check("Escape closes the About box",
                 WaitUntil([&] { return !IsWindow(about); }, timeoutMs), "it stays open");
}

void CheckQuit(Report& report, QuillbarSession& session, unsigned long timeoutMs) {
    session.Click(IDOK);
    bool ended = session.WaitForExit(timeoutMs);
    report.Check("Quit ends the program", ended, "still running");
}

int RunChecks(unsigned long timeoutMs) {
    Report report;
    LetWineDrawFrames();
    TempFolder folder;
    QuillbarSession session(folder);
    if (!report.Check("quillbar.exe starts", session.Process().Started(),
                      session.Process().StartError()))
        return 1;
    HWND dialog = session.WaitForDialog(timeoutMs);
    if (report.Check(
            "its dialog appears", dialog != nullptr,
            session.Process().IsRunning() ? "none within the time" : "the program ended")) {
        // Under emulation the program may still be busy with its start for
        // longer than one message's time limit.
        WaitUntil([&] { return Answers(dialog); }, timeoutMs);
        std::string title = TextOf(dialog).value_or("<no answer>");
        report.Check("the dialog's title is " + Quoted(ExpectedTitle()), title == ExpectedTitle(),
                     "it is " + Quoted(title));
        CheckCentred(report, dialog);
        CheckConvert(report, session, folder, timeoutMs);
        CheckBrowse(report, session, folder, timeoutMs);
        CheckAbout(report, session, timeoutMs);
        CheckQuit(report, session, timeoutMs);
    }
    // A program that did not end is killed with the session.
    std::printf("checks finished\n");
    std::fflush(stdout);
    return report.Failures() == 0 ? 0 : 1;
}

}  // namespace
}  // namespace gui_test

int main(int argc, char* argv[]) {
    unsigned long timeoutSeconds = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
    if (timeoutSeconds == 0) {
        std::fprintf(stderr, "usage: quillbar_one_session_checks [TIMEOUT_SECONDS]\n");
        return 2;
    }
    return gui_test::RunChecks(timeoutSeconds * 1000);
}
