#include "dialog_base.h"

#include <cwchar>
#include <vector>

#include "wide_text.h"

DialogBase* DialogBase::s_innermost = nullptr;
HHOOK DialogBase::s_messageFilter = nullptr;

namespace {

// The edit box's text is compared in a buffer of this size before writing.
constexpr int kCompareBufferSize = 256;

int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

// Top-left corner that centres `window` on `centreOn`, then moved inside
// `area` (the left and top edges win when the window is larger than it).
POINT CentredPosition(const RECT& window, const RECT& centreOn, const RECT& area)
{
    POINT position;
    position.x = (centreOn.left + centreOn.right) / 2 - Width(window) / 2;
    position.y = (centreOn.top + centreOn.bottom) / 2 - Height(window) / 2;
    if (position.x + Width(window) > area.right) position.x = area.right - Width(window);
    if (position.x < area.left) position.x = area.left;
    if (position.y + Height(window) > area.bottom) position.y = area.bottom - Height(window);
    if (position.y < area.top) position.y = area.top;
    return position;
}

bool IsKeyHeld(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

// F1 pressed, not repeated while held, without Shift, Ctrl or Alt.
bool IsPlainHelpKey(const MSG& msg)
{
    const LPARAM wasDown = 1 << 30;
    return msg.message == WM_KEYDOWN && msg.wParam == VK_F1 && (msg.lParam & wasDown) == 0 &&
           !IsKeyHeld(VK_SHIFT) && !IsKeyHeld(VK_CONTROL) && !IsKeyHeld(VK_MENU);
}

}  // namespace

DialogBase::DialogBase(UINT templateId, HWND parent) : m_templateId(templateId), m_parent(parent) {}

INT_PTR DialogBase::DoModal()
{
    HWND owner = m_parent;
    if (owner == nullptr && s_innermost != nullptr) owner = s_innermost->m_hWnd;

    // F1 never reaches a dialog's own procedure (the dialog manager's loop
    // eats it), so watch the loop's messages while our dialogs run.
    const bool outermost = s_innermost == nullptr;
    if (outermost) {
        s_messageFilter =
            SetWindowsHookExW(WH_MSGFILTER, MessageFilterProc, nullptr, GetCurrentThreadId());
    }
    m_outer = s_innermost;
    s_innermost = this;

    // A Unicode dialog: its edit boxes hold any file name.
    const INT_PTR result =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), owner,
                        DialogProc, reinterpret_cast<LPARAM>(this));

    s_innermost = m_outer;
    m_outer = nullptr;
    m_hWnd = nullptr;
    if (outermost && s_messageFilter != nullptr) {
        UnhookWindowsHookEx(s_messageFilter);
        s_messageFilter = nullptr;
    }
    return result;
}

HWND DialogBase::MainWindow()
{
    const DialogBase* dialog = s_innermost;
    while (dialog != nullptr && dialog->m_outer != nullptr) dialog = dialog->m_outer;
    return dialog != nullptr ? dialog->m_hWnd : nullptr;
}

void DialogBase::DoDataExchange(bool) {}

void DialogBase::UpdateData(bool save) { DoDataExchange(save); }

void DialogBase::ExchangeText(bool save, int controlId, std::string& value)
{
    if (save) {
        value = ReadControlText(controlId);
    } else {
        WriteControlText(controlId, value);
    }
}

std::string DialogBase::ReadControlText(int controlId) const
{
    HWND control = GetDlgItem(m_hWnd, controlId);
    const int length = GetWindowTextLengthW(control);
    if (length <= 0) return std::string();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    const int copied = GetWindowTextW(control, buffer.data(), length + 1);
    return Narrow(std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0));
}

void DialogBase::WriteControlText(int controlId, const std::string& text) const
{
    HWND control = GetDlgItem(m_hWnd, controlId);
    // Leave a box that already shows the text alone, so that its caret and
    // selection stay put. Texts too long for the buffer are always written.
    const std::wstring wide = Widen(text);
    const int newLength = static_cast<int>(std::wcslen(wide.c_str()));
    wchar_t shown[kCompareBufferSize];
    if (newLength >= kCompareBufferSize ||
        GetWindowTextW(control, shown, kCompareBufferSize) != newLength ||
        std::wcscmp(shown, wide.c_str()) != 0) {
        SetWindowTextW(control, wide.c_str());
    }
}

BOOL DialogBase::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

bool DialogBase::OnCommand(WORD id, WORD notifyCode, HWND)
{
    if (notifyCode != BN_CLICKED) return false;
    switch (id) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

bool DialogBase::OnSysCommand(WPARAM, LPARAM) { return false; }

bool DialogBase::OnPaint() { return false; }

HICON DialogBase::OnQueryDragIcon() { return nullptr; }

void DialogBase::OnOK()
{
    UpdateData(true);
    EndDialog(IDOK);
}

void DialogBase::OnCancel() { EndDialog(IDCANCEL); }

void DialogBase::OnHelpKey()
{
    HWND mainWindow = MainWindow();
    if (mainWindow != nullptr) SendMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(kHelpCommand, 0), 0);
}

void DialogBase::EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }

INT_PTR CALLBACK DialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // An exception cannot pass back through the system's code that called
    // us. The run catches running out of memory itself; anything else that
    // throws leaves the dialog as it was.
    try {
        return HandleDialogMessage(window, message, wParam, lParam);
    } catch (...) {
        return TRUE;
    }
}

INT_PTR DialogBase::HandleDialogMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<DialogBase*>(lParam);
        dialog->m_hWnd = window;
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        return dialog->HandleInitDialog();
    }
    // Messages that arrive before WM_INITDIALOG (WM_SETFONT) find no object yet.
    auto* dialog = reinterpret_cast<DialogBase*>(GetWindowLongPtrW(window, DWLP_USER));
    if (dialog == nullptr) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        dialog->m_hWnd = nullptr;
        return FALSE;
    }
    return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR DialogBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SYSCOMMAND:
        return OnSysCommand(wParam, lParam);
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        // One of the messages whose result a dialog procedure returns directly.
        return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    default:
        return FALSE;
    }
}

BOOL DialogBase::HandleInitDialog()
{
    const bool visibleBefore = (GetWindowLongW(m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
    RECT before;
    GetWindowRect(m_hWnd, &before);

    const BOOL result = OnInitDialog();

    // Centre a dialog that did not place or show itself, unless it has an
    // enabled owner (a modeless window beside another).
    const LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    RECT after;
    GetWindowRect(m_hWnd, &after);
    if (!visibleBefore && (style & (WS_VISIBLE | WS_CHILD)) == 0 && before.left == after.left &&
        before.top == after.top) {
        HWND owner = GetWindow(m_hWnd, GW_OWNER);
        if (owner == nullptr || !IsWindowEnabled(owner)) CenterWindow();
    }
    return result;
}

void DialogBase::CenterWindow()
{
    HWND owner = GetWindow(m_hWnd, GW_OWNER);
    if (owner != nullptr) {
        // An owner that cannot be seen is no place to centre on.
        const LONG ownerStyle = GetWindowLongW(owner, GWL_STYLE);
        if ((ownerStyle & WS_VISIBLE) == 0 || (ownerStyle & WS_MINIMIZE) != 0) owner = nullptr;
    }

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT centreOn;
    if (owner == nullptr) {
        HWND mainWindow = MainWindow();
        GetMonitorInfoW(MonitorFromWindow(mainWindow != nullptr ? mainWindow : m_hWnd,
                                          MONITOR_DEFAULTTOPRIMARY),
                        &monitor);
        centreOn = monitor.rcWork;
    } else {
        GetWindowRect(owner, &centreOn);
        GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
    }

    RECT window;
    GetWindowRect(m_hWnd, &window);
    const POINT position = CentredPosition(window, centreOn, monitor.rcWork);
    SetWindowPos(m_hWnd, nullptr, position.x, position.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

DialogBase* DialogBase::RunningDialogOf(HWND window)
{
    HWND root = GetAncestor(window, GA_ROOT);
    for (DialogBase* dialog = s_innermost; dialog != nullptr; dialog = dialog->m_outer) {
        if (dialog->m_hWnd != nullptr && dialog->m_hWnd == root) return dialog;
    }
    return nullptr;
}

LRESULT CALLBACK DialogBase::MessageFilterProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_DIALOGBOX && lParam != 0) {
        const MSG& msg = *reinterpret_cast<const MSG*>(lParam);
        if (IsPlainHelpKey(msg)) {
            // Only our own dialogs: message boxes keep their own F1 handling.
            if (DialogBase* dialog = RunningDialogOf(msg.hwnd)) {
                dialog->OnHelpKey();
                return TRUE;
            }
        }
    }
    return CallNextHookEx(s_messageFilter, code, wParam, lParam);
}
