#include "converter_dialog.h"

#include <shellapi.h>

#include "conversion_run.h"
#include "minimised_icon.h"
#include "quillbar_config.h"
#include "resource.h"

namespace {

constexpr char kHelpPageUrl[] = "http://" QUILLBAR_WEB_ADDRESS "/quillbar/help.htm";

}  // namespace

CConverterDialog::CConverterDialog(HWND parent)
    : DialogBase(IDD_MAIN_DIALOG, parent),
      m_hIcon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)))
{
}

void CConverterDialog::RefreshPaths() { UpdateData(true); }

void CConverterDialog::ShowPaths() { UpdateData(false); }

void CConverterDialog::ShowMessage(const std::string& text, const std::string& caption)
{
    MessageBoxA(m_hWnd, text.c_str(), caption.c_str(), MB_OK);
}

void CConverterDialog::DoDataExchange(bool save)
{
    ExchangeText(save, IDC_INPUT_PATH, m_inputPath);
    ExchangeText(save, IDC_OUTPUT_PATH, m_outputPath);
}

BOOL CConverterDialog::OnInitDialog()
{
    DialogBase::OnInitDialog();
    // One large icon serves the title bar and the taskbar alike.
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    return TRUE;  // the focus goes to the first tab stop, Quit
}

bool CConverterDialog::OnCommand(WORD id, WORD notifyCode, HWND control)
{
    if (notifyCode == BN_CLICKED) {
        switch (id) {
        case IDC_HELP_BUTTON:
        case kHelpCommand:  // F1: no help file comes with the program, only the page
            OnHelpButton();
            return true;
        case IDC_CONVERT:
            OnConvert();
            return true;
        default:
            break;
        }
    }
    return DialogBase::OnCommand(id, notifyCode, control);
}

bool CConverterDialog::OnPaint()
{
    if (!IsIconic(m_hWnd)) return false;

    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(m_hWnd, &client);
    DrawIcon(dc, MinimisedIconOffset(client.right - client.left, iconWidth),
             MinimisedIconOffset(client.bottom - client.top, iconHeight), m_hIcon);
    EndPaint(m_hWnd, &paint);
    return true;
}

HICON CConverterDialog::OnQueryDragIcon() { return m_hIcon; }

void CConverterDialog::OnHelpButton()
{
    UpdateData(true);
    // Shown normally: a browser started hidden would make Help look dead.
    // Failures (no browser, no network) are not reported.
    ShellExecuteA(nullptr, "open", kHelpPageUrl, nullptr, nullptr, SW_SHOWNORMAL);
    UpdateData(false);
}

void CConverterDialog::OnConvert() { RunConversion(*this); }
