// The settings file reader against a plain reading of its layout: a tab number 0..5, a
// separator, protected sources up to a separator, one dropped line, script names up to a
// separator, one dropped line, the delay, two dropped lines, the folder. A file that ends
// early gives what it holds; a last line cut between CR and LF counts as ended.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "platform/Numbers.h"
#include "host/UserSettingsFile.h"

using namespace brimlow;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<RestoredSettings> got = ReadUserSettings(bytes);

    std::string trimmed = bytes;
    if (!trimmed.empty() && trimmed.back() == '\r')
        trimmed.pop_back();
    const auto lines = fuzz::PlainLines(trimmed);
    const auto tab = lines.empty() ? std::nullopt : NumericValue(lines[0]);
    const bool accepted = tab && RoundHalfEven(*tab) >= 0 && RoundHalfEven(*tab) <= 5;
    FUZZ_CHECK(got.has_value() == accepted);
    if (!accepted)
        return 0;

    std::size_t i = 1;
    const auto skip = [&](std::size_t n) {
        if (i + n > lines.size())
            return false;
        i += n;
        return true;
    };
    const auto list = [&](std::vector<std::string>& out) {
        while (i < lines.size() && lines[i] != "\x01")
            out.push_back(lines[i++]);
        skip(1);  // the closing separator, when there is one
    };
    std::vector<std::string> cookies, scripts;
    std::optional<std::string> delay, folder;
    if (skip(1)) {
        list(cookies);
        if (skip(1)) {
            list(scripts);
            if (skip(1) && i < lines.size()) {
                delay = lines[i++];
                if (skip(2) && i < lines.size())
                    folder = lines[i];
            }
        }
    }

    FUZZ_CHECK(got->protectedCookies == cookies);
    FUZZ_CHECK(got->selectedScripts == scripts);
    FUZZ_CHECK(got->delay == delay);
    FUZZ_CHECK(got->bleachFolder == folder);
    return 0;
}
