// One run of quillbar.exe in a fresh current folder, driven like a user would.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/file_bytes.h"
#include "support/message_box_reader.h"
#include "support/test_environment.h"

namespace gui_test {

class QuillbarSession {
public:
    // Starts the program (by default the build's quillbar.exe) in `folder`.
    explicit QuillbarSession(const TempFolder& folder, const std::string& exe = QuillbarExe(),
                             const std::map<std::string, std::string>& environment = {});

    ChildProcess& Process() { return *process_; }

    // Waits for the main dialog: the process's visible dialog window with no
    // owner. Null when it did not appear in time.
    HWND WaitForDialog(unsigned long timeoutMs);
    HWND Dialog() const { return dialog_; }
    HWND Control(int id) const { return GetDlgItem(dialog_, id); }
    std::string Text(int id) const;
    // Puts text into an edit box, as typing would.
    bool Type(int id, const std::string& text);
    // Clicks a button (BM_CLICK, which the button turns into its own click).
    void Click(int id);
    // The control that has the keyboard focus in the program's thread.
    HWND FocusedControl() const;
    // Waits until control `id` has the focus; false when it does not in time.
    bool WaitForFocus(int id) const;
    // Moves the focus into control `id`, as a click or Tab would, and waits
    // until the program's thread reports it there.
    bool Focus(int id);

    // Waits for the first message box owned by the main dialog, then reads
    // and closes every box that follows until the dialog has been quiet for
    // kSettleMs. The boxes in the order they appeared; at most `limit`.
    std::vector<MessageBoxInfo> CollectMessages(unsigned long firstTimeoutMs, size_t limit = 20);

    bool WaitForExit(unsigned long timeoutMs) { return process_->WaitForExit(timeoutMs); }

private:
    std::unique_ptr<ChildProcess> process_;
    HWND dialog_ = nullptr;
};

// Caption and text of a box, for readable failure messages.
std::string Describe(const std::vector<MessageBoxInfo>& boxes);

}  // namespace gui_test
