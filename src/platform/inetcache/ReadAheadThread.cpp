#include "platform/inetcache/ReadAheadThread.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace brimlow::inetcache::sqlite {

std::unique_ptr<ReadAheadThread> ReadAheadThread::Open(const char* name, std::size_t chunkBytes) noexcept
{
    // The name the engine opened a moment before; only a regular file is read ahead.
    int fd;
    do {
        fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    char* buffer = nullptr;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !(buffer = static_cast<char*>(std::malloc(chunkBytes)))) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<ReadAheadThread> reader(new (std::nothrow) ReadAheadThread(fd, buffer));
    if (!reader) {
        std::free(buffer);
        ::close(fd);
    }
    return reader;
}

ReadAheadThread::~ReadAheadThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    std::free(m_buffer);
    ::close(m_fd);
}

void ReadAheadThread::WaitIdle(std::unique_lock<std::mutex>& lock) noexcept
{
    m_wake.wait(lock, [this] { return !m_busy; });
}

void ReadAheadThread::Ask(std::int64_t start, std::size_t length, unsigned generation) noexcept
{
    std::unique_lock lock(m_mutex);
    WaitIdle(lock);
    m_start = -1;
    if (m_broken || length == 0)
        return;
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread([this] { Run(); });
        } catch (...) {
            m_broken = true;  // the walk reads each chunk itself, as it would without this
            return;
        }
    }
    m_start = start;
    m_length = length;
    m_generation = generation;
    m_busy = true;
    lock.unlock();
    m_wake.notify_all();
}

bool ReadAheadThread::Take(std::int64_t offset, unsigned generation, char*& buffer, std::int64_t& start,
                       std::size_t& length) noexcept
{
    std::unique_lock lock(m_mutex);
    if (m_start < 0 || offset < m_start || offset - m_start >= static_cast<std::int64_t>(m_length) ||
        generation != m_generation)
        return false;
    WaitIdle(lock);
    const std::int64_t at = std::exchange(m_start, -1);
    if (!m_whole)
        return false;  // the walk's own read reports what went wrong
    std::swap(buffer, m_buffer);
    start = at;
    length = m_length;
    return true;
}

void ReadAheadThread::Run() noexcept
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_busy; });
        if (m_stop)
            return;
        const std::int64_t start = m_start;
        const std::size_t length = m_length;
        char* const into = m_buffer;
        lock.unlock();
        std::size_t got = 0;
        while (got < length) {
            const ssize_t n = ::pread(m_fd, into + got, length - got, static_cast<off_t>(start + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;  // an error, or the file ended early: the chunk is not used
            got += static_cast<std::size_t>(n);
        }
        lock.lock();
        m_whole = got == length;
        m_busy = false;
        m_wake.notify_all();
    }
}

}  // namespace brimlow::inetcache::sqlite
