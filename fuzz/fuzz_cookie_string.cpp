// The live cookie text splitter against a plain reading: one slot per ";"-separated part,
// the name before the first "=" and the value after it, each without blanks at its ends;
// the error text gives three slots of which only the second holds it; every slot but those
// of the error text is looked at.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "cookies/MCookieEditor.h"

using namespace brimlow;

namespace {

std::string Trim(const std::string& s)
{
    const std::size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos)
        return std::string();
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const LiveCookieTable got = SplitCookieString(text);

    if (text == kCookieErrorText) {
        FUZZ_CHECK(got.entries.size() == 3 && got.scanned == 2);
        FUZZ_CHECK(got.entries[1].Name == kCookieErrorText && got.entries[1].Value == kCookieErrorText);
        return 0;
    }
    std::vector<std::string> parts;
    if (!text.empty()) {
        std::string part;
        for (char c : text) {
            if (c == ';') {
                parts.push_back(part);
                part.clear();
            } else {
                part += c;
            }
        }
        parts.push_back(part);
    }
    FUZZ_CHECK(got.entries.size() == parts.size());
    FUZZ_CHECK(got.scanned == parts.size());
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const std::size_t eq = parts[k].find('=');
        const std::string name = Trim(parts[k].substr(0, eq));
        const std::string value = eq == std::string::npos ? std::string() : Trim(parts[k].substr(eq + 1));
        FUZZ_CHECK(got.entries[k].Name == name);
        FUZZ_CHECK(got.entries[k].Value == value);
    }
    return 0;
}
