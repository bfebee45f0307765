#include "support/open_file_picker.h"

#include "support/window_query.h"

namespace gui_test {
namespace {

// Control identifiers of the system's open-file picker.
constexpr int kFileTypeList = 0x470;  // cmb1
constexpr int kLookInList = 0x471;    // cmb2
constexpr int kFileNameBox = 0x47c;   // cmb13
constexpr int kShellView = 0x461;     // lst2
constexpr int kOpenButton = IDOK;

// The picker's own controls are Unicode windows: their list texts come back
// as UTF-16 whatever the asking side's character set.
std::string ListItemText(HWND list, int index) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(list, CB_GETLBTEXTLEN, index, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &length) ||
        static_cast<LRESULT>(length) == CB_ERR)
        return "<unreadable>";
    std::wstring wide(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied) ||
        static_cast<LRESULT>(copied) == CB_ERR)
        return "<unreadable>";
    wide.resize(copied);
    std::string text(wide.size() * 3 + 1, '\0');
    int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()),
                                   text.data(), static_cast<int>(text.size()), nullptr, nullptr);
    text.resize(size > 0 ? size : 0);
    return text;
}

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &result))
        return -1;
    return static_cast<LRESULT>(result);
}

// The edit box inside the file-name combo box (itself inside a ComboBoxEx).
HWND FileNameEdit(HWND picker) {
    HWND box = GetDlgItem(picker, kFileNameBox);
    for (int depth = 0; box != nullptr && depth < 3; ++depth) {
        if (ClassNameOf(box) == "Edit") return box;
        HWND inner = nullptr;
        for (HWND child : ChildrenOf(box)) {
            if (ClassNameOf(child) == "Edit" || ClassNameOf(child) == "ComboBox") {
                inner = child;
                break;
            }
        }
        box = inner;
    }
    return nullptr;
}

HWND OpenButton(HWND picker) {
    // The toolbar shares the button's identifier; take the push button.
    for (HWND child : ChildrenOf(picker)) {
        if (GetDlgCtrlID(child) == kOpenButton && ClassNameOf(child) == "Button") return child;
    }
    return nullptr;
}

}  // namespace

OpenFilePicker::OpenFilePicker(DWORD processId, HWND owner, DWORD timeoutMs) {
    WaitUntil(
        [&] {
            for (HWND window : DialogWindowsOf(processId, owner)) {
                if (IsWindowVisible(window) && FileNameEdit(window) != nullptr) {
                    window_ = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    // A freshly made picker fills its lists after it shows.
    if (window_)
        WaitUntil([&] { return SelectedFilter() >= 0 && Answers(window_, 200); }, kSendTimeoutMs);
}

std::string OpenFilePicker::Title() const { return TextOf(window_).value_or("<no answer>"); }

std::vector<std::string> OpenFilePicker::FilterNames() const {
    HWND list = GetDlgItem(window_, kFileTypeList);
    std::vector<std::string> names;
    LRESULT count = SendWithTimeout(list, CB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) names.push_back(ListItemText(list, static_cast<int>(i)));
    return names;
}

int OpenFilePicker::SelectedFilter() const {
    return static_cast<int>(SendWithTimeout(GetDlgItem(window_, kFileTypeList), CB_GETCURSEL));
}

bool OpenFilePicker::SelectFilter(int index) {
    HWND list = GetDlgItem(window_, kFileTypeList);
    if (SendWithTimeout(list, CB_SETCURSEL, index) != index) return false;
    // A program's change of selection is not announced; a user's is, and
    // the picker acts on the end of the selection.
    for (WORD notification : {CBN_SELCHANGE, CBN_SELENDOK}) {
        if (SendWithTimeout(window_, WM_COMMAND, MAKEWPARAM(kFileTypeList, notification),
                            reinterpret_cast<LPARAM>(list)) == -1)
            return false;
    }
    return true;
}

bool OpenFilePicker::IsExplorerStyle() const {
    HWND view = GetDlgItem(window_, kShellView);
    return view != nullptr && ClassNameOf(view) == "SHELLDLL_DefView";
}

bool OpenFilePicker::IsResizable() const { return (StyleOf(window_) & WS_THICKFRAME) != 0; }

bool OpenFilePicker::Open(const std::string& name) {
    HWND edit = FileNameEdit(window_);
    HWND button = OpenButton(window_);
    if (!edit || !button || !SetTextOf(edit, name)) return false;
    PostMessageA(button, BM_CLICK, 0, 0);
    return true;
}

void OpenFilePicker::Cancel() {
    for (HWND child : ChildrenOf(window_)) {
        if (GetDlgCtrlID(child) == IDCANCEL && ClassNameOf(child) == "Button") {
            PostMessageA(child, BM_CLICK, 0, 0);
            return;
        }
    }
}

bool OpenFilePicker::WaitUntilClosed(DWORD timeoutMs) const {
    return WaitUntil([&] { return !IsWindow(window_) || !IsWindowVisible(window_); }, timeoutMs);
}

std::string OpenFilePicker::ShownFolder() const {
    HWND list = GetDlgItem(window_, kLookInList);
    LRESULT selected = SendWithTimeout(list, CB_GETCURSEL);
    return selected < 0 ? std::string() : ListItemText(list, static_cast<int>(selected));
}

}  // namespace gui_test
