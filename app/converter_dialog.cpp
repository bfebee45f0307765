#include "converter_dialog.h"

#include <shellapi.h>

#include "about_dialog.h"
#include "conversion_run.h"
#include "current_directory.h"
#include "file_dialog.h"
#include "minimised_icon.h"
#include "quillbar_config.h"
#include "resource.h"
#include "wide_text.h"

namespace {

constexpr wchar_t kHelpPageUrl[] = L"http://" QUILLBAR_WEB_ADDRESS "/quillbar/help.htm";

constexpr wchar_t kInputFilter[] =
    L"CSV Files (*.csv)|*.csv|Tab Delimited Files (*.tab)|*.tab|All Files (*.*)|*.*||";
constexpr wchar_t kOutputFilter[] = L"HTM Files (*.htm)|*.htm|All Files (*.*)|*.*||";
// Bare extensions: the system appends at most three characters of this text,
// so "*.csv" would turn a typed "report" into "report.*.c".
constexpr wchar_t kInputExtension[] = L"csv";
constexpr wchar_t kOutputExtension[] = L"htm";
// Neither the file nor its folder has to exist: a new output name may be typed.
constexpr DWORD kPickerFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;

}  // namespace

CConverterDialog::CConverterDialog(HWND parent)
    : DialogBase(IDD_MAIN_DIALOG, parent),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)))
{
}

void CConverterDialog::RefreshPaths() { UpdateData(true); }

void CConverterDialog::ShowPaths() { UpdateData(false); }

void CConverterDialog::ShowMessage(const std::string& text, const std::string& caption)
{
    MessageBoxW(m_hWnd, Widen(text).c_str(), Widen(caption).c_str(), MB_OK);
}

void CConverterDialog::DoDataExchange(bool save)
{
    ExchangeText(save, IDC_INPUT_PATH, m_inputPath);
    ExchangeText(save, IDC_OUTPUT_PATH, m_outputPath);
}

BOOL CConverterDialog::OnInitDialog()
{
    DialogBase::OnInitDialog();
    AddAboutEntryToSystemMenu();
    // One large icon serves the title bar and the taskbar alike.
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
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
        case IDC_BROWSE_INPUT:
            OnBrowseInput();
            return true;
        case IDC_BROWSE_OUTPUT:
            OnBrowseOutput();
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
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(m_hWnd, &client);
    DrawIcon(dc, MinimisedIconOffset(client.right - client.left, iconWidth),
             MinimisedIconOffset(client.bottom - client.top, iconHeight), m_hIcon);
    EndPaint(m_hWnd, &paint);
    return true;
}

bool CConverterDialog::OnSysCommand(WPARAM command, LPARAM position)
{
    // The low four bits of a system command are the system's own.
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDialog about;
        about.DoModal();
        return true;
    }
    return DialogBase::OnSysCommand(command, position);
}

HICON CConverterDialog::OnQueryDragIcon() { return m_hIcon; }

void CConverterDialog::AddAboutEntryToSystemMenu()
{
    HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
    if (systemMenu == nullptr) return;
    wchar_t text[256];
    if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, text, 256) <= 0) return;
    AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, text);
}

void CConverterDialog::OnHelpButton()
{
    UpdateData(true);
    // Shown normally: a browser started hidden would make Help look dead.
    // Failures (no browser, no network) are not reported.
    ShellExecuteW(nullptr, L"open", kHelpPageUrl, nullptr, nullptr, SW_SHOWNORMAL);
    UpdateData(false);
}

void CConverterDialog::OnConvert() { RunConversion(*this); }

void CConverterDialog::OnBrowseInput()
{
    static wchar_t savedDirectory[MAX_PATH];
    BrowseForPath(m_inputPath, kInputFilter, kInputExtension, savedDirectory);
}

void CConverterDialog::OnBrowseOutput()
{
    static wchar_t savedDirectory[MAX_PATH];
    BrowseForPath(m_outputPath, kOutputFilter, kOutputExtension, savedDirectory);
}

void CConverterDialog::BrowseForPath(std::string& path, const wchar_t* filter,
                                     const wchar_t* defaultExtension,
                                     wchar_t (&savedDirectory)[MAX_PATH])
{
    // Read both boxes first, so that nothing typed into either is lost when
    // they are written back below.
    UpdateData(true);
    // The picker may change the current directory; relative paths in the
    // boxes must keep meaning what they meant.
    const CurrentDirectoryKeeper directory(savedDirectory);
    CFileDialog picker(defaultExtension, kPickerFlags, filter);
    if (picker.DoModal(m_hWnd) == IDOK) path = picker.GetPathName();
    directory.Restore();
    UpdateData(false);
}
