#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace brimlow::fuzz {

void Fail(const char* file, int line, const char* what)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

MemoryFile::MemoryFile()
{
    m_fd = ::memfd_create("fuzz-input", MFD_CLOEXEC);
    if (m_fd < 0)
        Fail(__FILE__, __LINE__, "memfd_create");
    m_path = "/proc/self/fd/" + std::to_string(m_fd);
}

MemoryFile::~MemoryFile()
{
    ::close(m_fd);
}

void MemoryFile::Set(std::string_view bytes)
{
    if (::ftruncate(m_fd, 0) != 0 || ::pwrite(m_fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
        Fail(__FILE__, __LINE__, "writing the memory file");
}

std::vector<std::string> PlainLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t lf = bytes.find('\n', start);
        if (lf == std::string_view::npos) {
            lines.emplace_back(bytes.substr(start));
            break;
        }
        std::string_view line = bytes.substr(start, lf - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        start = lf + 1;
    }
    return lines;
}

}  // namespace brimlow::fuzz
