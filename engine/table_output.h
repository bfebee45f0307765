// Where a conversion run writes its table. The run hands over pieces of text
// already in their on-disk form (CR LF line ends); how and when they reach
// the output file is up to the implementation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "row_buffer.h"

class ConversionHost;

class TableOutput {
public:
    virtual ~TableOutput() = default;
    // Takes the next piece. False once the output has failed; the failure
    // has been reported through the host then, and only once.
    virtual bool Write(std::string_view piece) = 0;
    // Everything taken so far is in the file once this returns true. False
    // on failure, reported as for Write.
    virtual bool Finish() = 0;

    // Whether a row may come in several pieces: an output whose file shows
    // each piece at once keeps whole rows only, so a long line is then held
    // whole instead.
    virtual bool TakesPartRows() const { return false; }
    // From now on, writes to the file on a thread of its own where it can:
    // for a run whose own threads leave time on a core for it.
    virtual void WriteBehind() {}
    // The pieces taken so far end `rows` more rows: for an output that
    // counts them, however the rows came in pieces.
    virtual void RowsEnded(std::uint64_t rows) { static_cast<void>(rows); }

    // Write without the copy: room for `bytes` more bytes, valid until the
    // next call, which the caller fills and then commits up to `end`. The
    // same pieces reach the file as through Write; Commit fails as Write.
    // A room that is not committed is dropped, and nothing of it written.
    virtual char* Room(std::size_t bytes) {
        m_piece.Clear();
        return m_piece.Room(bytes);
    }
    virtual bool Commit(const char* end) {
        m_piece.Commit(end);
        return Write(m_piece.View());
    }

private:
    RowBuffer m_piece;  // the room of outputs that take every piece whole
};

enum class OutputMode {
    // Every piece opens, appends to and closes the output file, as the
    // dialog does: the file is complete up to the last row at every moment.
    AppendEachPiece,
    // The output file is opened once and written in large blocks.
    Buffered,
};

// The output for `mode`, writing to the host's output path.
std::unique_ptr<TableOutput> OpenTableOutput(ConversionHost& host, OutputMode mode);
