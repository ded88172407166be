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

std::string ErrorNumberInWords(int number)
{
    switch (number) {
    case err::Overflow:
        return "overflow";
    case err::FileNotFound:
        return "file not found";
    case err::DeviceIo:
        return "device I/O error";
    case err::DiskFull:
        return "disk full";
    case err::DeviceUnavailable:
        return "device unavailable";
    case err::PermissionDenied:
        return "permission denied";
    case err::PathFileAccess:
        return "not a regular file";
    case err::PathNotFound:
        return "path not found";
    default:
        return "error " + std::to_string(number);
    }
}

RuntimeError::RuntimeError(int number, const std::string& what) : std::runtime_error(what), m_number(number) {}

RuntimeError RuntimeError::FromErrno(int e, const std::string& context)
{
    return RuntimeError(ErrorNumberFromErrno(e), context + ": " + std::strerror(e));
}

}  // namespace brimlow
