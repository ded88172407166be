#include "platform/inetcache/ReadAheadVfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace brimlow::inetcache::sqlite {

namespace {

// One read of this size serves the next 64 page reads of a walk. The engine takes the pages
// it reads in place, without copying them into its cache (see Fetch); a piece that still
// holds a page the engine uses is kept until the engine lets go of it, so a walk holds one
// piece, and one more for each level of the tree it keeps a page of (a few in all).
constexpr sqlite3_int64 kAheadBytes = 256 * 1024;

struct Piece {
    char* bytes;           // kAheadBytes
    sqlite3_int64 start;   // the file offset of bytes[0]
    sqlite3_int64 length;  // the bytes of the file held; 0 when none is
    int pages;             // pages of it the engine holds
    Piece* next;           // the list of pieces no longer current that the engine still holds
};

struct AheadFile {
    sqlite3_file base;
    sqlite3_file* real;  // the engine's own file, in the memory right after this one
    Piece* current;      // where reads are served from, or none: every read then goes straight through
    Piece* held;         // older pieces with pages still held
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

Piece* NewPiece()
{
    auto* piece = static_cast<Piece*>(std::malloc(sizeof(Piece)));
    if (!piece)
        return nullptr;
    piece->bytes = static_cast<char*>(std::malloc(static_cast<std::size_t>(kAheadBytes)));
    if (!piece->bytes) {
        std::free(piece);
        return nullptr;
    }
    piece->start = 0;
    piece->length = 0;
    piece->pages = 0;
    piece->next = nullptr;
    return piece;
}

void FreePiece(Piece* piece)
{
    std::free(piece->bytes);
    std::free(piece);
}

void Drop(sqlite3_file* f)
{
    if (Of(f)->current)
        Of(f)->current->length = 0;
}

int Close(sqlite3_file* f)
{
    AheadFile* a = Of(f);
    const int rc = a->real->pMethods ? a->real->pMethods->xClose(a->real) : SQLITE_OK;
    if (a->current)
        FreePiece(a->current);
    a->current = nullptr;
    while (Piece* p = a->held) {
        a->held = p->next;
        FreePiece(p);
    }
    return rc;
}

bool Holds(const Piece* p, sqlite3_int64 offset, int amount)
{
    return p->length > 0 && offset >= p->start && offset + amount <= p->start + p->length;
}

// The current piece, refilled from `offset` on; none when the read cannot be served ahead
// (a read past the end, a large one, no memory, a failed read), which then goes straight through.
Piece* Refill(AheadFile* a, sqlite3_int64 offset, int amount)
{
    sqlite3_int64 size = 0;
    if (!a->current || amount <= 0 || amount >= kAheadBytes / 4 || a->real->pMethods->xFileSize(a->real, &size) != SQLITE_OK ||
        offset + amount > size)
        return nullptr;
    if (a->current->pages > 0) {
        // The engine still reads pages of it: it stays as it is until they are let go.
        Piece* fresh = NewPiece();
        if (!fresh)
            return nullptr;
        a->current->next = a->held;
        a->held = a->current;
        a->current = fresh;
    }
    Piece* p = a->current;
    const sqlite3_int64 n = std::min(kAheadBytes, size - offset);
    p->length = 0;
    if (a->real->pMethods->xRead(a->real, p->bytes, static_cast<int>(n), offset) != SQLITE_OK)
        return nullptr;
    p->start = offset;
    p->length = n;
    return p;
}

int Read(sqlite3_file* f, void* out, int amount, sqlite3_int64 offset)
{
    AheadFile* a = Of(f);
    Piece* p = a->current && Holds(a->current, offset, amount) ? a->current : Refill(a, offset, amount);
    if (!p)
        return Real(f).xRead(a->real, out, amount, offset);  // a read past the end gets the engine's own short read and zeros
    std::memcpy(out, p->bytes + (offset - p->start), static_cast<std::size_t>(amount));
    return SQLITE_OK;
}

// The engine's way to use a page where it lies instead of copying it (it asks once the
// connection allows memory-mapped reads): the page is handed out of the piece read ahead,
// which stays unchanged until the engine lets go of the page (Unfetch). No answer sends
// the engine to Read.
int Fetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out)
{
    AheadFile* a = Of(f);
    *out = nullptr;
    Piece* p = a->current && Holds(a->current, offset, amount) ? a->current : Refill(a, offset, amount);
    if (p) {
        ++p->pages;
        *out = p->bytes + (offset - p->start);
    }
    return SQLITE_OK;
}

int Unfetch(sqlite3_file* f, sqlite3_int64, void* page)
{
    AheadFile* a = Of(f);
    if (!page) {  // the engine drops every mapping: the file changed size
        Drop(f);
        return SQLITE_OK;
    }
    const char* at = static_cast<const char*>(page);
    const auto within = [at](const Piece* p) { return at >= p->bytes && at < p->bytes + kAheadBytes; };
    if (a->current && within(a->current)) {
        --a->current->pages;
        return SQLITE_OK;
    }
    for (Piece** link = &a->held; *link; link = &(*link)->next) {
        Piece* p = *link;
        if (within(p)) {
            if (--p->pages == 0) {
                *link = p->next;
                FreePiece(p);
            }
            break;
        }
    }
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
    // The mapping the engine asks for is the pieces read ahead (Fetch), never the file itself:
    // a mapped file costs a fault per page and counts in full as the process's memory.
    if (op == SQLITE_FCNTL_MMAP_SIZE)
        return SQLITE_OK;
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
    a->current = nullptr;
    a->held = nullptr;
    a->real->pMethods = nullptr;
    const int rc = g_real->xOpen(g_real, name, a->real, flags, outFlags);
    if (!a->real->pMethods) {
        a->base.pMethods = nullptr;
        return rc;
    }
    a->current = NewPiece();
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
