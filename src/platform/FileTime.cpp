#include "platform/FileTime.h"

namespace brimlow {

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) noexcept
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) noexcept
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

std::optional<SystemTime> FileTimeToSystemTime(std::uint64_t fileTime) noexcept
{
    if (fileTime >> 63)
        return std::nullopt;
    const std::uint64_t totalSeconds = fileTime / kTicksPerSecond;
    const std::uint64_t subTicks = fileTime % kTicksPerSecond;
    const std::int64_t days1601 = static_cast<std::int64_t>(totalSeconds / 86400);
    const std::uint64_t secOfDay = totalSeconds % 86400;
    // 1601-01-01 is 134774 days before 1970-01-01.
    const std::int64_t unixDays = days1601 - 134774;
    std::int64_t y;
    unsigned m, d;
    CivilFromDays(unixDays, y, m, d);
    SystemTime st;
    st.year = static_cast<int>(y);
    st.month = static_cast<int>(m);
    st.day = static_cast<int>(d);
    // 1601-01-01 was a Monday.
    st.dayOfWeek = static_cast<int>((days1601 + 1) % 7);
    st.hour = static_cast<int>(secOfDay / 3600);
    st.minute = static_cast<int>(secOfDay / 60 % 60);
    st.second = static_cast<int>(secOfDay % 60);
    st.milliseconds = static_cast<int>(subTicks / 10000);
    return st;
}

std::optional<std::uint64_t> SystemTimeToFileTime(const SystemTime& st) noexcept
{
    if (st.year < 1601 || st.month < 1 || st.month > 12 || st.day < 1 || st.day > 31)
        return std::nullopt;
    const std::int64_t days = DaysFromCivil(st.year, static_cast<unsigned>(st.month), static_cast<unsigned>(st.day));
    const std::int64_t seconds = (days + 134774) * 86400 + st.hour * 3600 + st.minute * 60 + st.second;
    if (seconds < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(seconds) * kTicksPerSecond + static_cast<std::uint64_t>(st.milliseconds) * 10000;
}

std::optional<std::uint64_t> FileTimeFromUtc(int year, int month, int day, int hour, int minute, int second) noexcept
{
    SystemTime st;
    st.year = year;
    st.month = month;
    st.day = day;
    st.hour = hour;
    st.minute = minute;
    st.second = second;
    return SystemTimeToFileTime(st);
}

std::uint64_t FileTimeFromUnixSeconds(std::int64_t seconds) noexcept
{
    const std::int64_t s = seconds + kFileTimeUnixOffsetSeconds;
    return s <= 0 ? 0 : static_cast<std::uint64_t>(s) * kTicksPerSecond;
}

std::int64_t UnixSecondsFromFileTime(std::uint64_t fileTime) noexcept
{
    return static_cast<std::int64_t>(fileTime / kTicksPerSecond) - kFileTimeUnixOffsetSeconds;
}

std::uint64_t FileTimeFromTimePoint(std::chrono::system_clock::time_point tp) noexcept
{
    using namespace std::chrono;
    const auto ticks = duration_cast<duration<std::int64_t, std::ratio<1, 10'000'000>>>(tp.time_since_epoch()).count();
    const std::int64_t ft = ticks + kFileTimeUnixOffsetSeconds * static_cast<std::int64_t>(kTicksPerSecond);
    return ft <= 0 ? 0 : static_cast<std::uint64_t>(ft);
}

}  // namespace brimlow
