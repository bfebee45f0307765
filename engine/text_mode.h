// Text-mode translation done by our own code, so the bytes on disk are the
// same on every platform: CR LF line ends, Ctrl-Z as end of input.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "byte_scan.h"
#include "platform_file.h"

// Each LF becomes CR LF; every other byte, a CR included, is kept.
std::string ToCrLf(const std::string& text);

// Reads an input file line by line in large blocks, delivering CR LF as LF
// (also across block boundaries) and stopping at the first Ctrl-Z. Lines are
// delivered from the reader's own buffer, never copied; a line longer than
// the buffer makes it grow.
class TextLineReader {
public:
    // Every line and piece delivered is followed in memory by at least this
    // many readable bytes, so that a block scan may read past its end.
    static constexpr std::size_t kPadding = byte_scan::kWideBlockSize;

    enum class Result {
        Line,      // a whole line, its LF included
        LastLine,  // the non-empty rest of the input after the last LF
        End,       // nothing more
        Error,     // the file could not be read; the partial line is dropped
        Piece      // the start of a long line, no LF yet (see OfferPieces)
    };

    static constexpr std::size_t kDefaultBlockSize = std::size_t{64} * 1024;

private:
    struct FreeBuffer {
        void operator()(char* buffer) const;
    };

public:
    // Whole lines handed over together with the buffer that holds them, so
    // that they can be converted elsewhere while the reader reads on.
    class LineBlock {
    public:
        // The next line as ReadLine delivers it (CR LF as LF, changed in
        // place), followed by kPadding readable bytes; false after the last.
        bool NextLine(std::string_view& line) {
            if (m_next == m_end) return false;
            char* const start = m_buffer.get() + m_next;
            const char* const found = byte_scan::Find(start, m_buffer.get() + m_end, '\n');
            if (!found) {  // the input's last line, with no LF
                line = std::string_view(start, m_end - m_next);
                m_next = m_end;
                return true;
            }
            line = LineUpTo(start, start + (found - start));
            m_next = static_cast<std::size_t>(found - m_buffer.get()) + 1;
            return true;
        }

        // The bytes of the lines not yet delivered.
        std::size_t Size() const { return m_end - m_next; }
        // The same as they were read (a CR LF still a CR LF), for a caller
        // that finds the lines itself: they start at Next and end at End,
        // which kPadding readable bytes follow; those may hold anything.
        const char* Next() const { return m_buffer.get() + m_next; }
        const char* End() const { return m_buffer.get() + m_end; }
        // Steps over the lines before `line`, the start of one of them.
        void SkipTo(const char* line) { m_next = static_cast<std::size_t>(line - m_buffer.get()); }

        // A long line cut (see CutLongLines) spans blocks: one that
        // continues a line starts with the line's part after its last cut,
        // and one that ends in a line holds only a part of it up to a cut.
        bool ContinuesLine() const { return m_continuesLine; }
        bool EndsInLine() const { return m_endsInLine; }

    private:
        friend class TextLineReader;
        std::unique_ptr<char, FreeBuffer> m_buffer;
        std::size_t m_capacity = 0;
        std::size_t m_next = 0;  // where the next line starts
        std::size_t m_end = 0;   // where the lines end
        bool m_continuesLine = false;
        bool m_endsInLine = false;
    };

    enum class Lines {
        Block,  // one or more whole lines, the input's last one included, or a cut long line's part
        LongLine,  // the next line is long: read it with ReadLine (in pieces if offered)
        End,
        Error  // as ReadLine's
    };

    // Reads at most `limit` bytes from the file when it is set, and at most
    // `blockSize` bytes at a time.
    TextLineReader(InputFile& file, std::optional<std::uint64_t> limit,
                   std::size_t blockSize = kDefaultBlockSize);

    // From now on, a line that reaches `size` bytes before its LF is read is
    // handed over in pieces, so that it need not be held whole: a Piece is
    // all of the line read so far, and Consume then says how much of it was
    // used; the rest comes again at the start of the next piece, or of the
    // line's end. A piece used not at all is offered again once it has
    // doubled, so a long stretch that cannot be split costs no more than
    // twice its length to look at.
    void OfferPieces(std::size_t size) { m_pieceSize = m_nextPiece = size; }
    void Consume(std::size_t bytes) {
        const std::size_t offered = m_filled - m_lineStart;
        m_lineStart += bytes;
        m_nextPiece = std::max(m_pieceSize, 2 * (offered - bytes));
    }

    // From now on, ReadLines hands over about `size` bytes of lines at a
    // time (less when a pipe has no more for now), and a line that reaches
    // the size of a piece with no LF is a LongLine; without pieces, a line
    // longer than `size`, which ReadLine then delivers whole.
    void GatherLines(std::size_t size) {
        m_linesSize = size;
        m_minCapacity = std::max(m_blockSize, size + m_blockSize);
    }
    // The length of the start of `piece` that ends where a long line can be
    // cut, so that the part before the cut can be converted without the
    // rest; 0 when there is no such place. `piece` is the line from its
    // start or its last cut on, with no LF, followed by kPadding readable bytes.
    using LongLineCut = std::function<std::size_t(const char* piece, std::size_t size)>;

    // From now on, ReadLines hands over a line too long for a block (or
    // for a piece, when offered) in blocks as well, each up to where `cut`
    // says, so that the parts can be converted apart. Only a line that
    // cannot be cut there is a LongLine, and ReadLine delivers the rest of it.
    void CutLongLines(LongLineCut cut) { m_cut = std::move(cut); }

    // Every whole line read so far, with the buffer holding them, into
    // `block`; the block's own buffer is reused for what follows. ReadLine
    // and ReadLines may take turns.
    Lines ReadLines(LineBlock& block);

    // The system's reason for an Error, taken when the read failed.
    const std::string& FailureReason() const { return m_failureReason; }

    // `line` stays valid until the next call.
    Result ReadLine(std::string_view& line) {
        // Inline, as it runs once per line: the next line lies whole in the
        // buffer. Anything else takes the call.
        if (m_scanned != m_filled) {
            char* const from = m_buffer.get() + m_scanned;
            if (const char* lineFeed = byte_scan::Find(from, from + (m_filled - m_scanned), '\n')) {
                return DeliverLine(from + (lineFeed - from), line);
            }
        }
        return ReadLineAfterRefills(line);
    }

private:
    // The line from `start` to its LF, a CR LF made an LF in place: the
    // bytes of a delivered line are not looked at again.
    static std::string_view LineUpTo(char* start, char* lineFeed) {
        std::size_t length = static_cast<std::size_t>(lineFeed - start) + 1;
        if (length > 1 && lineFeed[-1] == '\r') {
            lineFeed[-1] = '\n';
            --length;
        }
        return std::string_view(start, length);
    }

    Result DeliverLine(char* lineFeed, std::string_view& line) {
        line = LineUpTo(m_buffer.get() + m_lineStart, lineFeed);
        m_lineStart = m_scanned = static_cast<std::size_t>(lineFeed - m_buffer.get()) + 1;
        return Result::Line;
    }
    // ReadLine once everything in the buffer has been scanned.
    Result ReadLineAfterRefills(std::string_view& line);
    bool Refill();  // false at end of input or on error
    void MakeRoom();

    InputFile& m_file;
    std::optional<std::uint64_t> m_remaining;
    const std::size_t m_blockSize;
    std::unique_ptr<char, FreeBuffer> m_buffer;
    std::size_t m_capacity = 0;
    std::size_t m_minCapacity = m_blockSize;  // kept when the lines are short
    std::size_t m_linesSize = 0;              // see GatherLines
    std::size_t m_lineStart = 0;              // where the next line starts
    std::size_t m_scanned = 0;                // [m_lineStart, m_scanned) holds no LF
    std::size_t m_filled = 0;
    std::size_t m_pieceSize = 0;  // 0: lines are delivered whole
    std::size_t m_nextPiece = 0;
    bool m_finished = false;
    bool m_failed = false;
    bool m_shortRead = false;  // the last read gave less than asked for
    LongLineCut m_cut;
    bool m_lineCut = false;  // the next line handed over continues a cut one
    std::string m_failureReason;
};
