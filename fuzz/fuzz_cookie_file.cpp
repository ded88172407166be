// The cookie file reader against a plain reading of the format: a name line, a value line,
// then lines up to one that is exactly "*" (a value "*" ends the record at once); a record
// cut short by the end of the file keeps what it holds.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "cookies/MCookieEditor.h"

using namespace brimlow;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::MemoryFile file;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    file.Set(bytes);
    LoadCookieFile(file.path());
    const std::vector<FileCookie>& got = FileCookies();

    const auto lines = fuzz::PlainLines(bytes);
    std::vector<FileCookie> want;
    for (std::size_t i = 0; i < lines.size();) {
        FileCookie c{lines[i], i + 1 < lines.size() ? lines[i + 1] : std::string()};
        std::size_t end = i + 1;
        while (end < lines.size() && lines[end] != "*")
            ++end;
        want.push_back(c);
        i = end + 1;
    }

    FUZZ_CHECK(got.size() == want.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
        FUZZ_CHECK(got[k].Name == want[k].Name);
        FUZZ_CHECK(got[k].Value == want[k].Value);
    }
    return 0;
}
