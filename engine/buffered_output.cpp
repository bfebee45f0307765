#include "buffered_output.h"

#include <cstring>
#include <utility>

#include "conversion_host.h"
#include "failure_detail.h"
#include "messages.h"
#include "output_appender.h"

BufferedOutput::BufferedOutput(ConversionHost& host, std::size_t blockSize,
                               OutputFileOpener openFile, Writing writing)
    : m_host(host),
      m_blockSize(blockSize > 0 ? blockSize : 1),
      m_openFile(std::move(openFile)),
      m_writing(writing) {}

bool BufferedOutput::Fail() { return Report(FileFailureDetail(m_host.m_outputPath)); }

bool BufferedOutput::Fail(const std::string& reason) {
    return Report(FileFailureDetail(m_host.m_outputPath, reason));
}

bool BufferedOutput::Report(const std::string& detail) {
    m_failed = true;
    m_used = 0;
    m_host.ShowFailure(messages::kSaveToFile, messages::kErrorWritingFile, detail);
    return false;
}

bool BufferedOutput::WaitForTheWriter() {
    std::string reason;
    return !m_writer || m_writer->Wait(reason) || Fail(reason);
}

bool BufferedOutput::WriteThrough(std::string_view bytes) {
    // After the block written behind, so that the bytes stay in order.
    if (!WaitForTheWriter()) return false;
    return bytes.empty() || m_file->Write(bytes.data(), bytes.size()) || Fail();
}

bool BufferedOutput::Flush(bool last) {
    const std::size_t used = m_used;
    m_used = 0;
    // Behind only when the next bytes can be made meanwhile and the block is
    // worth handing over: the table's first tags or a small output's whole
    // table would start the writer's thread for a few bytes. An empty block
    // needs its own test: a block under 16 bytes (unbuffered) has no large
    // piece.
    if (m_writing == Writing::InPlace || last || used == 0 || used < LargePiece()) {
        return WriteThrough(std::string_view(m_block.get(), used));
    }
    if (!WaitForTheWriter()) return false;
    if (!m_writer) {
        m_writer = std::make_unique<BackgroundWriter>(*m_file);
        m_spare.reset(new char[m_blockSize]);
    }
    m_writer->Start(m_block.get(), used);
    std::swap(m_block, m_spare);
    return true;
}

bool BufferedOutput::Write(std::string_view piece) {
    if (m_failed || m_closed) return false;
    if (!m_file) {
        DefaultTheOutputPath(m_host);
        m_file = m_openFile(m_host.m_outputPath);
        if (!m_file) return Fail();
        // Left uninitialised: only what is written into it is ever touched.
        m_block.reset(new char[m_blockSize]);
    }
    // A piece as large as a block goes straight to the file, uncopied. So
    // does one of 1/16 of a block (64 KiB) when writing behind: the thread
    // that made it writes it while its bytes are at hand, in its core's
    // cache, and the block and the writer's thread are left to small pieces.
    const bool large = m_writing == Writing::Behind && piece.size() >= LargePiece();
    if (large || piece.size() > m_blockSize - m_used) {
        if (!Flush()) return false;
        if (large || piece.size() >= m_blockSize) return WriteThrough(piece);
    }
    if (!piece.empty()) std::memcpy(m_block.get() + m_used, piece.data(), piece.size());
    m_used += piece.size();
    return true;
}

char* BufferedOutput::Room(std::size_t bytes) {
    // Until the file is open, after a failure and for a room larger than a
    // block, the piece goes the way of Write.
    m_roomInBlock = m_file && !m_failed && !m_closed && bytes <= m_blockSize &&
                    (bytes <= m_blockSize - m_used || Flush());
    return m_roomInBlock ? m_block.get() + m_used : TableOutput::Room(bytes);
}

bool BufferedOutput::Commit(const char* end) {
    if (!m_roomInBlock) return TableOutput::Commit(end);
    m_roomInBlock = false;
    m_used = static_cast<std::size_t>(end - m_block.get());
    return true;
}

bool BufferedOutput::Finish() {
    if (m_failed) return false;
    if (m_closed) return true;
    if (!m_file) {
        // Nothing was written: the file is still opened, and created if
        // missing, as an appender would.
        if (!Write(std::string_view())) return false;
    }
    if (!Flush(true) || !WaitForTheWriter()) return false;
    m_closed = true;
    return m_file->Close() || Fail();
}
