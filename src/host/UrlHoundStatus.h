#pragma once
// UrlHound's exit statuses, one per cause: the tool ends with them and the runner's caller
// turns each into its own message. 0 and 1 are the walk's own results.

namespace brimlow {

enum DumpStatus : int {
    kDumpFound = 0,             // the mode's own walk found entries
    kDumpNothingFound = 1,      // a healthy store without an entry for the mode's pattern
    kDumpNoStore = 2,           // the store folder or its index file does not exist
    kDumpStoreUnreadable = 3,   // the store exists, but this user may not read it
    kDumpStoreDamaged = 4,      // the index file is not a store, or is damaged
    kDumpStoreNewer = 5,        // the store was written by a newer version; left untouched
    kDumpFolderUnwritable = 6,  // a dump file could not be created or written
    kDumpStoreFailed = 7,       // any other failure of the store (busy, out of memory, ...)
};

}  // namespace brimlow
