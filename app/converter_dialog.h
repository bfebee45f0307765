// The main dialog: the two paths with their Browse buttons, Convert, Help and
// Quit, and the About entry of its system menu. It is the host of the
// conversion engine's runs.
#pragma once

#include <windows.h>

#include <string>

#include "conversion_host.h"
#include "dialog_base.h"

class CConverterDialog : public DialogBase, public ConversionHost {
public:
    explicit CConverterDialog(HWND parent = nullptr);
    ~CConverterDialog() override = default;

    // ConversionHost
    void RefreshPaths() override;
    void ShowPaths() override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

protected:
    void DoDataExchange(bool save) override;
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    bool OnSysCommand(WPARAM command, LPARAM position) override;
    bool OnPaint() override;
    HICON OnQueryDragIcon() override;

private:
    void OnHelpButton();
    void OnConvert();
    void OnBrowseInput();
    void OnBrowseOutput();

    // Lets the user pick a file for `path` with an open-file picker, keeping
    // the current directory and whatever was typed into the boxes.
    // `savedDirectory` is the handler's own record of the current directory.
    void BrowseForPath(std::string& path, const wchar_t* filter, const wchar_t* defaultExtension,
                       wchar_t (&savedDirectory)[MAX_PATH]);
    void AddAboutEntryToSystemMenu();

    // Shared resource icon: never destroyed.
    HICON m_hIcon;
};
