// What the conversion engine needs of the window that owns a run: the two
// paths, a way to sync them with the user interface, and a message box.
#pragma once

#include <string>

class ConversionHost {
public:
    // Both paths belong to the host; the engine reads them and may default
    // an empty output path to "db.csv".
    std::string m_inputPath;
    std::string m_outputPath;

    // Reads both paths from the user interface into the members.
    virtual void RefreshPaths() = 0;
    // Writes both members back into the user interface.
    virtual void ShowPaths() = 0;
    // Modal message with an OK button and no icon; returns once dismissed.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // Same as ShowMessage, with what the dialog leaves out: the file's name
    // and the system's reason, or the line the failure happened on. Hosts
    // that show no detail keep this default.
    virtual void ShowFailure(const std::string& text, const std::string& caption,
                             const std::string& detail) {
        static_cast<void>(detail);
        ShowMessage(text, caption);
    }

protected:
    ConversionHost() = default;
    ConversionHost(const ConversionHost&) = default;
    ConversionHost& operator=(const ConversionHost&) = default;
    ~ConversionHost() = default;
};
