// Driving the system's open-file picker of another process, as a user would:
// read its title and filters, type into its file-name box, press Open or
// Cancel.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace gui_test {

class OpenFilePicker {
public:
    // Waits for a visible picker owned by `owner` in process `processId`.
    // Check Found() afterwards.
    OpenFilePicker(DWORD processId, HWND owner, DWORD timeoutMs);

    bool Found() const { return window_ != nullptr; }
    HWND Window() const { return window_; }
    std::string Title() const;
    // The display names of the "Files of type" list, and the selected one.
    std::vector<std::string> FilterNames() const;
    int SelectedFilter() const;
    // Picks another entry of the "Files of type" list, as a user would.
    bool SelectFilter(int index);
    // Explorer style: the folder view is a shell view, not a plain list box.
    bool IsExplorerStyle() const;
    bool IsResizable() const;

    // Types `name` into the file-name box and presses Open. A folder's path
    // makes the picker go into that folder and stay open; a file's closes it.
    bool Open(const std::string& name);
    void Cancel();
    bool WaitUntilClosed(DWORD timeoutMs) const;
    // The folder the picker shows ("Look in").
    std::string ShownFolder() const;

private:
    HWND window_ = nullptr;
};

}  // namespace gui_test
