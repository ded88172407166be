// The text reader: every line and the rest of the file, against a plain split of the bytes.
// The input is put behind a run of padding whose length the first byte picks, so that lines
// straddle the reader's 64 KiB buffer.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "platform/TextFile.h"

using namespace brimlow;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::MemoryFile file;
    std::string bytes;
    if (size > 0 && (data[0] & 1)) {
        bytes.assign((1u << 16) - 64 + data[0] / 2, 'x');
        bytes.push_back('\n');
    }
    bytes.append(reinterpret_cast<const char*>(data), size);
    file.Set(bytes);

    const auto expected = fuzz::PlainLines(bytes);
    textfile::LineReader in(file.path());
    std::size_t n = 0;
    std::string line;
    // Half the lines are read, then ReadAll must give back exactly the bytes after them.
    const std::size_t half = expected.size() / 2;
    std::size_t consumed = 0;
    while (n < half) {
        FUZZ_CHECK(!in.AtEndOfStream());
        FUZZ_CHECK(in.ReadLine(line));
        FUZZ_CHECK(line == expected[n]);
        const std::size_t lf = bytes.find('\n', consumed);
        consumed = lf == std::string::npos ? bytes.size() : lf + 1;
        ++n;
    }
    FUZZ_CHECK(in.ReadAll() == bytes.substr(consumed));
    FUZZ_CHECK(in.AtEndOfStream());
    FUZZ_CHECK(!in.ReadLine(line));

    textfile::LineReader again(file.path());
    for (const auto& want : expected) {
        FUZZ_CHECK(again.ReadLine(line));
        FUZZ_CHECK(line == want);
    }
    FUZZ_CHECK(again.AtEndOfStream());
    return 0;
}
