#include "record_rows.h"

#include <atomic>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "blocks_on_every_core.h"
#include "conversion_host.h"
#include "platform_file.h"
#include "record_converter.h"
#include "row_buffer.h"
#include "row_converter.h"
#include "table_output.h"
#include "text_mode.h"

namespace {

bool NoLeadBytes(unsigned char) { return false; }

LeadByteTest LeadBytesOf(const ConversionOptions& options) {
    return options.encoding == InputEncoding::Utf8 ? NoLeadBytes : IsSystemLeadByte;
}

// The rows written so far and where their records stand; lines go on from
// there one at a time, or a block at a time from every core.
class RecordRows : public RunOfBlocks {
public:
    RecordRows(ConversionHost& host, TextLineReader& reader, TableOutput& output,
               const ConversionOptions& options, std::uint64_t& lineNumber)
        : RunOfBlocks(lineNumber),
          m_host(host),
          m_reader(reader),
          m_output(output),
          m_options(options),
          m_converter(options, LeadBytesOf(options), RecordConverter::From::InputStart,
                      RecordConverter::Lines::Read),
          m_headerOpen(m_converter.InHeader()) {}

    // Reads the next line and adds it, in pieces when the reader offers
    // them; false when the rows end.
    bool AddNextLine() {
        // A line begun by parts cut from it was counted with the first.
        if (!m_converter.LineInPieces()) ++m_lineNumber;
        std::string_view line;
        for (;;) {
            const TextLineReader::Result read = m_reader.ReadLine(line);
            if (read == TextLineReader::Result::Piece) {
                std::size_t used = 0;
                if (!AddPiece(line, used)) return false;
                m_reader.Consume(used);
                continue;
            }
            if (read == TextLineReader::Result::Line || read == TextLineReader::Result::LastLine) {
                return AddLine(line);
            }
            // The input's last line, its pieces having taken every byte,
            // ends there as any last line does.
            if (read == TextLineReader::Result::End && m_converter.LineInPieces() &&
                !AddLine(line)) {
                return false;
            }
            Finish(read == TextLineReader::Result::Error);
            return false;
        }
    }

    // One thread's block of lines, converted as if it began a record.
    class Job {
    public:
        explicit Job(RecordRows& rows) : m_run(rows) {}
        void Convert(TextLineReader::LineBlock& lines, bool first);
        void Write(TextLineReader::LineBlock& lines);

    private:
        RecordRows& m_run;
        std::optional<RecordConverter> m_converter;
        std::vector<std::string_view> m_lines;  // taken one by one, to convert again if need be
        std::uint64_t m_lineCount = 0;
        RowBuffer m_rows;
        std::size_t m_wholeRows = 0;  // the bytes of the records ended
        std::uint64_t m_rowsEnded = 0;
        bool m_converted = false;  // false when memory ran out
    };

    bool TakesLinePieces() const { return m_converter.TakesLinePieces(); }
    TextLineReader::LongLineCut LineCut() const { return m_converter.LineCut(); }

    // After memory ran out inside a long line, the row its pieces began in
    // the output is closed, as after a read error, so the table stays
    // well-formed.
    void CloseRowBegun() {
        if (m_converter.LineInPieces() && m_converter.RecordOpen()) WriteClosedRecord();
    }

    // Whatever is not a block of lines: a long line, the end, a failure. A
    // line whose last part was cut where the input ends or fails ends as
    // one read in pieces does.
    void Other(TextLineReader::Lines read) {
        if (read == TextLineReader::Lines::LongLine || m_converter.LineInPieces()) {
            ended = !AddNextLine();
        } else {
            Finish(read == TextLineReader::Lines::Error);
        }
        NoteWhereTheHeaderStands();
    }

private:
    // In turn, for the jobs to see outside their turns.
    void NoteWhereTheHeaderStands() {
        if (m_headerOpen.load(std::memory_order_relaxed) && !m_converter.InHeader()) {
            m_headerOpen.store(false, std::memory_order_relaxed);
        }
    }

    // Adds a line already counted; false when the output failed.
    bool AddLine(std::string_view line) {
        if (!m_converter.RecordOpen() && line.size() <= RecordConverter::kMostInRoom) {
            // Most records are one short line: converted straight into the
            // output's room.
            char* const room = m_output.Room(RecordConverter::RoomFor(line.size()));
            const RecordConverter::Added added = m_converter.AddLine(line, room);
            if (added.recordEnded) {
                m_host.RefreshPaths();
                if (m_output.Commit(added.end)) {
                    m_output.RowsEnded(1);
                    return true;
                }
                End(RowsOutcome::WriteFailed);
                return false;
            }
            // A record going on over lines is kept whole until it ends (or
            // a long line's pieces come), so the output mostly takes whole
            // rows; the room is left uncommitted.
            KeepOfOpenRecord(std::string_view(room, static_cast<std::size_t>(added.end - room)));
            return true;
        }
        if (!m_converter.AddLine(line, m_record)) return true;  // the record goes on
        if (!WriteRecord()) return false;
        m_output.RowsEnded(1);
        return true;
    }

    // A long line's piece goes straight to the output, after the row so far
    // of a record that opened on an earlier line; `used` is the bytes taken.
    bool AddPiece(std::string_view piece, std::size_t& used) {
        m_host.RefreshPaths();
        if (!m_record.View().empty() && !WriteRecord()) return false;
        if (!m_converter.AddLinePiece(piece, m_output, used)) {
            End(RowsOutcome::WriteFailed);
            return false;
        }
        return true;
    }

    void KeepOfOpenRecord(std::string_view bytes) {
        char* const to = m_record.Room(bytes.size());
        if (!bytes.empty()) std::memcpy(to, bytes.data(), bytes.size());
        m_record.Commit(to + bytes.size());
    }

    bool WriteRecord() {
        m_host.RefreshPaths();
        if (!m_output.Write(m_record.View())) {
            End(RowsOutcome::WriteFailed);
            return false;
        }
        m_record.Clear();
        return true;
    }

    // At the end of the input, or where it could not be read, a record
    // still open is converted as far as the input went, and its row closed,
    // so that nothing read is lost and the table stays well-formed.
    void Finish(bool readFailed) {
        End(readFailed ? RowsOutcome::ReadFailed : RowsOutcome::Complete);
        if (readFailed) result.readError = m_reader.FailureReason();
        if (!m_converter.RecordOpen()) return;
        if (!readFailed) {
            result.outcome = RowsOutcome::QuoteNotClosed;
            result.openQuoteLine = m_converter.OpenQuoteLine();
        }
        WriteClosedRecord();
    }

    // The row of the record still open, closed where the input stopped.
    void WriteClosedRecord() {
        m_converter.CloseRecord(m_record);
        if (WriteRecord()) m_output.RowsEnded(1);
    }

    ConversionHost& m_host;
    TextLineReader& m_reader;
    TableOutput& m_output;
    const ConversionOptions& m_options;
    RecordConverter m_converter;  // where the rows written stand
    RowBuffer m_record;           // the row so far of a record still open
    // Whether the header's record may still be open: the tags a long line's
    // later parts begin with, as their jobs guess them.
    std::atomic<bool> m_headerOpen;
};

void RecordRows::Job::Convert(TextLineReader::LineBlock& lines, bool first) {
    m_lines.clear();
    m_rows.Clear();
    m_wholeRows = 0;
    m_rowsEnded = 0;
    m_lineCount = 0;
    m_converted = FitsInMemory([&] {
        m_rows.ExpectAbout(3 * lines.Size());  // rows take two to three times their lines
        using From = RecordConverter::From;
        m_converter.emplace(
            m_run.m_options, LeadBytesOf(m_run.m_options),
            lines.ContinuesLine()
                ? (m_run.m_headerOpen.load(std::memory_order_relaxed) ? From::HeaderLinePart
                                                                      : From::LinePart)
            : first ? From::InputStart
                    : From::LaterRecord,
            RecordConverter::Lines::Read);
        RecordConverter& converter = *m_converter;
        if (lines.EndsInLine()) {
            // A part of a long line up to a cut: its cells go out as they
            // are, the row left open for the next part.
            converter.AddLinePart(std::string_view(lines.Next(), lines.Size()), m_rows);
            m_lineCount = lines.ContinuesLine() ? 0 : 1;
            m_wholeRows = m_rows.View().size();
            return;
        }
        if (converter.AddsWholeLines()) {
            // The lines are left as they are, to be converted again one by
            // one if need be.
            const RecordConverter::LinesAdded added =
                converter.AddLines(lines.Next(), lines.End(), m_rows);
            m_lineCount = added.lines;
            m_rowsEnded = added.rowsEnded;
            m_wholeRows = added.wholeRows;
            return;
        }
        for (;;) {
            // Kept before it is taken, so that no line is lost to memory.
            m_lines.emplace_back();
            if (!lines.NextLine(m_lines.back())) {
                m_lines.pop_back();
                // The rest of a cut line was counted with its first part.
                m_lineCount = m_lines.size() - (lines.ContinuesLine() ? 1 : 0);
                return;
            }
            if (converter.AddLine(m_lines.back(), m_rows)) ++m_rowsEnded;
            if (!converter.RecordOpen()) m_wholeRows = m_rows.View().size();
        }
    });
}

void RecordRows::Job::Write(TextLineReader::LineBlock& lines) {
    if (m_converted && m_run.m_converter.StandsWhereBegan(*m_converter)) {
        const std::string_view rows = m_rows.View();
        m_run.m_host.RefreshPaths();
        if (m_wholeRows > 0 && !m_run.m_output.Write(rows.substr(0, m_wholeRows))) {
            m_run.End(RowsOutcome::WriteFailed);
            return;
        }
        m_run.m_output.RowsEnded(m_rowsEnded);
        m_run.KeepOfOpenRecord(rows.substr(m_wholeRows));
        m_run.m_converter.TakeOver(*m_converter);
        m_run.m_lineNumber += m_lineCount;
        m_run.NoteWhereTheHeaderStands();
        return;
    }
    // Begun inside a record or the header's long line, or cut short by
    // memory: converted again from where the rows written stand (the lines
    // taken one by one, then those still in the block). A line that does
    // not fit now is the one counted.
    const bool fitted = FitsInMemory([&] {
        if (lines.EndsInLine()) {
            if (!lines.ContinuesLine()) ++m_run.m_lineNumber;
            std::size_t used = 0;
            m_run.AddPiece(std::string_view(lines.Next(), lines.Size()), used);
            return;
        }
        bool counted = lines.ContinuesLine();  // the rest of a cut line
        const auto add = [&](std::string_view line) {
            if (!std::exchange(counted, false)) ++m_run.m_lineNumber;
            return m_run.AddLine(line);
        };
        for (const std::string_view line : m_lines) {
            if (!add(line)) return;
        }
        for (std::string_view line; lines.NextLine(line);) {
            if (!add(line)) return;
        }
    });
    if (!fitted) m_run.End(RowsOutcome::OutOfMemory);
    m_run.NoteWhereTheHeaderStands();
}

}  // namespace

RowsResult WriteRecords(ConversionHost& host, InputFile& input, TableOutput& output,
                        std::size_t blockSize, const ConversionOptions& options,
                        std::uint64_t& lineNumber) {
    TextLineReader reader(input, input.SizeAtOpen(), blockSize);
    RecordRows rows(host, reader, output, options, lineNumber);
    while (rows.AddNextLine()) {
    }
    return rows.result;
}

RowsResult WriteRecordsInBlocks(ConversionHost& host, InputFile& input, TableOutput& output,
                                std::size_t blockSize, const ConversionOptions& options,
                                std::uint64_t& lineNumber) {
    TextLineReader reader(input, input.SizeAtOpen(), blockSize);
    RecordRows rows(host, reader, output, options, lineNumber);
    // A long line goes in pieces, written as they come: under RFC 4180 its
    // bytes, in the classic dialect its closed cells. It is cut after the
    // last cell a piece closes (see LineCut), and its parts are converted on
    // every core like blocks of lines; only a cell longer than a piece is
    // left to one.
    if (rows.TakesLinePieces()) reader.OfferPieces(kLongLinePiece);
    if (const TextLineReader::LongLineCut cut = rows.LineCut()) reader.CutLongLines(cut);
    reader.GatherLines(kBlocksOfLines * blockSize);
    output.WriteBehind();
    ConvertBlocksOnEveryCore<RecordRows::Job>(reader, rows);
    if (rows.result.outcome == RowsOutcome::OutOfMemory) rows.CloseRowBegun();
    return rows.result;
}
