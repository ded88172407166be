#include "platform/WorkingFolderLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace brimlow {

WorkingFolderLock::~WorkingFolderLock()
{
    Release();
}

WorkingFolderLock::Result WorkingFolderLock::Acquire(const std::filesystem::path& folder)
{
    Release();
    m_error = 0;
    int fd = -1;
    do {
        fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_error = errno;
        return Result::Unavailable;
    }
    int rc = 0;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int e = errno;
        ::close(fd);
        if (e == EWOULDBLOCK)
            return Result::HeldByAnother;
        m_error = e;
        return Result::Unavailable;
    }
    m_fd = fd;
    return Result::Acquired;
}

void WorkingFolderLock::Release() noexcept
{
    if (m_fd >= 0) {
        ::close(m_fd);  // closing the only handle drops the lock
        m_fd = -1;
    }
}

}  // namespace brimlow
