// The main dialog: the two paths, Convert, Help and Quit. It is the host of
// the conversion engine's runs.
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
    bool OnPaint() override;
    HICON OnQueryDragIcon() override;

private:
    void OnHelpButton();
    void OnConvert();

    // Shared resource icon: never destroyed.
    HICON m_hIcon;
};
