#include "console_host.h"

#include <utility>

#include "messages.h"

ConsoleHost::ConsoleHost(std::string inputPath, std::string outputPath, std::FILE* errors)
    : m_errors(errors) {
    m_inputPath = std::move(inputPath);
    m_outputPath = std::move(outputPath);
}

void ConsoleHost::ShowMessage(const std::string& text, const std::string& caption) {
    // Success is silent, as command-line tools are.
    if (text == messages::kDone && caption == messages::kDone) return;
    Print(caption + ": " + text);
}

void ConsoleHost::ShowFailure(const std::string& text, const std::string& caption,
                              const std::string& detail) {
    Print(caption + ": " + text + ": " + detail);
}

void ConsoleHost::Print(const std::string& line) {
    if (m_beforeMessage) m_beforeMessage();
    const std::string text = "quillbar-convert: " + line + "\n";
    std::fwrite(text.data(), 1, text.size(), m_errors);
    std::fflush(m_errors);
}
