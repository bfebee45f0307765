#include "background_writer.h"

#include <utility>

BackgroundWriter::~BackgroundWriter() {
    if (!m_thread.joinable()) return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void BackgroundWriter::Start(const char* data, std::size_t size) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_data = data;
        m_size = size;
        m_busy = true;
    }
    if (!m_thread.joinable()) {
        m_thread = std::thread(&BackgroundWriter::WriteBlocks, this);
    } else {
        m_changed.notify_all();
    }
}

bool BackgroundWriter::Wait(std::string& reason) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_busy; });
    if (!m_failed) return true;
    reason = m_reason;
    return false;
}

void BackgroundWriter::WriteBlocks() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        // A block waiting is written even when stopping: it was promised.
        m_changed.wait(lock, [this] { return m_data != nullptr || m_stopping; });
        if (m_data == nullptr) return;
        const char* const data = std::exchange(m_data, nullptr);
        const std::size_t size = m_size;
        lock.unlock();
        const bool written = m_file.Write(data, size);
        // The reason is the writing thread's own to read.
        std::string reason = written ? std::string() : LastSystemErrorText();
        lock.lock();
        if (!written && !m_failed) {
            m_failed = true;
            m_reason = std::move(reason);
        }
        m_busy = false;
        m_changed.notify_all();
    }
}
