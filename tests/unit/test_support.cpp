#include "test_support.h"

#include "buffered_output.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quillbar-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

CurrentDirectoryScope::CurrentDirectoryScope(const std::string& path)
    : m_previous(fs::current_path().string()) {
    fs::current_path(path);
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
    std::error_code ignored;
    fs::current_path(m_previous, ignored);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

RecordingHost::RecordingHost(std::string inputPath, std::string outputPath) {
    m_inputPath = std::move(inputPath);
    m_outputPath = std::move(outputPath);
}

void RecordingHost::RefreshPaths() { ++refreshCount; }

void RecordingHost::ShowPaths() {
    ++showPathsCount;
    shownOutputPaths.push_back(m_outputPath);
}

void RecordingHost::ShowMessage(const std::string& text, const std::string& caption) {
    messages.push_back({text, caption});
}

MemoryInputFile::MemoryInputFile(std::string data, std::size_t chunk, long long failAfter)
    : m_data(std::move(data)), m_chunk(chunk), m_failAfter(failAfter) {}

ReadStatus MemoryInputFile::Read(char* buffer, std::size_t capacity, std::size_t& got) {
    std::size_t available = m_data.size() - m_offset;
    if (m_failAfter >= 0) {
        const auto limit = static_cast<std::size_t>(m_failAfter);
        if (m_offset >= limit) return ReadStatus::Error;
        available = std::min(available, limit - m_offset);
    }
    if (available == 0) return ReadStatus::End;
    got = std::min({available, capacity, m_chunk});
    std::copy_n(m_data.data() + m_offset, got, buffer);
    m_offset += got;
    return ReadStatus::Data;
}

std::string Row(const std::vector<std::string>& cells) {
    std::string row = "<tr>\n";
    for (std::size_t i = 0; i < cells.size(); ++i) {
        row += "<td>" + cells[i] + (i + 1 < cells.size() ? "</td>\n" : "</td>");
    }
    return row + "</tr>\n";
}

std::string OutputKindName(OutputKind kind) {
    switch (kind) {
    case OutputKind::AppendEachRow:
        return "AppendEachRow";
    case OutputKind::Buffered:
        return "Buffered";
    case OutputKind::BufferedTinyBlocks:
        return "BufferedTinyBlocks";
    }
    return "unknown";
}

OutputOpener OutputOpenerFor(OutputKind kind) {
    return [kind](ConversionHost& host) -> std::unique_ptr<TableOutput> {
        switch (kind) {
        case OutputKind::AppendEachRow:
            return OpenTableOutput(host, OutputMode::AppendEachPiece);
        case OutputKind::Buffered:
            return OpenTableOutput(host, OutputMode::Buffered);
        case OutputKind::BufferedTinyBlocks:
            return std::make_unique<BufferedOutput>(host, 7);
        }
        return nullptr;
    };
}
