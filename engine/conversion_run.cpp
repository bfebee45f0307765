#include "conversion_run.h"

#include "conversion_host.h"
#include "failure_detail.h"
#include "messages.h"
#include "output_appender.h"
#include "platform_file.h"
#include "record_converter.h"
#include "row_buffer.h"
#include "row_converter.h"
#include "table_output.h"
#include "text_mode.h"
#include "turns.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

bool IsSameFile(const InputFile& input, const std::optional<FileIdentity>& outputId) {
    const std::optional<FileIdentity> inputId = input.Identity();
    return inputId && outputId && *outputId == *inputId;
}

bool NoLeadBytes(unsigned char) { return false; }

enum class RowsOutcome { Complete, WriteFailed, ReadFailed, QuoteNotClosed, OutOfMemory };

struct RowsResult {
    RowsOutcome outcome = RowsOutcome::Complete;
    std::string readError;            // the system's reason, for ReadFailed
    std::uint64_t openQuoteLine = 0;  // for QuoteNotClosed
};

RowsResult WriteFailure() {
    RowsResult result;
    result.outcome = RowsOutcome::WriteFailed;
    return result;
}

// Runs `work`, and tells whether it fitted in memory: a line or its row
// that did not is freed by the time this returns, and a string longer than
// one can be (a 32-bit build's limit) counts as not fitting.
template <class Work>
bool FitsInMemory(Work&& work) {
    try {
        work();
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return false;
}

// Where the rows stand: the number of the last line read or being read, and
// whether a long line's row has been begun in pieces.
struct RowsProgress {
    std::uint64_t lineNumber = 0;
    bool rowBegun = false;
};

// The pieces a long line is read in, when the output takes part rows.
constexpr std::size_t kLinePiece = std::size_t{64} * 1024;
// The lines a thread converts at once, in the reader's blocks: few enough
// that they and their rows stay in the thread's core's cache.
constexpr std::size_t kBlocksOfLines = 2;

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

// The same for an output that takes part rows, on every core: each thread
// in turn reads a block of whole lines, converts it, and writes its rows
// once the blocks read before it are written. A block stays with the thread
// that read it, so its bytes need not move between the cores' caches. A
// long line, and the end, are dealt with by the thread whose turn it is,
// with the reading held. The output and the host are used by one thread at
// a time, in turn.
RowsResult WriteRowsInBlocks(ConversionHost& host, InputFile& input, TableOutput& output,
                             std::size_t blockSize, RowsProgress& progress) {
    TextLineReader reader(input, input.SizeAtOpen(), blockSize);
    reader.OfferPieces(kLinePiece);
    reader.GatherLines(kBlocksOfLines * blockSize);
    // A long line is converted by one thread while the others wait: its
    // blocks are best written on another.
    output.WriteBehind();
    std::atomic<std::uint64_t> nextTicket{0};
    Turns reading;
    Turns writing;
    bool ended = false;  // read and written in turn
    RowsResult result;
    const auto end = [&](RowsOutcome outcome) {
        ended = true;
        result.outcome = outcome;
    };
    // The line that did not fit is the one after those done; a long line
    // has been counted as it began.
    const auto outOfMemoryAfter = [&](std::uint64_t linesDone) {
        progress.lineNumber += linesDone + 1;
        end(RowsOutcome::OutOfMemory);
    };
    const auto outOfMemoryIn = [&](bool block) {
        if (block) {
            outOfMemoryAfter(0);
        } else {
            end(RowsOutcome::OutOfMemory);
        }
    };

    // Whatever is not a block of lines: a long line, the end, a failure.
    const auto readOther = [&](TextLineReader::Lines read) {
        switch (read) {
        case TextLineReader::Lines::LongLine:
            ended = !WriteNextLine(host, reader, output, progress, result);
            break;
        case TextLineReader::Lines::Error:
            end(RowsOutcome::ReadFailed);
            result.readError = reader.FailureReason();
            break;
        case TextLineReader::Lines::Block:
        case TextLineReader::Lines::End:
            end(RowsOutcome::Complete);
            break;
        }
    };
    // One block's rows, in turn; a block cut short by memory gives the rows
    // of the lines before the one that did not fit.
    const auto writeBlock = [&](const RowBuffer& rows, std::uint64_t linesDone, bool outOfMemory) {
        host.RefreshPaths();
        if (!output.Write(rows.View())) {
            end(RowsOutcome::WriteFailed);
        } else if (outOfMemory) {
            outOfMemoryAfter(linesDone);
        } else {
            progress.lineNumber += linesDone;
        }
    };
    const auto work = [&] {
        TextLineReader::LineBlock lines;
        RowBuffer rows;
        for (bool stop = false; !stop;) {
            const std::uint64_t ticket = nextTicket++;
            reading.Wait(ticket);
            TextLineReader::Lines read = TextLineReader::Lines::End;
            bool outOfMemory = !FitsInMemory([&] { read = reader.ReadLines(lines); });
            const bool block = read == TextLineReader::Lines::Block && !outOfMemory;
            std::uint64_t linesDone = 0;
            if (block) {
                reading.Pass();
                rows.Clear();
                outOfMemory = !FitsInMemory(
                    [&] { AppendLineBlockOnDisk(lines, IsSystemLeadByte, rows, linesDone); });
            }
            const auto inTurn = [&] {
                if (block) {
                    writeBlock(rows, linesDone, outOfMemory);
                } else if (outOfMemory) {
                    outOfMemoryAfter(0);
                } else {
                    readOther(read);
                }
            };
            writing.Wait(ticket);
            if (!ended && !FitsInMemory(inTurn)) outOfMemoryIn(block);
            stop = ended;
            writing.Pass();
            if (!block) reading.Pass();
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < std::thread::hardware_concurrency(); ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer threads do the same work
        }
    }
    work();
    for (std::thread& helper : helpers) helper.join();
    return result;
}

// The rows under options other than the dialog's: a record may span lines.
RowsResult WriteRecords(ConversionHost& host, InputFile& input, TableOutput& output,
                        std::size_t blockSize, const ConversionOptions& options,
                        std::uint64_t& lineNumber) {
    TextLineReader reader(input, input.SizeAtOpen(), blockSize);
    RecordConverter converter(
        options, options.encoding == InputEncoding::Utf8 ? NoLeadBytes : IsSystemLeadByte);
    RowBuffer row;  // reused, like the dialog path's row
    std::string_view line;
    RowsResult result;
    for (;;) {
        ++lineNumber;
        const TextLineReader::Result read = reader.ReadLine(line);
        if (read == TextLineReader::Result::Line || read == TextLineReader::Result::LastLine) {
            if (!converter.RecordOpen() && line.size() <= RecordConverter::kMostInRoom) {
                // Most records are one short line: converted straight into
                // the output's room.
                char* const room = output.Room(RecordConverter::RoomFor(line.size()));
                const RecordConverter::Added added = converter.AddLine(line, room);
                if (added.recordEnded) {
                    host.RefreshPaths();
                    if (!output.Commit(added.end)) return WriteFailure();
                } else {
                    // A record going on over lines is kept whole until it
                    // ends, so the output only ever takes whole rows; the
                    // room is left uncommitted.
                    const auto size = static_cast<std::size_t>(added.end - room);
                    char* const to = row.Room(size);
                    if (size > 0) std::memcpy(to, room, size);
                    row.Commit(to + size);
                }
                continue;
            }
            if (!converter.AddLine(line, row)) continue;  // the record goes on
            host.RefreshPaths();
            if (!output.Write(row.View())) return WriteFailure();
            row.Clear();
            continue;
        }
        if (read == TextLineReader::Result::Error) {
            result.outcome = RowsOutcome::ReadFailed;
            result.readError = reader.FailureReason();
        }
        // A record still open is converted as far as the input went, and
        // its row closed, so that nothing read is lost and the table stays
        // well-formed.
        if (converter.RecordOpen()) {
            if (result.outcome == RowsOutcome::Complete) {
                result.outcome = RowsOutcome::QuoteNotClosed;
                result.openQuoteLine = converter.OpenQuoteLine();
            }
            converter.CloseRecord(row);
            host.RefreshPaths();
            if (!output.Write(row.View())) return WriteFailure();
        }
        return result;
    }
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
            rows = WriteRecords(host, *input, *output, blockSize, options, progress.lineNumber);
        }
    });
    if (!fitted) rows.outcome = RowsOutcome::OutOfMemory;
    if (rows.outcome == RowsOutcome::WriteFailed) return false;
    input.reset();

    // A long line's row cut short keeps the cells converted so far, closed.
    if (progress.rowBegun && !output->Write("</td></tr>\r\n")) return false;

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
