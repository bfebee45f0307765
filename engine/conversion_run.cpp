#include "conversion_run.h"

#include "blocks_on_every_core.h"
#include "conversion_host.h"
#include "failure_detail.h"
#include "line_block_rows.h"
#include "messages.h"
#include "output_appender.h"
#include "platform_file.h"
#include "record_rows.h"
#include "row_buffer.h"
#include "row_converter.h"
#include "rows_outcome.h"
#include "table_output.h"
#include "text_mode.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace {

bool IsSameFile(const InputFile& input, const std::optional<FileIdentity>& outputId) {
    const std::optional<FileIdentity> inputId = input.Identity();
    return inputId && outputId && *outputId == *inputId;
}

// Where the rows stand: the number of the last line read or being read, and
// whether a long line's row has been begun in pieces.
struct RowsProgress {
    std::uint64_t lineNumber = 0;
    bool rowBegun = false;
};

// Reads the next line and writes its row, in pieces when the reader offers
// them. False when the rows end, with `result` saying why.
bool WriteNextLine(ConversionHost& host, TextLineReader& reader, TableOutput& output,
                   RowsProgress& progress, RowsResult& result) {
    ++progress.lineNumber;
    std::string_view line;
    for (;;) {
        switch (reader.ReadLine(line)) {
        case TextLineReader::Result::Piece: {
            host.RefreshPaths();
            std::size_t used = 0;
            if (!AppendLinePieceOnDisk(line, progress.rowBegun, output, used)) {
                result.outcome = RowsOutcome::WriteFailed;
                return false;
            }
            reader.Consume(used);
            break;
        }
        case TextLineReader::Result::Line:
        case TextLineReader::Result::LastLine:
            host.RefreshPaths();
            if (!(progress.rowBegun ? AppendLastPieceOnDisk(line, IsSystemLeadByte, output)
                                    : AppendReadLineOnDisk(line, IsSystemLeadByte, output))) {
                result.outcome = RowsOutcome::WriteFailed;
                return false;
            }
            progress.rowBegun = false;
            output.RowsEnded(1);
            return true;
        case TextLineReader::Result::End:
            result.outcome = RowsOutcome::Complete;
            return false;
        case TextLineReader::Result::Error:
            result.outcome = RowsOutcome::ReadFailed;
            result.readError = reader.FailureReason();
            return false;
        }
    }
}

RowsResult WriteRows(ConversionHost& host, InputFile& input, TableOutput& output,
                     std::size_t blockSize, RowsProgress& progress) {
    // A regular file is read only as far as it reached when opened, so a
    // file that grows during the run cannot keep the run going forever.
    TextLineReader reader(input, input.SizeAtOpen(), blockSize);
    RowsResult result;
    while (WriteNextLine(host, reader, output, progress, result)) {
    }
    return result;
}

// The dialog's dialect for an output that takes part rows, on every core:
// its lines convert independently.
class LineRowsInBlocks : public RunOfBlocks {
public:
    LineRowsInBlocks(ConversionHost& host, TextLineReader& reader, TableOutput& output,
                     RowsProgress& progress)
        : RunOfBlocks(progress.lineNumber),
          m_host(host),
          m_reader(reader),
          m_output(output),
          m_progress(progress) {}

    // One thread's block of lines and their rows.
    class Job {
    public:
        explicit Job(LineRowsInBlocks& run) : m_run(run) {}
        void Convert(TextLineReader::LineBlock& lines, bool /*first*/) {
            m_rows.Clear();
            m_linesDone = 0;
            m_outOfMemory = !FitsInMemory(
                [&] { AppendLineBlockOnDisk(lines, IsSystemLeadByte, m_rows, m_linesDone); });
        }
        // A block cut short by memory gives the rows of the lines before the
        // one that did not fit.
        void Write(TextLineReader::LineBlock& lines) {
            m_run.m_host.RefreshPaths();
            if (!m_run.m_output.Write(m_rows.View())) {
                m_run.End(RowsOutcome::WriteFailed);
                return;
            }
            // A long line's row, begun by the first of its parts, is ended by
            // the block that holds the line's end.
            bool& rowBegun = m_run.m_progress.rowBegun;
            if (lines.ContinuesLine() && m_linesDone > 0) rowBegun = false;
            if (lines.EndsInLine() && !m_rows.View().empty()) rowBegun = true;
            m_run.m_output.RowsEnded(m_linesDone);
            m_run.m_lineNumber += m_linesDone;
            if (m_outOfMemory) m_run.OutOfMemory(true);
        }

    private:
        LineRowsInBlocks& m_run;
        RowBuffer m_rows;
        std::uint64_t m_linesDone = 0;
        bool m_outOfMemory = false;
    };

    // Whatever is not a block of lines: a long line, the end, a failure.
    void Other(TextLineReader::Lines read) {
        switch (read) {
        case TextLineReader::Lines::LongLine:
            ended = !WriteNextLine(m_host, m_reader, m_output, m_progress, result);
            break;
        case TextLineReader::Lines::Error:
            End(RowsOutcome::ReadFailed);
            result.readError = m_reader.FailureReason();
            break;
        case TextLineReader::Lines::Block:
        case TextLineReader::Lines::End:
            End(RowsOutcome::Complete);
            break;
        }
    }

private:
    ConversionHost& m_host;
    TextLineReader& m_reader;
    TableOutput& m_output;
    RowsProgress& m_progress;
};

RowsResult WriteRowsInBlocks(ConversionHost& host, InputFile& input, TableOutput& output,
                             std::size_t blockSize, RowsProgress& progress) {
    TextLineReader reader(input, input.SizeAtOpen(), blockSize);
    // A long line is cut after the last cell a piece closes, and its parts
    // are converted on every core like blocks of lines. (Small blocks, in
    // tests, cut small pieces.)
    reader.OfferPieces(kBlocksOfLines * blockSize);
    reader.GatherLines(kBlocksOfLines * blockSize);
    reader.CutLongLines(
        [](const char* piece, std::size_t size) { return ClosedCellsLength(piece, size); });
    // A line that cannot be cut is converted by one thread while the others
    // wait: its blocks are best written on another.
    output.WriteBehind();
    LineRowsInBlocks run(host, reader, output, progress);
    ConvertBlocksOnEveryCore<LineRowsInBlocks::Job>(reader, run);
    return run.result;
}

// Everything after the input has been opened; closes it before the table is.
bool ConvertOpenInput(ConversionHost& host, const ConversionOptions& options,
                      std::unique_ptr<InputFile> input, const OutputOpener& openOutput,
                      std::size_t blockSize, const OutputIdentifier& identifyOutput) {
    if (IsSameFile(*input, identifyOutput(host.m_outputPath))) {
        host.ShowFailure(
            messages::kSaveToFile, messages::kOutputIsInput,
            FileFailureDetail(host.m_outputPath, "the same file as " + host.m_inputPath));
        return false;
    }
    const std::unique_ptr<TableOutput> output = openOutput(host);
    if (!output->Write("<table>")) return false;

    RowsResult rows;
    RowsProgress progress;  // kept when a line does not fit in memory
    const bool fitted = FitsInMemory([&] {
        if (options.IsDialogDefault()) {
            rows = output->TakesPartRows()
                       ? WriteRowsInBlocks(host, *input, *output, blockSize, progress)
                       : WriteRows(host, *input, *output, blockSize, progress);
        } else {
            rows = output->TakesPartRows() ? WriteRecordsInBlocks(host, *input, *output, blockSize,
                                                                  options, progress.lineNumber)
                                           : WriteRecords(host, *input, *output, blockSize, options,
                                                          progress.lineNumber);
        }
    });
    if (!fitted) rows.outcome = RowsOutcome::OutOfMemory;
    if (rows.outcome == RowsOutcome::WriteFailed) return false;
    input.reset();

    // A long line's row cut short keeps the cells converted so far, closed.
    if (progress.rowBegun) {
        if (!output->Write("</td></tr>\r\n")) return false;
        output->RowsEnded(1);
    }

    // Even after a read error the table is closed, so the output stays
    // well-formed up to the rows that were read.
    if (!output->Write("</table>") || !output->Finish()) return false;
    if (rows.outcome == RowsOutcome::ReadFailed) {
        host.ShowFailure(messages::kReadFromFile, messages::kErrorReadingFile,
                         FileFailureDetail(host.m_inputPath, rows.readError));
        return false;
    }
    if (rows.outcome == RowsOutcome::QuoteNotClosed) {
        host.ShowFailure(messages::kReadFromFile, messages::kQuoteNotClosed,
                         LineFailureDetail(host.m_inputPath, rows.openQuoteLine,
                                           "the quoted field that opens here is still open at "
                                           "the end of the input"));
        return false;
    }
    if (rows.outcome == RowsOutcome::OutOfMemory) {
        host.ShowFailure(messages::kReadFromFile, messages::kErrorReadingFile,
                         LineFailureDetail(host.m_inputPath, progress.lineNumber,
                                           messages::kLineTooLongForMemory));
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
    return RunConversion(host, ConversionOptions(), openInput, openOutput, blockSize);
}

bool RunConversion(ConversionHost& host, const ConversionOptions& options,
                   const InputOpener& openInput, const OutputOpener& openOutput,
                   std::size_t blockSize, const OutputIdentifier& identifyOutput) {
    host.RefreshPaths();
    // Defaulted before the same-file check, which needs the real name.
    DefaultTheOutputPath(host);

    bool done = false;
    if (std::unique_ptr<InputFile> input = openInput(host.m_inputPath)) {
        done = ConvertOpenInput(host, options, std::move(input), openOutput, blockSize,
                                identifyOutput);
    } else {
        host.ShowFailure(messages::kReadFromFile, messages::kErrorReadingFile,
                         FileFailureDetail(host.m_inputPath));
    }
    // The boxes show the paths used, a defaulted "db.csv" included, however
    // the run ended.
    host.ShowPaths();
    return done;
}
