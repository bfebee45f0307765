// What the run fuzz targets share: a property check that aborts, a host
// that records its messages, an input served from memory in small pieces,
// and an output that collects every piece.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion_host.h"
#include "piece_collector.h"
#include "platform_file.h"
#include "table_output.h"

// libFuzzer reports an abort as a finding, with the input that caused it.
inline void Require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

class QuietHost final : public ConversionHost {
public:
    void RefreshPaths() override {}
    void ShowPaths() override {}
    void ShowMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + ": " + text);
    }
    std::vector<std::string> messages;
};

// Serves the input in pieces of at most `chunk` bytes.
class MemoryInput final : public InputFile {
public:
    MemoryInput(std::string_view data, std::size_t chunk) : m_data(data), m_chunk(chunk) {}
    ReadStatus Read(char* buffer, std::size_t capacity, std::size_t& got) override {
        if (m_data.empty()) return ReadStatus::End;
        got = std::min({capacity, m_chunk, m_data.size()});
        std::copy_n(m_data.data(), got, buffer);
        m_data.remove_prefix(got);
        return ReadStatus::Data;
    }
    std::optional<std::uint64_t> SizeAtOpen() const override { return std::nullopt; }
    std::optional<FileIdentity> Identity() const override { return std::nullopt; }

private:
    std::string_view m_data;
    std::size_t m_chunk;
};
