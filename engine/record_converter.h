// Turns input lines into table rows under the converter's options: either
// dialect, any delimiter, escaped cell text, a header row, UTF-8 input. The
// dialog's own conversion (default options) is AppendRowOnDisk; this one
// gives the same bytes for those options, and is pure as well: it reads no
// file and shows nothing, and its only state is where the input stands.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "byte_scan.h"
#include "conversion_options.h"
#include "markup_stops.h"
#include "row_buffer.h"
#include "row_cells.h"
#include "row_converter.h"
#include "table_output.h"

class RecordConverter {
public:
    // Where the lines a converter is given begin: at the input's start, or
    // at a record's start somewhere after it (no byte-order mark, no header),
    // or in a long line after a cut (see LineCut), its row begun and the line
    // counted, the header's line or another: for converting later lines
    // ahead, side by side.
    enum class From : unsigned char { InputStart, LaterRecord, LinePart, HeaderLinePart };
    // What the lines are: any text, or lines as TextLineReader delivers
    // them, which may be read past their ends (kPadding bytes), so that
    // their last bytes too are looked at 16 at a time without a copy.
    enum class Lines : unsigned char { Any, Read };
    RecordConverter(const ConversionOptions& options, LeadByteTest isLeadByte,
                    From from = From::InputStart, Lines lines = Lines::Any);

    // Adds the next input line, its LF included (a last line may have none),
    // to the row being built in `row`, in its on-disk form (CR LF line ends).
    // True when the line ended a record: `row` then holds its whole row.
    // Under RFC 4180 a record goes on over lines while a quoted field is open.
    bool AddLine(std::string_view line, RowBuffer& row);

    // The same, written straight into room of RoomFor(line.size()) bytes at
    // `to`, for a line of at most kMostInRoom bytes: `end` is where the
    // added bytes end. The bytes past `end` in the room may have been
    // written over.
    struct Added {
        char* end;
        bool recordEnded;
    };
    static constexpr std::size_t kMostInRoom = 4096;
    static std::size_t RoomFor(std::size_t lineSize);
    Added AddLine(std::string_view line, char* to);

    // Whole lines as a block of them was read, [from, end): a CR LF still
    // a CR LF, the last line without its LF only at the input's end, and
    // TextLineReader::kPadding readable bytes after `end`. Their line ends
    // are found in the same pass as their cells, and the bytes are not
    // changed, so the lines can be read again. Only under RFC 4180 with a
    // delimiter other than CR and LF (AddsWholeLines). `wholeRows` is the
    // size `rows` had after the last record ended, 0 if none did.
    struct LinesAdded {
        std::uint64_t lines;
        std::uint64_t rowsEnded;
        std::size_t wholeRows;
    };
    bool AddsWholeLines() const;
    LinesAdded AddLines(const char* from, const char* end, RowBuffer& rows);

    // A piece of a long line, the start of the line or more of it, its LF
    // not yet read: what can be converted of it goes on the record in
    // `output`, which must take part rows, and the line's rest comes to
    // AddLine. Sets `used` to the bytes taken: under RFC 4180 all but a last
    // CR, which may begin the line's CR LF; in the classic dialect those of
    // the cells a delimiter closes, as the line's end may change the last
    // (its trimming, an unclosed quote). False when the output failed.
    bool AddLinePiece(std::string_view piece, TableOutput& output, std::size_t& used);
    // Whether a long line may come in pieces: in the classic dialect not when
    // the delimiter may be a lead byte, as the last cell's trimming looks for
    // double-byte characters from the cell's start, which is then perhaps
    // not where one starts in the whole line; nor when it is a CR, which at
    // a piece's end may begin the line's CR LF.
    bool TakesLinePieces() const;
    // Where a long line may be cut so that its parts convert apart, side by
    // side, when it takes pieces and the delimiter is neither the quote,
    // which would make a cut delimiter a quoted cell's end as well, nor CR:
    // in the classic dialect after a delimiter that closes a cell; under RFC
    // 4180 after one outside quotes, if the line began outside them (a
    // quoted field may span lines), which the part's turn checks.
    TextLineReader::LongLineCut LineCut() const;
    // A long line's start or more of it up to such a cut: its cells as
    // AddLinePiece adds them, into `rows`; in the classic dialect all closed.
    void AddLinePart(std::string_view part, RowBuffer& rows);
    // Whether pieces of a line have been added and its rest has not.
    bool LineInPieces() const { return m_lineInPieces; }
    // Whether the header's record has yet to end.
    bool InHeader() const { return m_tags != &row_cells::kPaddedDataTags; }

    // After the input's end: whether a record, and so a quoted field, is
    // still open, the line (from 1) where that field opened, and a way to
    // close its row so that the table stays well-formed.
    bool RecordOpen() const { return m_recordOpen; }
    std::uint64_t OpenQuoteLine() const { return m_quoteLine; }
    void CloseRecord(RowBuffer& row);

    // Whether this converter, after the lines it has had, stands where
    // `next`, given the lines that follow them, began: then `next`'s rows are
    // the ones this converter would have made of them, and TakeOver moves it
    // on to where `next` stands, its line numbers counted on from its own.
    bool StandsWhereBegan(const RecordConverter& next) const;
    void TakeOver(const RecordConverter& next);

private:
    enum class State : unsigned char { FieldStart, Plain, Quoted, QuoteInQuoted };
    using Tags = row_cells::PaddedTags;
    // The bytes besides the delimiter that the RFC 4180 scanner stops at:
    // the quote and LF, and with escaping the markup bytes.
    using PlainStops = byte_scan::ByteSet<2>;
    using EscapeStops = MarkupStops;

    // Where a line's bytes go: the row buffer, or room already made.
    struct MadeRoom;
    // A pass over whole lines: where they start, and the records ended.
    struct WholeLines {
        const char* start;
        std::uint64_t rowsEnded;
        char* lastRowEnd;
    };
    bool StartLine(std::string_view& line);
    template <class Out>
    bool AddLineTo(std::string_view line, Out& out);
    template <class Out>
    void AddClassicLine(std::string_view line, Out& out);
    template <class Out>
    const char* AddClassicCells(const char* from, const char* end, const char* readableEnd,
                                Out& out, bool lineEnds);
    template <class Out>
    bool AddRfcLine(std::string_view line, Out& out, bool lineGoesOn = false);
    template <class Stops>
    char* ConvertRfc(const Stops& stops, const char* from, const char* end, char* to,
                     bool& lineEnded, WholeLines* lines = nullptr);
    template <class Stops>
    char* PutWholeLineCells(const Stops& stops, const char* from, const char* end, char* to) const;
    const char* FindDelimiter(const char* from, const char* end, const char* readableEnd) const;
    char* PutCellText(const char* from, const char* end, const char* lineEnd, char* to) const;
    template <class Out>
    void AppendCellText(const char* from, const char* end, const char* lineEnd, Out& out) const;
    void EndRecord();
    const Tags* TagsAtStart() const;

    const ConversionOptions m_options;
    const LeadByteTest m_isLeadByte;
    const byte_scan::ByteSet<1> m_delimiter;
    const byte_scan::ByteSet<1> m_lineFeed;
    const PlainStops m_plainStops;
    // What cell text must change: LF, and with escaping the markup bytes;
    // the same are the RFC 4180 scanner's stops with escaping.
    const EscapeStops m_textSpecials{};
    // Whether a whole line's cells may go in one pass (PutWholeLineCells).
    const bool m_classicInOnePass;
    const Tags* m_tags;
    // A short line of the classic dialect, copied with room after it.
    std::array<char, kMostInRoom + 2 * byte_scan::kBlockSize> m_paddedLine{};
    std::uint64_t m_line = 0;  // of the lines this converter was given
    std::uint64_t m_quoteLine = 0;
    State m_state = State::FieldStart;
    bool m_recordOpen = false;
    bool m_lineInPieces = false;  // a line's first piece has been added
    const From m_from;
    const Lines m_lines;
};
