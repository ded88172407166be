#pragma once
// The file layer a read-only walk of the index opens it through: the engine's own layer,
// except that reads of the index file are served from one large sequential read ahead of
// them. The engine asks for one page (4 KiB) at a time, and a walk of the store reads every
// page: 7,500 small reads per walk of a 30 MB store, which cost more than the walk itself.
// Once a walk has read two chunks in a row, the next is read by a thread of its own while
// the engine works through the current one (ReadAheadThread).
//
// What was read ahead is dropped at every lock the engine takes or leaves, so it never
// outlives the read transaction in which the file's bytes were read (a writer changes the
// file only between those). The journal and the write-ahead log go straight through.
namespace brimlow::inetcache::sqlite {

// The name to open a read-only connection with; the layer is registered at the first call.
const char* ReadAheadVfsName();

}  // namespace brimlow::inetcache::sqlite
