// libFuzzer target: a whole conversion run over an in-memory input, the
// text-mode reader and both kinds of output included. The first three bytes
// choose the read block size, how much each read returns and the output;
// the rest is the input file. The run must say "Done" and write exactly
// "<table>", the rows of the lines as split here independently, "</table>".
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "buffered_output.h"
#include "conversion_host.h"
#include "conversion_run.h"
#include "fuzz_support.h"
#include "messages.h"
#include "platform_file.h"
#include "reference_conversion.h"
#include "row_converter.h"
#include "text_mode.h"

namespace {

class MemoryOutputFile final : public OutputFile {
public:
    explicit MemoryOutputFile(std::string& sink) : m_sink(sink) {}
    bool Write(const char* data, std::size_t size) override {
        m_sink.append(data, size);
        return true;
    }
    bool Close() override { return true; }

private:
    std::string& m_sink;
};

// The table of the lines as split independently of the engine's reader.
std::string ExpectedTable(std::string_view input) {
    std::string table = "<table>";
    for (const std::string& line : ReferenceLines(input)) table += ToCrLf(ConvertLineToRow(line));
    return table + "</table>";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t blockSize = 1 + data[0] % 32;
    const std::size_t chunk = 1 + data[1] % 64;
    const bool buffered = data[2] & 1;
    const std::size_t outputBlock = 1 + (data[2] >> 1);
    const std::string_view input(reinterpret_cast<const char*>(data) + 3, size - 3);

    QuietHost host;
    host.m_inputPath = "in.csv";
    host.m_outputPath = "out.htm";
    std::string written;
    const auto openInput = [&](const std::string&) -> std::unique_ptr<InputFile> {
        return std::make_unique<MemoryInput>(input, chunk);
    };
    const auto openOutput = [&](ConversionHost& owner) -> std::unique_ptr<TableOutput> {
        if (!buffered) return std::make_unique<PieceCollector>(written);
        return std::make_unique<BufferedOutput>(owner, outputBlock, [&](const std::string&) {
            return std::make_unique<MemoryOutputFile>(written);
        });
    };

    Require(RunConversion(host, openInput, openOutput, blockSize), "the run ends with Done");
    Require(host.messages ==
                std::vector<std::string>{std::string(messages::kDone) + ": " + messages::kDone},
            "the only message is Done");
    Require(written == ExpectedTable(input),
            "the output is the table of the lines split independently");
    return 0;
}
