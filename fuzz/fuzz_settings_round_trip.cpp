// The settings file written, then read back: every value the writer takes comes back as it
// was, in its place. A value that no line can hold (a list entry that holds a line end or is
// the separator itself, a text that holds a line end) is one the writer leaves out (an
// entry) or writes empty (a text); a tab number outside 0..5 is written as 0.
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "host/UserSettingsFile.h"

using namespace brimlow;

namespace {

bool FitsALine(const std::string& s)
{
    return s.find('\n') == std::string::npos;
}

std::vector<std::string> Entries(FuzzedDataProvider& in)
{
    std::vector<std::string> out(in.ConsumeIntegralInRange<std::size_t>(0, 4));
    for (auto& e : out)
        e = in.ConsumeRandomLengthString(24);
    return out;
}

std::vector<std::string> Storable(const std::vector<std::string>& entries)
{
    std::vector<std::string> out;
    for (const auto& e : entries)
        if (FitsALine(e) && e != kSettingsSeparator)
            out.push_back(e);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    UserSettings s;
    s.tab = in.ConsumeBool() ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange(0, 5);
    s.protectedCookies = Entries(in);
    s.checkedScripts = Entries(in);
    s.delay = in.ConsumeRandomLengthString(24);
    s.bleachFolder = in.ConsumeRandomLengthString(24);

    const std::optional<RestoredSettings> back = ReadUserSettings(UserSettingsText(s));
    FUZZ_CHECK(back.has_value());
    FUZZ_CHECK(back->protectedCookies == Storable(s.protectedCookies));
    FUZZ_CHECK(back->selectedScripts == Storable(s.checkedScripts));
    FUZZ_CHECK(back->delay == (FitsALine(s.delay) ? s.delay : std::string()));
    FUZZ_CHECK(back->bleachFolder == (FitsALine(s.bleachFolder) ? s.bleachFolder : std::string()));
    return 0;
}
