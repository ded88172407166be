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
