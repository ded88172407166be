#pragma once
// Writing a whole buffer to a file descriptor: write() may take part of it, or be broken off
// by a signal before it takes anything; both mean "go on", not failure.
#include <cerrno>
#include <cstddef>
#include <string_view>
#include <unistd.h>

namespace brimlow::posix {

// Writes every byte of `data`; false, with errno telling why, when a write fails.
inline bool WriteAll(int fd, std::string_view data) noexcept
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace brimlow::posix
