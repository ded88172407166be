#include "platform/Errors.h"

#include <cerrno>
#include <cstring>

namespace brimlow {

int ErrorNumberFromErrno(int e) noexcept
{
    switch (e) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EBUSY:
    case ETXTBSY:
        return err::PermissionDenied;
    case ENOENT:
        return err::FileNotFound;
    case ENOTDIR:
        return err::PathNotFound;
    case ENOSPC:
    case EDQUOT:
        return err::DiskFull;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
        return err::DeviceUnavailable;
    case EIO:
        return err::DeviceIo;
    case EISDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return err::PathFileAccess;
    case EOVERFLOW:
    case EFBIG:
        return err::Overflow;
    default:
        return err::Unknown;
    }
}

RuntimeError::RuntimeError(int number, const std::string& what) : std::runtime_error(what), m_number(number) {}

RuntimeError RuntimeError::FromErrno(int e, const std::string& context)
{
    return RuntimeError(ErrorNumberFromErrno(e), context + ": " + std::strerror(e));
}

}  // namespace brimlow
