// The store's cookie date parser against the plain reading of its result: a date it accepts
// is a whole second of a valid calendar day from 1601 on, and written back in the standard
// cookie form ("Wdy, DD Mon YYYY HH:MM:SS GMT") it reads as the very same instant.
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "platform/FileTime.h"
#include "platform/inetcache/CookieDates.h"

using namespace brimlow;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto t = inetcache::detail::ParseCookieDate(text);
    if (!t)
        return 0;
    FUZZ_CHECK(*t % 10000000 == 0);  // cookie dates have no fraction of a second
    const auto st = FileTimeToSystemTime(*t);
    FUZZ_CHECK(st.has_value());
    FUZZ_CHECK(st->year >= 1601 && st->month >= 1 && st->month <= 12 && st->day >= 1 && st->day <= 31);
    FUZZ_CHECK(st->hour <= 23 && st->minute <= 59 && st->second <= 59);
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char again[64];
    std::snprintf(again, sizeof again, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[st->dayOfWeek],
                  st->day, kMonths[st->month - 1], st->year, st->hour, st->minute, st->second);
    const auto back = inetcache::detail::ParseCookieDate(again);
    FUZZ_CHECK(back.has_value() && *back == *t);
    return 0;
}
