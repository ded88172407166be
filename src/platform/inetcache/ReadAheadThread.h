#pragma once
// The chunk of the index file after the one a walk is working through, read by a thread of
// its own meanwhile, so that the walk finds it read when it gets there: reading the file
// took a third of a walk's time, and the walk waited for each chunk.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace brimlow::inetcache::sqlite {

class ReadAheadThread {
public:
    // A reader of chunks of up to `chunkBytes` of the regular file `name`, read through a
    // descriptor of its own; nothing when the file cannot be opened or there is no memory.
    static std::unique_ptr<ReadAheadThread> Open(const char* name, std::size_t chunkBytes) noexcept;
    ~ReadAheadThread();
    ReadAheadThread(const ReadAheadThread&) = delete;
    ReadAheadThread& operator=(const ReadAheadThread&) = delete;

    // Starts reading [start, start + length) for the read transaction `generation`, once
    // the chunk asked before is in. Nothing happens when no thread can be started.
    void Ask(std::int64_t start, std::size_t length, unsigned generation) noexcept;
    // When the chunk asked last holds `offset`, was asked in `generation` and was read
    // whole: waits for it, swaps it with `buffer` (which must be as large) and gives its
    // place in the file. False otherwise; the buffer is then untouched.
    bool Take(std::int64_t offset, unsigned generation, char*& buffer, std::int64_t& start,
              std::size_t& length) noexcept;

private:
    ReadAheadThread(int fd, char* buffer) : m_fd(fd), m_buffer(buffer) {}
    void Run() noexcept;
    void WaitIdle(std::unique_lock<std::mutex>& lock) noexcept;

    const int m_fd;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;   // started at the first Ask
    bool m_broken = false;  // no thread could be started
    char* m_buffer;
    std::int64_t m_start = -1;  // of the chunk asked last; -1 when there is none
    std::size_t m_length = 0;
    unsigned m_generation = 0;
    bool m_busy = false;  // being read
    bool m_whole = false;
    bool m_stop = false;
};

}  // namespace brimlow::inetcache::sqlite
