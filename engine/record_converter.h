// Turns input lines into table rows under the converter's options: either
// dialect, any delimiter, escaped cell text, a header row, UTF-8 input. The
// dialog's own conversion (default options) is AppendRowOnDisk; this one
// gives the same bytes for those options, and is pure as well: it reads no
// file and shows nothing, and its only state is where the input stands.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "conversion_options.h"
#include "row_buffer.h"
#include "row_converter.h"

class RecordConverter {
public:
    RecordConverter(const ConversionOptions& options, LeadByteTest isLeadByte);

    // Adds the next input line, its LF included (a last line may have none),
    // to the row being built in `row`, in its on-disk form (CR LF line ends).
    // True when the line ended a record: `row` then holds its whole row.
    // Under RFC 4180 a record goes on over lines while a quoted field is open.
    bool AddLine(std::string_view line, RowBuffer& row);

    // After the input's end: whether a record, and so a quoted field, is
    // still open, the line (from 1) where that field opened, and a way to
    // close its row so that the table stays well-formed.
    bool RecordOpen() const { return m_recordOpen; }
    std::uint64_t OpenQuoteLine() const { return m_quoteLine; }
    void CloseRecord(RowBuffer& row);

private:
    enum class State : unsigned char { FieldStart, Plain, Quoted, QuoteInQuoted };
    struct Tags {
        std::string_view rowAndCellStart;  // <tr> CR LF <td>
        std::string_view cellEndAndStart;  // </td> CR LF <td>
        std::string_view lastCellEnd;      // </td></tr> CR LF
    };
    static const Tags kDataTags;
    static const Tags kHeaderTags;

    void AddClassicLine(std::string_view line, RowBuffer& row);
    bool AddRfcLine(std::string_view line, RowBuffer& row);
    void AppendCellText(const char* from, const char* end, RowBuffer& row) const;
    void EndRecord();

    const ConversionOptions m_options;
    const LeadByteTest m_isLeadByte;
    // What each byte is to the RFC 4180 scanner, and to cell text.
    std::array<unsigned char, 256> m_fieldClass{};
    std::array<unsigned char, 256> m_textClass{};
    const Tags* m_tags;
    std::uint64_t m_line = 0;
    std::uint64_t m_quoteLine = 0;
    State m_state = State::FieldStart;
    bool m_recordOpen = false;
};
