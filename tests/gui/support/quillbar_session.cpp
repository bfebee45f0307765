#include "support/quillbar_session.h"

#include "support/test_environment.h"
#include "support/window_query.h"

namespace gui_test {

QuillbarSession::QuillbarSession(const TempFolder& folder, const std::string& exe,
                                 const std::map<std::string, std::string>& environment)
    : process_(std::make_unique<ChildProcess>(exe, folder.Path(), environment)) {}

HWND QuillbarSession::WaitForDialog(unsigned long timeoutMs) {
    if (!process_->Started()) return nullptr;
    DWORD id = process_->Id();
    WaitUntil(
        [&] {
            for (HWND window : DialogWindowsOf(id, nullptr)) {
                if (IsWindowVisible(window)) {
                    dialog_ = window;
                    return true;
                }
            }
            return !process_->IsRunning();
        },
        timeoutMs);
    return dialog_;
}

std::string QuillbarSession::Text(int id) const {
    return TextOf(Control(id)).value_or("<no answer>");
}

bool QuillbarSession::Type(int id, const std::string& text) { return SetTextOf(Control(id), text); }

void QuillbarSession::Click(int id) { PostMessageA(Control(id), BM_CLICK, 0, 0); }

HWND QuillbarSession::FocusedControl() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog_, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

bool QuillbarSession::WaitForFocus(int id) const {
    return WaitUntil([&] { return FocusedControl() == Control(id); }, kMessageTimeoutMs);
}

bool QuillbarSession::Focus(int id) {
    PostMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(id)), TRUE);
    return WaitForFocus(id);
}

std::vector<MessageBoxInfo> QuillbarSession::CollectMessages(unsigned long firstTimeoutMs,
                                                             size_t limit) {
    std::vector<MessageBoxInfo> boxes;
    DWORD id = process_->Id();
    unsigned long timeoutMs = firstTimeoutMs;
    while (boxes.size() < limit) {
        HWND box = nullptr;
        WaitUntil(
            [&] {
                std::vector<HWND> owned = DialogWindowsOf(id, dialog_);
                for (HWND window : owned) {
                    if (IsWindowVisible(window)) {
                        box = window;
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        if (!box) break;
        // A box that has just been created may not have its text yet.
        WaitUntil([box] { return Answers(box, 200); }, kSendTimeoutMs);
        boxes.push_back(ReadMessageBox(box));
        if (!PressOk(box)) break;
        timeoutMs = kSettleMs;
    }
    return boxes;
}

std::string Describe(const std::vector<MessageBoxInfo>& boxes) {
    std::string description = std::to_string(boxes.size()) + " message box(es)";
    for (const MessageBoxInfo& box : boxes)
        description += " [caption \"" + box.caption + "\", text \"" + box.text + "\"]";
    return description;
}

}  // namespace gui_test
