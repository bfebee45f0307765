// The command-line converter's host: paths come from the arguments, and
// every message but "Done" goes to standard error.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "conversion_host.h"

class ConsoleHost final : public ConversionHost {
public:
    ConsoleHost(std::string inputPath, std::string outputPath, std::FILE* errors);

    // The paths never change behind the engine's back: nothing to sync.
    void RefreshPaths() override {}
    void ShowPaths() override {}
    void ShowMessage(const std::string& text, const std::string& caption) override;
    // "quillbar-convert: CAPTION: TEXT: DETAIL".
    void ShowFailure(const std::string& text, const std::string& caption,
                     const std::string& detail) override;

    // Runs before a message is printed, e.g. to end a progress line.
    void BeforeEachMessage(std::function<void()> action) { m_beforeMessage = std::move(action); }

private:
    void Print(const std::string& line);

    std::FILE* m_errors;
    std::function<void()> m_beforeMessage;
};
