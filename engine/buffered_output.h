// A run's output that opens the output file once and writes it in large
// blocks: for batch work on big files, where one open per row would
// dominate the time.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "background_writer.h"
#include "platform_file.h"
#include "table_output.h"

class ConversionHost;

using OutputFileOpener = std::function<std::unique_ptr<OutputFile>(const std::string& path)>;

class BufferedOutput final : public TableOutput {
public:
    static constexpr std::size_t kDefaultBlockSize = 1 << 20;

    enum class Writing {
        InPlace,  // each block is written when full, before the run goes on
        // Each full block is written on a thread of its own while the run
        // fills another; a failure is reported at the next block or at the
        // end, after which nothing more is written.
        Behind,
    };

    // The file is the host's output path (defaulted when empty), opened at
    // the first piece.
    explicit BufferedOutput(ConversionHost& host, std::size_t blockSize = kDefaultBlockSize,
                            OutputFileOpener openFile = OpenOutputFile,
                            Writing writing = Writing::InPlace);
    BufferedOutput(const BufferedOutput&) = delete;
    BufferedOutput& operator=(const BufferedOutput&) = delete;

    bool Write(std::string_view piece) override;
    // Writes what is pending and closes the file; nothing can be written
    // after it.
    bool Finish() override;
    bool TakesPartRows() const override { return true; }
    void WriteBehind() override { m_writing = Writing::Behind; }
    // Room in the block itself, when it fits in one.
    char* Room(std::size_t bytes) override;
    bool Commit(const char* end) override;

private:
    bool WriteThrough(std::string_view bytes);
    bool Flush(bool last = false);  // writes the block's bytes and empties it
    bool Fail();
    bool Fail(const std::string& reason);  // for a failure on the writer's thread
    bool Report(const std::string& detail);
    bool WaitForTheWriter();
    // Bytes enough to be worth a write of their own, writing behind: a
    // sixteenth of a block (64 KiB).
    std::size_t LargePiece() const { return m_blockSize / 16; }

    ConversionHost& m_host;
    const std::size_t m_blockSize;
    const OutputFileOpener m_openFile;
    std::unique_ptr<OutputFile> m_file;
    Writing m_writing;
    std::unique_ptr<char[]> m_block;
    std::unique_ptr<char[]> m_spare;             // the block being written behind
    std::unique_ptr<BackgroundWriter> m_writer;  // after the file and the blocks: ends first
    std::size_t m_used = 0;                      // bytes waiting in m_block
    bool m_failed = false;
    bool m_closed = false;
    bool m_roomInBlock = false;  // whether the last room was made in m_block
};
