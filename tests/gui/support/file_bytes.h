// Whole-file reads and writes, and scratch folders, for the GUI tests. Paths
// are UTF-8, as the program keeps them.
#pragma once

#include <optional>
#include <string>

namespace gui_test {

// The file's bytes, or nothing when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::string& path);
// Replaces the file's contents with exactly these bytes.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);

// UTF-8 to UTF-16 and back.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return JoinPath(path_, name); }

private:
    std::string path_;
};

}  // namespace gui_test
