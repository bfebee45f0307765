#include "record_converter.h"

#include <algorithm>
#include <cstring>

#include "byte_scan.h"

namespace {

// What a byte is: plain data, a character HTML must have escaped, a double
// quote, the delimiter, or the line feed.
enum ByteClass : unsigned char { kPlain, kMarkup, kQuote, kDelimiter, kLineFeed };

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// Bytes are converted in pieces of this size, so the room made for a piece's
// worst case stays small however long the line is.
constexpr std::size_t kPiece = 4096;
// The most one input byte can become: a delimiter closing a header cell
// and opening the next, "</th>\r\n<th>".
constexpr std::size_t kMostPerByte = 12;
constexpr std::size_t kMostPerTextByte = 6;  // "&quot;"

bool IsTrailingWhiteSpace(unsigned char byte) {
    return byte == ' ' || (byte >= 0x09 && byte <= 0x0D);
}

char* Put(char* to, std::string_view text) {
    std::memcpy(to, text.data(), text.size());
    return to + text.size();
}

char* PutEscaped(char* to, unsigned char byte) {
    switch (byte) {
    case '&':
        return Put(to, "&amp;");
    case '<':
        return Put(to, "&lt;");
    case '>':
        return Put(to, "&gt;");
    case '"':
        return Put(to, "&quot;");
    case '\'':
        return Put(to, "&#39;");
    default:
        *to = static_cast<char>(byte);
        return to + 1;
    }
}

bool NeedsEscape(unsigned char byte) {
    return byte == '&' || byte == '<' || byte == '>' || byte == '"' || byte == '\'';
}

const char* FindByte(const char* from, const char* end, char byte) {
    const char* const found = byte_scan::Find(from, end, byte);
    return found ? found : end;
}

void AppendTags(RowBuffer& row, std::string_view tags) {
    row.Commit(Put(row.Room(tags.size()), tags));
}

}  // namespace

const RecordConverter::Tags RecordConverter::kDataTags{"<tr>\r\n<td>", "</td>\r\n<td>",
                                                       "</td></tr>\r\n"};
const RecordConverter::Tags RecordConverter::kHeaderTags{"<tr>\r\n<th>", "</th>\r\n<th>",
                                                         "</th></tr>\r\n"};

RecordConverter::RecordConverter(const ConversionOptions& options, LeadByteTest isLeadByte)
    : m_options(options), m_isLeadByte(isLeadByte) {
    m_tags = options.headerRow ? &kHeaderTags : &kDataTags;
    for (int byte = 0; byte < 256; ++byte) {
        const bool markup = options.escapeHtml && NeedsEscape(static_cast<unsigned char>(byte));
        m_textClass[byte] = byte == '\n' ? kLineFeed : markup ? kMarkup : kPlain;
        m_fieldClass[byte] = m_textClass[byte];
    }
    m_fieldClass[static_cast<unsigned char>(options.delimiter)] = kDelimiter;
    m_fieldClass['"'] = kQuote;
    m_fieldClass['\n'] = kLineFeed;
}

bool RecordConverter::AddLine(std::string_view line, RowBuffer& row) {
    if (++m_line == 1 && m_options.encoding == InputEncoding::Utf8 &&
        line.substr(0, 3) == kByteOrderMark) {
        line.remove_prefix(3);
        if (line.empty()) return false;  // the input is the mark alone: an empty file
    }
    if (m_options.dialect == CsvDialect::Rfc4180) return AddRfcLine(line, row);
    AddClassicLine(line, row);
    EndRecord();
    return true;
}

void RecordConverter::CloseRecord(RowBuffer& row) {
    if (!m_recordOpen) return;
    AppendTags(row, m_tags->lastCellEnd);
    EndRecord();
}

void RecordConverter::EndRecord() {
    m_tags = &kDataTags;  // only the first record is the header
    m_recordOpen = false;
    m_state = State::FieldStart;
}

void RecordConverter::AppendCellText(const char* from, const char* end, RowBuffer& row) const {
    while (from != end) {
        const char* const stop =
            from + std::min<std::size_t>(static_cast<std::size_t>(end - from), kPiece);
        char* to = row.Room(static_cast<std::size_t>(stop - from) * kMostPerTextByte);
        for (; from != stop; ++from) {
            const auto byte = static_cast<unsigned char>(*from);
            switch (m_textClass[byte]) {
            case kMarkup:
                to = PutEscaped(to, byte);
                break;
            case kLineFeed:
                *to++ = '\r';
                *to++ = '\n';
                break;
            default:
                *to++ = static_cast<char>(byte);
                break;
            }
        }
        row.Commit(to);
    }
}

// The dialog's dialect, with the options' delimiter, tags and escaping.
void RecordConverter::AddClassicLine(std::string_view line, RowBuffer& row) {
    const char delimiter = m_options.delimiter;
    std::size_t length = TrimmedLength(line, m_isLeadByte);
    // A white-space delimiter at the end of the line still ends a cell: the
    // trim stops after the last one.
    if (IsTrailingWhiteSpace(static_cast<unsigned char>(delimiter))) {
        const std::size_t last = line.find_last_of(delimiter);
        if (last != std::string_view::npos && last >= length) length = last + 1;
    }
    AppendTags(row, m_tags->rowAndCellStart);
    const char* from = line.data();
    const char* const end = from + length;
    for (;;) {
        const char* textEnd = nullptr;
        const char* stop = nullptr;
        if (from != end && *from == '"') {
            // Closed only by a quote right before a delimiter; right after
            // the opening quote, that quote counts and the cell is empty.
            const char* const begin = from + 1;
            stop = FindByte(begin, end, delimiter);
            while (stop != end && stop[-1] != '"') stop = FindByte(stop + 1, end, delimiter);
            if (stop != end) {
                textEnd = stop > begin ? stop - 1 : begin;
            } else {
                textEnd = end;  // unterminated: only a closing quote is dropped
                if (textEnd > begin && textEnd[-1] == '"') --textEnd;
            }
            from = begin;
        } else {
            stop = FindByte(from, end, delimiter);
            textEnd = stop;
        }
        AppendCellText(from, textEnd, row);
        if (stop == end) break;
        AppendTags(row, m_tags->cellEndAndStart);
        from = stop + 1;
    }
    AppendTags(row, m_tags->lastCellEnd);
}

// RFC 4180, with the text after a closing quote added to the field as
// Python's csv module and spreadsheets do, and a quote inside an unquoted
// field taken as data.
bool RecordConverter::AddRfcLine(std::string_view line, RowBuffer& row) {
    if (!m_recordOpen) {
        AppendTags(row, m_tags->rowAndCellStart);
        m_recordOpen = true;
    }
    const char* from = line.data();
    const char* const end = from + line.size();
    const unsigned char* const classes = m_fieldClass.data();
    State state = m_state;
    while (from != end) {
        const char* const stop =
            from + std::min<std::size_t>(static_cast<std::size_t>(end - from), kPiece);
        char* to = row.Room(static_cast<std::size_t>(stop - from) * kMostPerByte);
        while (from != stop) {
            // Most bytes are plain data: they are copied in a tight loop.
            const char* const run = from;
            while (from != stop && classes[static_cast<unsigned char>(*from)] == kPlain)
                *to++ = *from++;
            if (from != run && state != State::Quoted) state = State::Plain;
            if (from == stop) break;
            const auto byte = static_cast<unsigned char>(*from++);
            switch (classes[byte]) {
            case kMarkup:
                to = PutEscaped(to, byte);
                if (state != State::Quoted) state = State::Plain;
                break;
            case kQuote:
                if (state == State::FieldStart) {
                    state = State::Quoted;
                    m_quoteLine = m_line;
                } else if (state == State::Quoted) {
                    state = State::QuoteInQuoted;  // closing, or the first of ""
                } else {
                    to = m_options.escapeHtml ? PutEscaped(to, byte) : Put(to, "\"");
                    if (state == State::QuoteInQuoted) state = State::Quoted;
                }
                break;
            case kDelimiter:
                if (state == State::Quoted) {
                    to = m_options.escapeHtml ? PutEscaped(to, byte)
                                              : Put(to, std::string_view(from - 1, 1));
                } else {
                    to = Put(to, m_tags->cellEndAndStart);
                    state = State::FieldStart;
                }
                break;
            case kLineFeed:
                if (state == State::Quoted) {
                    to = Put(to, "\r\n");  // a line break inside the field
                } else {
                    // An LF is always a line's last byte: the record ends.
                    row.Commit(Put(to, m_tags->lastCellEnd));
                    EndRecord();
                    return true;
                }
                break;
            default:
                break;
            }
        }
        row.Commit(to);
    }
    m_state = state;
    if (state == State::Quoted) return false;
    // A last line without a line end ends its record too.
    AppendTags(row, m_tags->lastCellEnd);
    EndRecord();
    return true;
}
