#include "conversion_run.h"

#include "conversion_host.h"
#include "messages.h"
#include "output_appender.h"
#include "platform_file.h"
#include "row_converter.h"
#include "table_output.h"
#include "text_mode.h"

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace {

bool IsSameFile(const InputFile& input, const std::string& outputPath) {
    const std::optional<FileIdentity> inputId = input.Identity();
    if (!inputId) return false;
    const std::optional<FileIdentity> outputId = IdentifyFile(outputPath);
    return outputId && *outputId == *inputId;
}

enum class RowsOutcome { Complete, WriteFailed, ReadFailed, OutOfMemory };

// `lineNumber` ends as the number of the last line read or being read.
RowsOutcome WriteRows(ConversionHost& host, InputFile& input, TableOutput& output,
                      std::size_t blockSize, std::uint64_t& lineNumber) {
    try {
        // A regular file is read only as far as it reached when opened, so a
        // file that grows during the run cannot keep the run going forever.
        TextLineReader reader(input, input.SizeAtOpen(), blockSize);
        std::string_view line;
        std::string row;  // reused: a row costs no allocation once it has grown
        for (;;) {
            ++lineNumber;
            switch (reader.ReadLine(line)) {
            case TextLineReader::Result::Line:
            case TextLineReader::Result::LastLine:
                host.RefreshPaths();
                row.clear();
                AppendRowOnDisk(line, IsSystemLeadByte, row);
                if (!output.Write(row)) return RowsOutcome::WriteFailed;
                break;
            case TextLineReader::Result::End:
                return RowsOutcome::Complete;
            case TextLineReader::Result::Error:
                return RowsOutcome::ReadFailed;
            }
        }
    } catch (const std::bad_alloc&) {
        // The line or its row did not fit in memory; both are freed by now.
    } catch (const std::length_error&) {
        // Longer than a string can be (a 32-bit build's limit).
    }
    return RowsOutcome::OutOfMemory;
}

// Everything after the input has been opened; closes it before the table is.
bool ConvertOpenInput(ConversionHost& host, std::unique_ptr<InputFile> input,
                      const OutputOpener& openOutput, std::size_t blockSize) {
    if (IsSameFile(*input, host.m_outputPath)) {
        host.ShowMessage(messages::kSaveToFile, messages::kOutputIsInput);
        return false;
    }
    const std::unique_ptr<TableOutput> output = openOutput(host);
    if (!output->Write("<table>")) return false;

    std::uint64_t lineNumber = 0;
    const RowsOutcome outcome = WriteRows(host, *input, *output, blockSize, lineNumber);
    if (outcome == RowsOutcome::WriteFailed) return false;
    input.reset();

    // Even after a read error the table is closed, so the output stays
    // well-formed up to the rows that were read.
    if (!output->Write("</table>") || !output->Finish()) return false;
    if (outcome == RowsOutcome::ReadFailed) {
        host.ShowMessage(messages::kReadFromFile, messages::kErrorReadingFile);
        return false;
    }
    if (outcome == RowsOutcome::OutOfMemory) {
        host.ShowFailure(messages::kReadFromFile, messages::kErrorReadingFile,
                         host.m_inputPath + ": line " + std::to_string(lineNumber) + ": " +
                             messages::kLineTooLongForMemory);
        return false;
    }
    host.ShowMessage(messages::kDone, messages::kDone);
    return true;
}

}  // namespace

bool RunConversion(ConversionHost& host, OutputMode mode) {
    const auto openOutput = [mode](ConversionHost& owner) { return OpenTableOutput(owner, mode); };
    return RunConversion(host, OpenInputFile, openOutput, TextLineReader::kDefaultBlockSize);
}

bool RunConversion(ConversionHost& host, const InputOpener& openInput,
                   const OutputOpener& openOutput, std::size_t blockSize) {
    host.RefreshPaths();
    // Defaulted before the same-file check, which needs the real name.
    DefaultTheOutputPath(host);

    bool done = false;
    if (std::unique_ptr<InputFile> input = openInput(host.m_inputPath)) {
        done = ConvertOpenInput(host, std::move(input), openOutput, blockSize);
    } else {
        host.ShowMessage(messages::kReadFromFile, messages::kErrorReadingFile);
    }
    // The boxes show the paths used, a defaulted "db.csv" included, however
    // the run ended.
    host.ShowPaths();
    return done;
}
