// The command-line converter's host: paths come from the arguments, and
// every message but "Done" goes to standard error.
#pragma once

#include <iosfwd>
#include <string>

#include "conversion_host.h"

class ConsoleHost final : public ConversionHost {
public:
    ConsoleHost(std::string inputPath, std::string outputPath, std::ostream& errors);

    // The paths never change behind the engine's back: nothing to sync.
    void RefreshPaths() override {}
    void ShowPaths() override {}
    void ShowMessage(const std::string& text, const std::string& caption) override;
    // Prints "quillbar-convert: CAPTION: TEXT: DETAIL".
    void ShowFailure(const std::string& text, const std::string& caption,
                     const std::string& detail) override;

private:
    std::ostream& m_errors;
};
