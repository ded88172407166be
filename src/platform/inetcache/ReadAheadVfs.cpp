#include "platform/inetcache/ReadAheadVfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/inetcache/ReadAheadThread.h"

namespace brimlow::inetcache::sqlite {

namespace {

// One read of this size serves the next 128 page reads of a walk. It and the chunk read
// after it are the only memory the layer adds to a connection.
constexpr sqlite3_int64 kAheadBytes = 512 * 1024;

struct AheadFile {
    sqlite3_file base;
    sqlite3_file* real;     // the engine's own file, in the memory right after this one
    char* ahead;            // kAheadBytes, or none: every read then goes straight through
    sqlite3_int64 start;    // the file offset of ahead[0]
    sqlite3_int64 length;   // the bytes of the file held; 0 when none is
    sqlite3_int64 lastEnd;  // where the engine's last read ended; -1 at the start of a transaction
    unsigned generation;    // counts the transactions, so that nothing read in one serves the next
    unsigned chunks;        // read in this transaction
    const char* name;       // the engine's, good until the close
    ReadAheadThread* next;  // reads the chunk after `ahead` once a walk streams; none when it could not be had
    bool noReader;          // none could be had
};

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;

AheadFile* Of(sqlite3_file* f)
{
    return reinterpret_cast<AheadFile*>(f);
}

const sqlite3_io_methods& Real(sqlite3_file* f)
{
    return *Of(f)->real->pMethods;
}

void Drop(sqlite3_file* f)
{
    AheadFile* a = Of(f);
    a->length = 0;
    a->lastEnd = -1;
    a->chunks = 0;
    ++a->generation;
}

// A lookup reads a chunk or so; a walk reads on chunk after chunk, and from its second on
// has the next one read meanwhile.
ReadAheadThread* ReaderFor(AheadFile* a)
{
    if (!a->next && !a->noReader && a->chunks >= 2) {
        a->next = ReadAheadThread::Open(a->name, static_cast<std::size_t>(kAheadBytes)).release();
        a->noReader = !a->next;
    }
    return a->next;
}

int Close(sqlite3_file* f)
{
    AheadFile* a = Of(f);
    delete a->next;  // waits for a read under way
    a->next = nullptr;
    const int rc = a->real->pMethods ? a->real->pMethods->xClose(a->real) : SQLITE_OK;
    std::free(a->ahead);
    a->ahead = nullptr;
    a->length = 0;
    return rc;
}

int Read(sqlite3_file* f, void* out, int amount, sqlite3_int64 offset)
{
    AheadFile* a = Of(f);
    if (a->length > 0 && offset >= a->start && offset + amount <= a->start + a->length) {
        std::memcpy(out, a->ahead + (offset - a->start), static_cast<std::size_t>(amount));
        a->lastEnd = offset + amount;
        return SQLITE_OK;
    }
    // A walk reads on through the file, passing over the pages of the other tree that lie
    // between its own; a read behind the last one, or far ahead of it, is a page of the
    // tree's upper levels or a lookup, and goes straight through, so the chunk stays.
    const bool onward = a->lastEnd >= 0 && offset >= a->lastEnd && offset - a->lastEnd < kAheadBytes;
    a->lastEnd = offset + amount;
    sqlite3_int64 size = 0;
    if (!a->ahead || !onward || amount <= 0 || amount >= kAheadBytes / 4 ||
        Real(f).xFileSize(a->real, &size) != SQLITE_OK || offset + amount > size) {
        // A read past the end gets the engine's own short read and zeros.
        return Real(f).xRead(a->real, out, amount, offset);
    }
    std::int64_t start = 0;
    std::size_t length = 0;
    if (a->next && a->next->Take(offset, a->generation, a->ahead, start, length) &&
        start + static_cast<sqlite3_int64>(length) <= size) {
        a->start = start;
        a->length = static_cast<sqlite3_int64>(length);
    } else {
        const sqlite3_int64 n = std::min(kAheadBytes, size - offset);
        a->length = 0;
        if (Real(f).xRead(a->real, a->ahead, static_cast<int>(n), offset) != SQLITE_OK)
            return Real(f).xRead(a->real, out, amount, offset);  // the engine's answer for the page itself
        a->start = offset;
        a->length = n;
    }
    ++a->chunks;
    if (ReadAheadThread* next = ReaderFor(a)) {
        const sqlite3_int64 after = a->start + a->length;
        next->Ask(after, static_cast<std::size_t>(std::max<sqlite3_int64>(0, std::min(kAheadBytes, size - after))),
                   a->generation);
    }
    std::memcpy(out, a->ahead + (offset - a->start), static_cast<std::size_t>(amount));
    return SQLITE_OK;
}

int Write(sqlite3_file* f, const void* in, int amount, sqlite3_int64 offset)
{
    Drop(f);
    return Real(f).xWrite(Of(f)->real, in, amount, offset);
}

int Truncate(sqlite3_file* f, sqlite3_int64 size)
{
    Drop(f);
    return Real(f).xTruncate(Of(f)->real, size);
}

int Sync(sqlite3_file* f, int flags)
{
    return Real(f).xSync(Of(f)->real, flags);
}

int FileSize(sqlite3_file* f, sqlite3_int64* size)
{
    return Real(f).xFileSize(Of(f)->real, size);
}

// A transaction begins or ends at each of these: what was read ahead may be old after it.
int Lock(sqlite3_file* f, int level)
{
    Drop(f);
    return Real(f).xLock(Of(f)->real, level);
}

int Unlock(sqlite3_file* f, int level)
{
    Drop(f);
    return Real(f).xUnlock(Of(f)->real, level);
}

int CheckReservedLock(sqlite3_file* f, int* out)
{
    return Real(f).xCheckReservedLock(Of(f)->real, out);
}

int FileControl(sqlite3_file* f, int op, void* arg)
{
    return Real(f).xFileControl(Of(f)->real, op, arg);
}

int SectorSize(sqlite3_file* f)
{
    return Real(f).xSectorSize(Of(f)->real);
}

int DeviceCharacteristics(sqlite3_file* f)
{
    return Real(f).xDeviceCharacteristics(Of(f)->real);
}

int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out)
{
    if (Real(f).iVersion < 2)
        return SQLITE_IOERR_SHMMAP;
    return Real(f).xShmMap(Of(f)->real, region, size, extend, out);
}

int ShmLock(sqlite3_file* f, int offset, int n, int flags)
{
    Drop(f);
    if (Real(f).iVersion < 2)
        return SQLITE_IOERR_SHMLOCK;
    return Real(f).xShmLock(Of(f)->real, offset, n, flags);
}

void ShmBarrier(sqlite3_file* f)
{
    Drop(f);
    if (Real(f).iVersion >= 2)
        Real(f).xShmBarrier(Of(f)->real);
}

int ShmUnmap(sqlite3_file* f, int deleteFlag)
{
    Drop(f);
    if (Real(f).iVersion < 2)
        return SQLITE_OK;
    return Real(f).xShmUnmap(Of(f)->real, deleteFlag);
}

int Fetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out)
{
    *out = nullptr;
    if (Real(f).iVersion < 3)
        return SQLITE_OK;
    return Real(f).xFetch(Of(f)->real, offset, amount, out);
}

int Unfetch(sqlite3_file* f, sqlite3_int64 offset, void* p)
{
    if (Real(f).iVersion < 3)
        return SQLITE_OK;
    return Real(f).xUnfetch(Of(f)->real, offset, p);
}

const sqlite3_io_methods kMethods = {
    3,         Close,      Read,     Write,  Truncate,          Sync,       FileSize,
    Lock,      Unlock,     CheckReservedLock, FileControl,    SectorSize, DeviceCharacteristics,
    ShmMap,    ShmLock,    ShmBarrier,        ShmUnmap,       Fetch,      Unfetch,
};

int Open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags)
{
    // The journal, the log and every other file are the engine's own, unwrapped.
    if (!(flags & SQLITE_OPEN_MAIN_DB))
        return g_real->xOpen(g_real, name, f, flags, outFlags);
    AheadFile* a = Of(f);
    a->real = reinterpret_cast<sqlite3_file*>(a + 1);
    a->ahead = nullptr;
    a->start = 0;
    a->length = 0;
    a->lastEnd = -1;
    a->generation = 0;
    a->chunks = 0;
    a->name = name;
    a->next = nullptr;
    a->noReader = !name;
    a->real->pMethods = nullptr;
    const int rc = g_real->xOpen(g_real, name, a->real, flags, outFlags);
    if (!a->real->pMethods) {
        a->base.pMethods = nullptr;
        return rc;
    }
    a->ahead = static_cast<char*>(std::malloc(static_cast<std::size_t>(kAheadBytes)));
    a->base.pMethods = &kMethods;
    return rc;
}

}  // namespace

const char* ReadAheadVfsName()
{
    static std::once_flag once;
    static const char* name = nullptr;
    std::call_once(once, [] {
        g_real = sqlite3_vfs_find(nullptr);
        if (!g_real)
            return;  // no layer of its own: the engine's default
        g_vfs = *g_real;
        g_vfs.pNext = nullptr;
        g_vfs.szOsFile = static_cast<int>(sizeof(AheadFile)) + g_real->szOsFile;
        g_vfs.zName = "brimlow-read-ahead";
        g_vfs.xOpen = Open;
        if (sqlite3_vfs_register(&g_vfs, 0) == SQLITE_OK)
            name = g_vfs.zName;
    });
    return name;
}

}  // namespace brimlow::inetcache::sqlite
