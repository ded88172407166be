#include <cerrno>
#include <gtest/gtest.h>

#include "platform/Errors.h"

using namespace brimlow;

TEST(ErrorNumbers, ErrnoTable)
{
    const std::pair<int, int> cases[] = {
        {EACCES, 70}, {EPERM, 70}, {EROFS, 70}, {EBUSY, 70}, {ETXTBSY, 70},
        {ENOENT, 53}, {ENOTDIR, 76}, {ENOSPC, 61}, {EDQUOT, 61},
        {ENXIO, 68}, {ENODEV, 68}, {ENOMEDIUM, 68}, {EIO, 57},
        {EISDIR, 75}, {ENAMETOOLONG, 75}, {ELOOP, 75}, {EOVERFLOW, 6},
        {EINVAL, 5}, {EMFILE, 5},
    };
    for (auto [e, n] : cases)
        EXPECT_EQ(ErrorNumberFromErrno(e), n) << "errno " << e;
}

#include "platform/FileTime.h"

TEST(FileTime, CalendarDatesAreUtc)
{
    struct Case {
        std::uint64_t ft;
        int y, m, d, h, dow;
    } cases[] = {
        {0, 1601, 1, 1, 0, 1},
        {FileTimeFromUnixSeconds(0), 1970, 1, 1, 0, 4},
        {FileTimeFromUnixSeconds(983750400), 2001, 3, 5, 0, 1},        // 2001-03-05 00:00 UTC
        {FileTimeFromUnixSeconds(983750400 - 1), 2001, 3, 4, 23, 0},
        {FileTimeFromUnixSeconds(951782400), 2000, 2, 29, 0, 2},       // leap day
        {FileTimeFromUnixSeconds(253402214400), 9999, 12, 31, 0, 5},
    };
    for (const auto& c : cases) {
        auto st = FileTimeToSystemTime(c.ft);
        ASSERT_TRUE(st.has_value());
        EXPECT_EQ(st->year, c.y);
        EXPECT_EQ(st->month, c.m);
        EXPECT_EQ(st->day, c.d);
        EXPECT_EQ(st->hour, c.h);
        EXPECT_EQ(st->dayOfWeek, c.dow) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(SystemTimeToFileTime(*st).value(), c.ft - c.ft % 10000);
    }
    EXPECT_FALSE(FileTimeToSystemTime(0x8000000000000000ULL).has_value());
}
