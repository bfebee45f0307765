#include "record_converter.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "row_cells.h"

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// Bytes are converted in pieces of this size, so the room made for a piece's
// worst case stays small however long the line is.
constexpr std::size_t kPiece = 4096;
// The most one input byte can become: a delimiter closing a header cell
// and opening the next, "</th>\r\n<th>".
constexpr std::size_t kMostPerByte = 12;
constexpr std::size_t kMostPerTextByte = 6;  // "&quot;"

constexpr std::size_t kBlock = byte_scan::kBlockSize;
constexpr std::size_t kWideBlock = byte_scan::kWideBlockSize;
// The tags' lengths, the same for th as for td.
constexpr std::size_t kRowStartSize = row_cells::PaddedTags::kRowAndCellStartSize;
constexpr std::size_t kCellEndAndStartSize = row_cells::PaddedTags::kCellEndAndStartSize;
constexpr std::size_t kLastCellEndSize = row_cells::PaddedTags::kLastCellEndSize;
// The first record's tags when it is the header.
constexpr row_cells::PaddedTags kHeaderTags{"<tr>\r\n<th>", "</th>\r\n<th>", "</th></tr>\r\n"};
// Room past the last byte written, for the fixed-size stores of plain
// blocks and tags.
constexpr std::size_t kSlack = kBlock;

using row_cells::CopyInBlocks;
using row_cells::IsTrailingWhiteSpace;
using row_cells::PutTag;

char* Put(char* to, std::string_view text) {
    std::memcpy(to, text.data(), text.size());
    return to + text.size();
}

// The character references of the bytes HTML must have escaped, each
// padded to 8 bytes for one fixed-size store; index 0 is none.
struct Entity {
    char text[8];
    std::size_t size;
};
constexpr Entity kEntities[] = {{"", 0},     {"&amp;", 5},  {"&lt;", 4},
                                {"&gt;", 4}, {"&quot;", 6}, {"&#39;", 5}};

constexpr std::array<unsigned char, 256> MakeEntityIndex() {
    std::array<unsigned char, 256> index{};
    index['&'] = 1;
    index['<'] = 2;
    index['>'] = 3;
    index['"'] = 4;
    index['\''] = 5;
    return index;
}
constexpr std::array<unsigned char, 256> kEntityIndex = MakeEntityIndex();

// The reference of a byte HTML must have escaped; room has slack for it.
char* PutEntity(char* to, unsigned char byte) {
    const Entity& entity = kEntities[kEntityIndex[byte]];
    std::memcpy(to, entity.text, sizeof entity.text);
    return to + entity.size;
}

const char* FindByte(const char* from, const char* end, char byte) {
    const char* const found = byte_scan::Find(from, end, byte);
    return found ? found : end;
}

// The index of the lowest set bit of a non-zero mask.
unsigned LowestBit(std::uint64_t mask) {
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctzll(mask));
#else
    unsigned index = 0;
    for (; (mask & 1) == 0; mask >>= 1) ++index;
    return index;
#endif
}

template <class Out>
void AppendTag(Out& out, const char* tag, std::size_t size) {
    out.Commit(PutTag(out.Room(kBlock), tag, size));
}

// Whether [from, end) holds an odd number of quotes, 16 bytes at a time: a
// long line's piece is followed by readable bytes.
unsigned QuotesOdd(const char* from, const char* end) {
    static const byte_scan::ByteSet<1> kQuote(std::array<char, 1>{'"'});
    unsigned odd = 0;
    for (const char* block = from; block < end; block += kBlock) {
        odd ^= row_cells::MaskBefore(kQuote, block, end);
    }
    odd ^= odd >> 8;  // the parity of the bits, folded
    odd ^= odd >> 4;
    odd ^= odd >> 2;
    odd ^= odd >> 1;
    return odd & 1U;
}

// Where a long line can be cut under RFC 4180, for a piece that begins
// outside quotes: right after the last delimiter with an even number of
// quotes before it in the piece, found from the end. A quote inside an
// unquoted field, which is data, upsets the count; a part cut there does
// not begin where the one before it ends, and is converted again in turn.
std::size_t EvenQuotesLength(const char* piece, std::size_t size, char delimiter) {
    const char* const end = piece + size;
    unsigned odd = QuotesOdd(piece, end);
    for (const char *stop = end, *at; (at = byte_scan::FindLast(piece, stop, delimiter));
         stop = at) {
        odd ^= QuotesOdd(at, stop);
        if (odd == 0) return static_cast<std::size_t>(at + 1 - piece);
    }
    return 0;
}

}  // namespace

// Room already made, for the whole line: asking for more gives the same.
struct RecordConverter::MadeRoom {
    char* at;
    char* Room(std::size_t /*bytes*/) const { return at; }
    void Commit(char* end) { at = end; }
};

RecordConverter::RecordConverter(const ConversionOptions& options, LeadByteTest isLeadByte,
                                 From from, Lines lines)
    : m_options(options),
      m_isLeadByte(isLeadByte),
      m_delimiter({options.delimiter}),
      m_lineFeed({'\n'}),
      m_plainStops({'"', '\n'}),
      m_classicInOnePass(options.dialect == CsvDialect::Classic && lines == Lines::Read &&
                         options.delimiter != '"' && options.delimiter != '\n' &&
                         !(options.escapeHtml &&
                           kEntityIndex[static_cast<unsigned char>(options.delimiter)] != 0)),
      m_from(from),
      m_lines(lines) {
    m_tags = TagsAtStart();
    m_lineInPieces = m_recordOpen = from == From::LinePart || from == From::HeaderLinePart;
}

const RecordConverter::Tags* RecordConverter::TagsAtStart() const {
    const bool header = m_from == From::InputStart || m_from == From::HeaderLinePart;
    return m_options.headerRow && header ? &kHeaderTags : &row_cells::kPaddedDataTags;
}

std::size_t RecordConverter::RoomFor(std::size_t lineSize) {
    return lineSize * kMostPerByte + kRowStartSize + kLastCellEndSize + kSlack;
}

bool RecordConverter::StartLine(std::string_view& line) {
    if (m_lineInPieces) {  // started by its first piece
        m_lineInPieces = false;
        return true;
    }
    if (++m_line == 1 && m_from == From::InputStart && m_options.encoding == InputEncoding::Utf8 &&
        line.substr(0, 3) == kByteOrderMark) {
        line.remove_prefix(3);
        if (line.empty()) return false;  // the input is the mark alone: an empty file
    }
    return true;
}

bool RecordConverter::AddLine(std::string_view line, RowBuffer& row) {
    if (!m_recordOpen && line.size() <= kMostInRoom) {
        // Most records are one short line: converted in one go into room
        // for their worst case, not piece by piece.
        const Added added = AddLine(line, row.Room(RoomFor(line.size())));
        row.Commit(added.end);
        return added.recordEnded;
    }
    return StartLine(line) && AddLineTo(line, row);
}

RecordConverter::Added RecordConverter::AddLine(std::string_view line, char* to) {
    MadeRoom room{to};
    const bool ended = StartLine(line) && AddLineTo(line, room);
    return Added{room.at, ended};
}

bool RecordConverter::AddsWholeLines() const {
    return m_options.dialect == CsvDialect::Rfc4180 && m_options.delimiter != '\r' &&
           m_options.delimiter != '\n' && m_lines == Lines::Read && !m_lineInPieces;
}

RecordConverter::LinesAdded RecordConverter::AddLines(const char* from, const char* end,
                                                      RowBuffer& rows) {
    LinesAdded added{0, 0, 0};
    if (from == end) return added;
    const std::uint64_t linesBefore = m_line;
    // The first line is counted, and a byte-order mark dropped, as AddLine would.
    std::string_view text(from, static_cast<std::size_t>(end - from));
    if (!StartLine(text)) {
        added.lines = 1;
        return added;
    }
    from = text.data();
    // Every byte may be an empty line's LF, which ends a row and begins the next.
    const std::size_t rowsBefore = rows.View().size();
    char* const start = rows.Room((text.size() + 1) * (kLastCellEndSize + kRowStartSize) + kSlack);
    char* to = start;
    if (!m_recordOpen) {
        to = PutTag(to, m_tags->rowAndCellStart, kRowStartSize);
        m_recordOpen = true;
    }
    WholeLines lines{from, 0, nullptr};
    bool lineEnded = false;
    to = m_options.escapeHtml ? ConvertRfc(m_textSpecials, from, end, to, lineEnded, &lines)
                              : ConvertRfc(m_plainStops, from, end, to, lineEnded, &lines);
    // The input's last line, with no LF, ends its record unless a quoted
    // field is still open.
    if (end[-1] != '\n' && m_state != State::Quoted) {
        to = PutTag(to, m_tags->lastCellEnd, kLastCellEndSize);
        EndRecord();
        ++lines.rowsEnded;
        lines.lastRowEnd = to;
    }
    rows.Commit(to);
    added.lines = m_line - linesBefore;
    added.rowsEnded = lines.rowsEnded;
    if (lines.lastRowEnd != nullptr) {
        added.wholeRows = rowsBefore + static_cast<std::size_t>(lines.lastRowEnd - start);
    }
    return added;
}

template <class Out>
bool RecordConverter::AddLineTo(std::string_view line, Out& out) {
    if (m_options.dialect == CsvDialect::Rfc4180) return AddRfcLine(line, out);
    AddClassicLine(line, out);
    EndRecord();
    return true;
}

bool RecordConverter::TakesLinePieces() const {
    const char delimiter = m_options.delimiter;
    return m_options.dialect == CsvDialect::Rfc4180 ||
           (delimiter != '\r' && delimiter != '\n' &&
            !m_isLeadByte(static_cast<unsigned char>(delimiter)));
}

bool RecordConverter::AddLinePiece(std::string_view piece, TableOutput& output, std::size_t& used) {
    const char* const start = piece.data();
    if (!m_lineInPieces) {
        // Counts the line and drops a byte-order mark; what follows the mark
        // is more of the line, never the end of an input of the mark alone.
        static_cast<void>(StartLine(piece));
        m_lineInPieces = true;
    }
    // The output's own room, which reports a failed write at its commit.
    struct OutputRoom {
        TableOutput& output;
        bool failed;
        char* Room(std::size_t bytes) const { return output.Room(bytes); }
        void Commit(char* end) { failed = !output.Commit(end) || failed; }
    } out{output, false};
    if (m_options.dialect == CsvDialect::Classic) {
        // The cells closed so far: where the line ends is still unknown, so
        // the first cell still open comes again with more of the line.
        const char* const end = piece.data() + piece.size();
        const char* const open = AddClassicCells(
            piece.data(), end, m_lines == Lines::Read ? end + TextLineReader::kPadding : end, out,
            false);
        used = static_cast<std::size_t>(open - start);
        return !out.failed;
    }
    if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
    AddRfcLine(piece, out, true);
    used = static_cast<std::size_t>(piece.data() + piece.size() - start);
    return !out.failed;
}

TextLineReader::LongLineCut RecordConverter::LineCut() const {
    const char delimiter = m_options.delimiter;
    // A part's last byte is a delimiter, which must not be one that may
    // begin the line's CR LF or close a quoted field.
    if (!TakesLinePieces() || delimiter == '"' || delimiter == '\r' || delimiter == '\n') {
        return nullptr;
    }
    // A UTF-8 byte-order mark that is dropped before the first cell is
    // looked past; one that is a cell's text can only close fewer cells that way.
    const bool utf8 = m_options.encoding == InputEncoding::Utf8;
    const bool rfc4180 = m_options.dialect == CsvDialect::Rfc4180;
    return [delimiter, utf8, rfc4180](const char* piece, std::size_t size) {
        const std::size_t mark =
            utf8 && std::string_view(piece, size).substr(0, 3) == kByteOrderMark ? 3 : 0;
        const std::size_t cut = rfc4180 ? EvenQuotesLength(piece + mark, size - mark, delimiter)
                                        : ClosedCellsLength(piece + mark, size - mark, delimiter);
        return cut > 0 ? mark + cut : 0;
    };
}

void RecordConverter::AddLinePart(std::string_view part, RowBuffer& rows) {
    if (!m_lineInPieces) {
        static_cast<void>(StartLine(part));
        m_lineInPieces = true;
    }
    if (m_options.dialect == CsvDialect::Rfc4180) {
        AddRfcLine(part, rows, true);
        return;
    }
    const char* const end = part.data() + part.size();
    AddClassicCells(part.data(), end, m_lines == Lines::Read ? end + TextLineReader::kPadding : end,
                    rows, false);
}

void RecordConverter::CloseRecord(RowBuffer& row) {
    if (!m_recordOpen) return;
    AppendTag(row, m_tags->lastCellEnd, kLastCellEndSize);
    EndRecord();
}

bool RecordConverter::StandsWhereBegan(const RecordConverter& next) const {
    if (next.m_from == From::InputStart) return m_line == 0;
    const bool inLinePart = next.m_from == From::LinePart || next.m_from == From::HeaderLinePart;
    // A part begins after a delimiter outside quotes.
    return m_line > 0 && m_lineInPieces == inLinePart && m_recordOpen == inLinePart &&
           m_state == State::FieldStart && m_tags == next.TagsAtStart();
}

void RecordConverter::TakeOver(const RecordConverter& next) {
    if (next.m_recordOpen) m_quoteLine = m_line + next.m_quoteLine;
    m_line += next.m_line;
    m_state = next.m_state;
    m_recordOpen = next.m_recordOpen;
    m_lineInPieces = next.m_lineInPieces;
    m_tags = next.m_tags;
}

void RecordConverter::EndRecord() {
    m_tags = &row_cells::kPaddedDataTags;  // only the first record is the header
    m_recordOpen = false;
    m_state = State::FieldStart;
}

// Cell text [from, end) of a line readable up to `lineEnd`, into room at
// `to` for its worst case and a block more: looked at 16 bytes at a time
// while those can be read, the last few one by one.
inline char* RecordConverter::PutCellText(const char* from, const char* end, const char* lineEnd,
                                          char* to) const {
    const bool escape = m_options.escapeHtml;
    while (from != end) {
        unsigned char byte = 0;
        if (static_cast<std::size_t>(lineEnd - from) >= kBlock) {
            unsigned specials = escape ? m_textSpecials.MaskIn(from) : m_lineFeed.MaskIn(from);
            const auto left = static_cast<std::size_t>(end - from);
            if (left < kBlock) specials |= 1U << left;  // where the text stops
            std::memcpy(to, from, kBlock);
            if (specials == 0) {
                to += kBlock;
                from += kBlock;
                continue;
            }
            const unsigned at = LowestBit(specials);
            to += at;
            from += at;
            if (from == end) break;
            byte = static_cast<unsigned char>(*from++);
        } else {
            byte = static_cast<unsigned char>(*from++);
            if (byte != '\n' && !(escape && kEntityIndex[byte] != 0)) {
                *to++ = static_cast<char>(byte);
                continue;
            }
        }
        to = byte == '\n' ? Put(to, "\r\n") : PutEntity(to, byte);
    }
    return to;
}

// The same in pieces, so that the room made stays small.
template <class Out>
void RecordConverter::AppendCellText(const char* from, const char* end, const char* lineEnd,
                                     Out& out) const {
    while (from != end) {
        const char* const stop =
            from + std::min<std::size_t>(static_cast<std::size_t>(end - from), kPiece);
        char* const to =
            out.Room(static_cast<std::size_t>(stop - from) * kMostPerTextByte + kSlack);
        out.Commit(PutCellText(from, stop, lineEnd, to));
        from = stop;
    }
}

// The first delimiter in [from, end), or end; the bytes up to
// `readableEnd`, at or after `end`, may be read.
const char* RecordConverter::FindDelimiter(const char* from, const char* end,
                                           const char* readableEnd) const {
    for (; from < end; from += kBlock) {
        if (static_cast<std::size_t>(readableEnd - from) < kBlock) {
            return FindByte(from, end, m_options.delimiter);
        }
        const unsigned delimiters = m_delimiter.MaskIn(from);
        if (delimiters != 0) return std::min(from + LowestBit(delimiters), end);
    }
    return end;
}

// The dialog's dialect, with the options' delimiter, tags and escaping.
template <class Out>
void RecordConverter::AddClassicLine(std::string_view line, Out& out) {
    const char delimiter = m_options.delimiter;
    std::size_t length = TrimmedLength(line, m_isLeadByte);
    // A white-space delimiter at the end of the line still ends a cell: the
    // trim stops after the last one.
    if (IsTrailingWhiteSpace(static_cast<unsigned char>(delimiter))) {
        const std::size_t last = line.find_last_of(delimiter);
        if (last != std::string_view::npos && last >= length) length = last + 1;
    }
    // A short line is read from a copy with room after it, so that its
    // last bytes too are looked at 16 at a time.
    const char* from = line.data();
    const char* readableEnd = from + line.size();
    if (m_lines == Lines::Read) {
        readableEnd += TextLineReader::kPadding;
    } else if (length <= m_paddedLine.size() - kBlock) {
        if (length > 0) std::memcpy(m_paddedLine.data(), from, length);
        from = m_paddedLine.data();
        readableEnd = from + m_paddedLine.size();
    }
    if constexpr (std::is_same<Out, MadeRoom>::value) {
        if (m_classicInOnePass) {
            char* const start =
                m_recordOpen ? out.at : PutTag(out.at, m_tags->rowAndCellStart, kRowStartSize);
            char* const cellsEnd =
                m_options.escapeHtml ? PutWholeLineCells(m_textSpecials, from, from + length, start)
                                     : PutWholeLineCells(m_lineFeed, from, from + length, start);
            if (cellsEnd != nullptr) {
                m_recordOpen = true;
                out.at = PutTag(cellsEnd, m_tags->lastCellEnd, kLastCellEndSize);
                return;
            }
        }
    }
    AddClassicCells(from, from + length, readableEnd, out, true);
    AppendTag(out, m_tags->lastCellEnd, kLastCellEndSize);
}

// The cells of a whole line's trimmed bytes [from, end), as AddClassicCells
// makes them, in one pass 64 bytes at a time into room made for the line,
// which is followed by TextLineReader::kPadding readable bytes. Null when the
// bytes hold an LF, which cell text turns into CR LF: then nothing written
// counts. Only for a delimiter that is neither the quote nor a byte `stops`
// holds.
template <class Stops>
char* RecordConverter::PutWholeLineCells(const Stops& stops, const char* from, const char* end,
                                         char* to) const {
    constexpr bool kEscape = std::is_same<Stops, EscapeStops>::value;
    const char delimiter = m_options.delimiter;
    bool quoted = from != end && *from == '"';
    const char* cell = from + (quoted ? 1 : 0);  // where the cell's text begins
    const char* text = cell;                     // its bytes not yet copied
    for (const char* block = from; block < end; block += kWideBlock) {
        for (std::uint64_t found = row_cells::WideMaskBefore(stops, block, end) |
                                   row_cells::WideMaskBefore(m_delimiter, block, end);
             found != 0; found &= found - 1) {
            const char* const at = block + LowestBit(found);
            if (at < cell) continue;  // a quoted cell's opening quote
            if (*at == delimiter) {
                // A quoted cell is closed only by a quote right before a
                // delimiter (right after the opening quote, that one), which
                // is not text; escaping has passed over it already.
                const char* textEnd = at;
                if (quoted) {
                    if (at[-1] != '"') continue;  // a delimiter inside the quotes
                    textEnd = at > cell ? at - 1 : cell;
                }
                if (textEnd > text)
                    to = CopyInBlocks(to, text, static_cast<std::size_t>(textEnd - text));
                to = PutTag(to, m_tags->cellEndAndStart, kCellEndAndStartSize);
                quoted = at + 1 != end && at[1] == '"';
                cell = text = at + 1 + (quoted ? 1 : 0);
                continue;
            }
            if (*at == '\n') return nullptr;
            // Markup, which only escaping stops at; a quoted cell's closing
            // quote, before a delimiter or at the line's end, is dropped.
            to = CopyInBlocks(to, text, static_cast<std::size_t>(at - text));
            text = at + 1;
            if (kEscape && *at == '"' && quoted && (at + 1 == end || at[1] == delimiter)) continue;
            to = PutEntity(to, static_cast<unsigned char>(*at));
        }
    }
    // The last cell runs to the line's end; an unterminated quoted one loses
    // only a closing quote.
    const char* textEnd = end;
    if (quoted && end > cell && end[-1] == '"') --textEnd;
    if (textEnd > text) to = CopyInBlocks(to, text, static_cast<std::size_t>(textEnd - text));
    return to;
}

// The cells of [from, end), readable up to `readableEnd`: a line's trimmed
// bytes, whose last cell ends at `end`, or (`lineEnds` false) a long line's
// piece, whose last cell may go on past it and so is left out. Returns where
// the cell left out starts. The row is begun at the first cell written, so
// a piece that closes no cell writes nothing.
template <class Out>
const char* RecordConverter::AddClassicCells(const char* from, const char* end,
                                             const char* readableEnd, Out& out, bool lineEnds) {
    for (;;) {
        const char* const cell = from;
        const char* textEnd = nullptr;
        const char* stop = nullptr;
        if (from != end && *from == '"') {
            // Closed only by a quote right before a delimiter; right after
            // the opening quote, that quote counts and the cell is empty.
            const char* const begin = from + 1;
            stop = FindDelimiter(begin, end, readableEnd);
            while (stop != end && stop[-1] != '"') stop = FindDelimiter(stop + 1, end, readableEnd);
            if (stop != end) {
                textEnd = stop > begin ? stop - 1 : begin;
            } else {
                textEnd = end;  // unterminated: only a closing quote is dropped
                if (textEnd > begin && textEnd[-1] == '"') --textEnd;
            }
            from = begin;
        } else {
            stop = FindDelimiter(from, end, readableEnd);
            textEnd = stop;
        }
        if (stop == end && !lineEnds) return cell;
        if (!m_recordOpen) {
            AppendTag(out, m_tags->rowAndCellStart, kRowStartSize);
            m_recordOpen = true;
        }
        if constexpr (std::is_same<Out, MadeRoom>::value) {
            out.at = PutCellText(from, textEnd, readableEnd, out.at);
        } else {
            AppendCellText(from, textEnd, readableEnd, out);
        }
        if (stop == end) return end;
        AppendTag(out, m_tags->cellEndAndStart, kCellEndAndStartSize);
        from = stop + 1;
    }
}

// Converts [from, end) of a line under RFC 4180 into room at `to` of at
// least RoomFor(end - from) bytes, and returns where the bytes end.
// `lineEnded` is set at an LF outside quotes, which is a line's last byte;
// in a pass over whole lines (`lines` set) such an LF ends the record and
// the next line begins the next one.
// The bytes are looked at 64 at a time: the special bytes of a block are
// handled in turn, and the plain run before each is copied 16 bytes a store,
// whose extra bytes later stores write over. Inside quotes the delimiter is
// data: only `stops` are special there, and a delimiter that must be
// escaped is one of them.
template <class Stops>
char* RecordConverter::ConvertRfc(const Stops& stops, const char* from, const char* end, char* to,
                                  bool& lineEnded, WholeLines* lines) {
    constexpr bool kEscape = std::is_same<Stops, EscapeStops>::value;
    const Tags* tags = m_tags;
    // Plain data moves the state on from FieldStart and QuoteInQuoted; that
    // is only looked at by a quote and where the piece ends, so it is done
    // there and at the end of each block.
    State state = m_state;
    // A block is read whole, and its copies read up to 15 bytes past it, so
    // the last bytes of a line that may not be read past are scanned in a
    // copy.
    constexpr std::size_t kReadPastBlock = kWideBlock + kBlock;
    char tail[kWideBlock + kReadPastBlock];
    bool inTail = false;
    for (;;) {
        if (m_lines == Lines::Any && !inTail &&
            static_cast<std::size_t>(end - from) < kReadPastBlock) {
            const auto left = static_cast<std::size_t>(end - from);
            std::memset(tail, '\n', sizeof tail);
            if (left > 0) std::memcpy(tail, from, left);
            from = tail;
            end = tail + left;
            inTail = true;
        }
        const char* const block = from;
        std::uint64_t stopBytes = byte_scan::WideMask(stops, block);
        std::uint64_t delimiters = m_delimiter.WideMaskIn(block);
        // The bytes past the piece are none of its own: its end is a stop.
        if (const auto left = static_cast<std::size_t>(end - block); left < kWideBlock) {
            const std::uint64_t inPiece = (std::uint64_t{1} << left) - 1;
            stopBytes = (stopBytes & inPiece) | std::uint64_t{1} << left;
            delimiters &= inPiece;
        }
        std::uint64_t ahead = ~std::uint64_t{0};  // the bits of the bytes not yet passed
        for (;;) {
            if (state != State::Quoted && (stopBytes & ahead) == 0) {
                // Only delimiters are left in the block: each ends a cell.
                for (std::uint64_t cells = delimiters & ahead; cells != 0; cells &= cells - 1) {
                    const char* const delimiter = block + LowestBit(cells);
                    to = CopyInBlocks(to, from, static_cast<std::size_t>(delimiter - from));
                    to = PutTag(to, tags->cellEndAndStart, kCellEndAndStartSize);
                    from = delimiter + 1;
                    state = State::FieldStart;
                }
                break;
            }
            const std::uint64_t bits =
                (state == State::Quoted ? stopBytes : stopBytes | delimiters) & ahead;
            if (bits == 0) break;
            const unsigned at = LowestBit(bits);
            ahead = ~std::uint64_t{1} << at;
            const char* const special = block + at;
            to = CopyInBlocks(to, from, static_cast<std::size_t>(special - from));
            const bool afterData = special != from;
            from = special + 1;
            if (state != State::Quoted && (delimiters >> at & 1U) != 0) {
                to = PutTag(to, tags->cellEndAndStart, kCellEndAndStartSize);
                state = State::FieldStart;
                continue;
            }
            if (special == end) {  // the piece is done
                if (afterData && state != State::Quoted) state = State::Plain;
                m_state = state;
                return to;
            }
            const auto byte = static_cast<unsigned char>(*special);
            if (byte == '"') {
                if (afterData && state != State::Quoted) state = State::Plain;
                if (state == State::FieldStart) {
                    state = State::Quoted;
                    m_quoteLine = m_line;
                } else if (state == State::Quoted) {
                    state = State::QuoteInQuoted;  // closing, or the first of ""
                } else {
                    to = kEscape ? Put(to, "&quot;") : Put(to, "\"");
                    if (state == State::QuoteInQuoted) state = State::Quoted;
                }
            } else if (byte == '\n') {
                // A CR before the LF belongs to the line end, as text mode
                // reads it: a pass over whole lines gets them as they were read.
                if (lines != nullptr && special != lines->start && special[-1] == '\r') --to;
                if (state != State::Quoted) {
                    if (lines == nullptr) {
                        lineEnded = true;
                        m_state = state;
                        return to;
                    }
                    to = PutTag(to, tags->lastCellEnd, kLastCellEndSize);
                    EndRecord();
                    ++lines->rowsEnded;
                    lines->lastRowEnd = to;
                    if (from == end) return to;
                    ++m_line;
                    tags = m_tags;
                    to = PutTag(to, tags->rowAndCellStart, kRowStartSize);
                    m_recordOpen = true;
                    state = State::FieldStart;
                    continue;
                }
                to = Put(to, "\r\n");  // a line break inside the field
                if (lines != nullptr && from != end) ++m_line;
            } else {
                // Markup, which only escaping stops at.
                to = PutEntity(to, byte);
                if (state != State::Quoted) state = State::Plain;
            }
        }
        // The rest of the block is plain.
        to = CopyInBlocks(to, from, static_cast<std::size_t>(block + kWideBlock - from));
        if (from != block + kWideBlock && state != State::Quoted) state = State::Plain;
        from = block + kWideBlock;
    }
}

// RFC 4180, with the text after a closing quote added to the field as
// Python's csv module and spreadsheets do, and a quote inside an unquoted
// field taken as data. A long line's piece goes on (`lineGoesOn`): its end
// ends nothing.
template <class Out>
bool RecordConverter::AddRfcLine(std::string_view line, Out& out, bool lineGoesOn) {
    const char* from = line.data();
    const char* const end = from + line.size();
    for (;;) {
        const char* const stop =
            from + std::min<std::size_t>(static_cast<std::size_t>(end - from), kPiece);
        char* to = out.Room(RoomFor(static_cast<std::size_t>(stop - from)));
        if (!m_recordOpen) {
            to = PutTag(to, m_tags->rowAndCellStart, kRowStartSize);
            m_recordOpen = true;
        }
        bool lineEnded = false;
        to = m_options.escapeHtml ? ConvertRfc(m_textSpecials, from, stop, to, lineEnded)
                                  : ConvertRfc(m_plainStops, from, stop, to, lineEnded);
        from = stop;
        // A last line without a line end ends its record too, unless a
        // quoted field is still open.
        if (lineEnded || (from == end && !lineGoesOn && m_state != State::Quoted)) {
            out.Commit(PutTag(to, m_tags->lastCellEnd, kLastCellEndSize));
            EndRecord();
            return true;
        }
        out.Commit(to);
        if (from == end) return false;
    }
}
