#pragma once
// The file calls DestroyFile makes, behind function pointers so that tests can watch (and,
// where a fault must be staged, replace) them. The program never changes them: they are the
// real POSIX calls. Not part of the module's interface.
#include <cstddef>
#include <sys/stat.h>
#include <sys/types.h>

namespace brimlow::bleach_detail {

struct FileOps {
    int (*open)(const char* path, int flags);
    int (*fstat)(int fd, struct stat* st);
    ssize_t (*pwrite)(int fd, const void* buf, size_t count, off_t offset);
    int (*fdatasync)(int fd);
    int (*close)(int fd);
    int (*unlink)(const char* path);
};

// The real calls.
FileOps RealFileOps();

// The calls DestroyFile uses; tests assign to it and put RealFileOps() back.
FileOps& CurrentFileOps();

// Bytes per write call of the overwrite. 256 KiB keeps the source pattern in the CPU cache while
// the kernel copies it; 1 MiB and more measured half as fast, 64 KiB a little slower.
inline constexpr std::size_t kOverwriteChunk = 1u << 18;

}  // namespace brimlow::bleach_detail
