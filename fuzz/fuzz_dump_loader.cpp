// The cache dump loader against a plain reading of the dump format: five value lines, a
// separator line, header lines up to the line that is exactly "@"; a file that ends inside
// a record keeps the records before it.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "cachebrowser/MUrlHound.h"

using namespace brimlow;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::MemoryFile file;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    file.Set(bytes);
    const CacheDump got = ReadCacheDump(file.path());

    struct Record {
        std::string Source, Location, HitRate, Expires, Accessed, Header;
    };
    const auto lines = fuzz::PlainLines(bytes);
    std::vector<Record> want;
    std::size_t i = 0;
    while (i + 6 <= lines.size()) {
        Record r{lines[i], lines[i + 1], lines[i + 2], lines[i + 3], lines[i + 4], "\r\n"};
        std::size_t h = i + 6;
        while (h < lines.size() && lines[h] != "@")
            r.Header += lines[h++] + "\r\n";
        if (h == lines.size())
            break;
        want.push_back(r);
        i = h + 1;
    }

    FUZZ_CHECK(got.size() == want.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
        FUZZ_CHECK(got[k].Source == want[k].Source);
        FUZZ_CHECK(got[k].Location == want[k].Location);
        FUZZ_CHECK(got[k].HitRate == want[k].HitRate);
        FUZZ_CHECK(got[k].Expires == want[k].Expires);
        FUZZ_CHECK(got[k].Accessed == want[k].Accessed);
        FUZZ_CHECK(got[k].Header == want[k].Header);
    }
    return 0;
}
