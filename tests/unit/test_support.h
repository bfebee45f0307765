// Shared helpers of the engine's unit tests.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "conversion_host.h"
#include "conversion_run.h"
#include "platform_file.h"

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Makes `path` the current directory until the end of the scope.
class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(const std::string& path);
    ~CurrentDirectoryScope();
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

private:
    std::string m_previous;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

struct Message {
    std::string text;
    std::string caption;
    bool operator==(const Message& other) const {
        return text == other.text && caption == other.caption;
    }
};

// Records what the engine asks of its host.
class RecordingHost : public ConversionHost {
public:
    RecordingHost(std::string inputPath, std::string outputPath);

    void RefreshPaths() override;
    void ShowPaths() override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

    std::vector<Message> messages;
    int refreshCount = 0;
    int showPathsCount = 0;
    // Output paths as they stood at each ShowPaths call.
    std::vector<std::string> shownOutputPaths;
};

// An in-memory input that serves `data` in pieces of at most `chunk` bytes
// and, if `failAfter` is set, fails once that many bytes have been served.
class MemoryInputFile : public InputFile {
public:
    explicit MemoryInputFile(std::string data, std::size_t chunk = 1 << 20,
                             long long failAfter = -1);

    ReadStatus Read(char* buffer, std::size_t capacity, std::size_t& got) override;
    std::optional<std::uint64_t> SizeAtOpen() const override { return std::nullopt; }
    std::optional<FileIdentity> Identity() const override { return std::nullopt; }

private:
    std::string m_data;
    std::size_t m_chunk;
    long long m_failAfter;
    std::size_t m_offset = 0;
};

// The row text the converter gives for each line, for building expectations.
std::string Row(const std::vector<std::string>& cells);

// The ways a run can write its output, for tests that must hold for each.
enum class OutputKind {
    AppendEachRow,       // open, append, close per piece, as the dialog does
    Buffered,            // --buffered, with its usual block size
    BufferedTinyBlocks,  // --buffered with 7-byte blocks: a flush every few bytes
};
inline constexpr OutputKind kEachOutputKind[] = {OutputKind::AppendEachRow, OutputKind::Buffered,
                                                 OutputKind::BufferedTinyBlocks};
std::string OutputKindName(OutputKind kind);
OutputOpener OutputOpenerFor(OutputKind kind);
