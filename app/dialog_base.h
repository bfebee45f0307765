// A small modal dialog class over DialogBoxParamW: it routes the dialog's
// messages to virtual handlers, exchanges text between edit boxes and string
// members, ends the dialog on OK and Cancel, and centres a dialog that does
// not place itself.
#pragma once

#include <windows.h>

#include <string>

// The command that F1 (without Shift, Ctrl or Alt) sends to the application's
// main window, from any dialog of ours that is running.
constexpr WORD kHelpCommand = 0xE146;

class DialogBase {
public:
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    // Shows the dialog and runs its modal loop until EndDialog. Returns the
    // result given to EndDialog, or -1 when the dialog cannot be created.
    INT_PTR DoModal();

    // The dialog's window while it runs, null otherwise.
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The outermost of our dialogs that are running: the application's main
    // window. Null when none runs.
    static HWND MainWindow();

protected:
    // `parent` is the owner window; with none, the innermost of our running
    // dialogs owns the new one.
    explicit DialogBase(UINT templateId, HWND parent = nullptr);
    virtual ~DialogBase() = default;

    // Moves data between the controls and the members: `save` true reads
    // the controls into the members, false writes the members to them.
    virtual void DoDataExchange(bool save);
    void UpdateData(bool save);

    // Reads the whole text of edit box `controlId` into `value`, or writes
    // `value` into it, depending on the direction. `value` is UTF-8.
    void ExchangeText(bool save, int controlId, std::string& value);

    // Handlers. The bool ones return false to leave the message to the
    // dialog manager's default processing.
    virtual BOOL OnInitDialog();
    virtual bool OnCommand(WORD id, WORD notifyCode, HWND control);
    virtual bool OnSysCommand(WPARAM command, LPARAM position);
    virtual bool OnPaint();
    virtual HICON OnQueryDragIcon();
    virtual void OnOK();
    virtual void OnCancel();
    // F1 pressed in this dialog: by default the help command goes to the
    // application's main window.
    virtual void OnHelpKey();

    void EndDialog(INT_PTR result);

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR HandleDialogMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK MessageFilterProc(int code, WPARAM wParam, LPARAM lParam);
    static DialogBase* RunningDialogOf(HWND window);

    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL HandleInitDialog();
    void CenterWindow();

    std::string ReadControlText(int controlId) const;
    void WriteControlText(int controlId, const std::string& text) const;

    UINT m_templateId;
    HWND m_parent;
    // The dialog that was innermost when this one started running.
    DialogBase* m_outer = nullptr;

    static DialogBase* s_innermost;
    static HHOOK s_messageFilter;
};
