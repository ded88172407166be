#pragma once
// Helpers for the fuzz targets: a check that aborts with a message (so libFuzzer keeps the
// input that broke it), and a file in memory for parsers that read a path.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace brimlow::fuzz {

[[noreturn]] void Fail(const char* file, int line, const char* what);

#define FUZZ_CHECK(cond)                                           \
    do {                                                           \
        if (!(cond))                                               \
            ::brimlow::fuzz::Fail(__FILE__, __LINE__, #cond);      \
    } while (0)

// An anonymous file (memfd) whose contents each call replaces; path() opens it afresh from
// its first byte, as a parser that takes a path does.
class MemoryFile {
public:
    MemoryFile();
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    void Set(std::string_view bytes);
    const std::filesystem::path& path() const { return m_path; }

private:
    int m_fd = -1;
    std::filesystem::path m_path;
};

// The lines of `bytes` as the format's readers see them: split at LF, one CR right before
// the LF dropped, a last piece without LF a line of its own when it is not empty.
std::vector<std::string> PlainLines(std::string_view bytes);

}  // namespace brimlow::fuzz
