#pragma once
// FILETIME values (100 ns ticks since 1601-01-01 00:00 UTC) and their UTC calendar dates.
#include <chrono>
#include <cstdint>
#include <optional>

namespace brimlow {

struct SystemTime {
    int year = 1601;
    int month = 1;      // 1..12
    int dayOfWeek = 1;  // 0 Sunday .. 6 Saturday
    int day = 1;        // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

inline constexpr std::uint64_t kTicksPerSecond = 10'000'000ULL;
// Seconds from 1601-01-01 to 1970-01-01.
inline constexpr std::int64_t kFileTimeUnixOffsetSeconds = 11'644'473'600LL;

// The UTC calendar time of a FILETIME. Values with the top bit set are refused, as the
// system call refuses them.
std::optional<SystemTime> FileTimeToSystemTime(std::uint64_t fileTime) noexcept;
// The FILETIME of a UTC calendar time (day of week ignored); nothing for dates before 1601.
std::optional<std::uint64_t> SystemTimeToFileTime(const SystemTime& st) noexcept;

// The FILETIME of a UTC date and time of day; nothing for dates before 1601 or out of range.
std::optional<std::uint64_t> FileTimeFromUtc(int year, int month, int day, int hour = 0, int minute = 0,
                                             int second = 0) noexcept;

std::uint64_t FileTimeFromUnixSeconds(std::int64_t seconds) noexcept;
std::int64_t UnixSecondsFromFileTime(std::uint64_t fileTime) noexcept;
std::uint64_t FileTimeFromTimePoint(std::chrono::system_clock::time_point tp) noexcept;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) noexcept;
void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) noexcept;

}  // namespace brimlow
