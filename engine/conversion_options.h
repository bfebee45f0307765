// How the converter reads its input and writes its cells. The default value
// is the dialog's own behaviour, byte for byte; the command-line converter
// offers the rest as options.
#pragma once

enum class CsvDialect {
    // One line is one record; a quoted cell ends at a quote followed by the
    // delimiter, and a doubled quote stays doubled. Trailing white space of
    // a line is dropped.
    Classic,
    // RFC 4180: a quoted field runs to its closing quote, "" inside it is one
    // quote, and delimiters and line breaks inside it are data.
    Rfc4180,
};

enum class InputEncoding {
    Ansi,  // the system's ANSI code page; its lead bytes are honoured in the trim
    Utf8,  // a byte-order mark at the very start is dropped; no lead bytes
};

struct ConversionOptions {
    CsvDialect dialect = CsvDialect::Classic;
    char delimiter = ',';     // never '"', CR or LF
    bool escapeHtml = false;  // & < > " ' in cell text become character references
    bool headerRow = false;   // the first record's cells are <th>, not <td>
    InputEncoding encoding = InputEncoding::Ansi;

    // The dialog's behaviour: the run takes its fastest path.
    bool IsDialogDefault() const {
        return dialect == CsvDialect::Classic && delimiter == ',' && !escapeHtml && !headerRow &&
               encoding == InputEncoding::Ansi;
    }
};
