// The cookie dump loader against a plain reading of the dump format: source, file, hit
// rate, expiry and access lines, a separator, header lines up to the line "@"; an expiry
// that is no M/D/YYYY date of the calendar becomes "12/31/9999"; a file that ends inside a
// record keeps the records before it.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "cookies/MCookieEditor.h"

using namespace brimlow;

namespace {

bool PlainDate(const std::string& s)
{
    int part[3] = {0, 0, 0};
    std::size_t digits[3] = {0, 0, 0};
    int p = 0;
    for (char c : s) {
        if (c == '/') {
            if (++p > 2)
                return false;
        } else if (c >= '0' && c <= '9') {
            if (++digits[p] > 4)
                return false;
            part[p] = part[p] * 10 + (c - '0');
        } else {
            return false;
        }
    }
    if (p != 2 || digits[0] < 1 || digits[0] > 2 || digits[1] < 1 || digits[1] > 2 || digits[2] != 4)
        return false;
    const int m = part[0], d = part[1], y = part[2];
    if (y == 0 || m < 1 || m > 12 || d < 1)
        return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The loader reads the dump of a working folder: one of the fuzzer's own, made once and
    // removed when the fuzzer ends.
    static const struct Folder {
        Platform platform;
        Folder()
        {
            char folder[] = "/tmp/fuzz-cookie-dump-XXXXXX";
            if (!::mkdtemp(folder))
                std::abort();
            platform.programFolder = folder;
        }
        ~Folder()
        {
            std::error_code ec;
            std::filesystem::remove_all(platform.programFolder, ec);
        }
    } working;
    const Platform& platform = working.platform;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::ofstream(platform.programFolder / "OrlinCookie.dat", std::ios::binary | std::ios::trunc) << bytes;
    const DumpLoad outcome = LoadCookieDump(platform);
    const std::vector<CookieEntry>& got = CookieEntries();

    const auto lines = fuzz::PlainLines(bytes);
    struct Plain {
        std::string Source, FileName, Expires, Accessed;
    };
    std::vector<Plain> want;
    std::size_t i = 0;
    bool cut = false;
    while (i < lines.size()) {
        std::size_t h = i + 6;
        while (h < lines.size() && lines[h] != "@")
            ++h;
        if (i + 6 > lines.size() || h == lines.size()) {
            cut = true;
            break;
        }
        want.push_back({lines[i], lines[i + 1], PlainDate(lines[i + 3]) ? lines[i + 3] : "12/31/9999", lines[i + 4]});
        i = h + 1;
    }

    FUZZ_CHECK(outcome == (cut ? DumpLoad::Truncated : DumpLoad::Complete));
    FUZZ_CHECK(got.size() == want.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
        FUZZ_CHECK(got[k].Source == want[k].Source);
        FUZZ_CHECK(got[k].FileName == want[k].FileName);
        FUZZ_CHECK(got[k].Expires == want[k].Expires);
        FUZZ_CHECK(got[k].Accessed == want[k].Accessed);
    }
    return 0;
}
