// Writes one block at a time to an output file on a thread of its own, so
// that the next block is filled while the system copies the last one.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

#include "platform_file.h"

class BackgroundWriter {
public:
    explicit BackgroundWriter(OutputFile& file) : m_file(file) {}
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;
    ~BackgroundWriter();  // waits for the write under way

    // Starts writing `size` bytes at `data`, which must stay as they are
    // until Wait returns. Only one write is under way at a time.
    void Start(const char* data, std::size_t size);
    // Waits for the write started last; false if it failed, with the
    // system's reason in `reason`. True when no write was started.
    bool Wait(std::string& reason);

private:
    void WriteBlocks();

    OutputFile& m_file;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const char* m_data = nullptr;  // the block to write, while one is waiting
    std::size_t m_size = 0;
    bool m_busy = false;  // a block is waiting or being written
    bool m_failed = false;
    std::string m_reason;
    bool m_stopping = false;
    std::thread m_thread;  // started with the first block
};
