#pragma once
// The bleach utility's module: the set of files queued for destruction, and the routine
// that destroys one file (overwrite in place, sync, delete, log).
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace brimlow {

// Full paths queued for destruction; keys compare without regard to letter case.
class DestructionList {
public:
    // True when the path is not a key of the set.
    bool NotInDestructionList(const std::string& path) const;
    // Throws RuntimeError (457, key already in use) when the path is already a key.
    void AddToDestructionList(const std::string& path);
    // Throws RuntimeError (5) when the path is not a key.
    void RemoveFromDestructionList(const std::string& path);
    void Clear();
    std::size_t size() const;
    std::vector<std::string> Items() const;

private:
    std::vector<std::pair<std::string, std::string>> m_items;  // folded key, path as given
};

// The one set of the running program, released at exit.
DestructionList& TheDestructionList();

// Gives the file owner write permission back (the read-only attribute here). On failure it
// logs "Failed to clear file attributes>" and returns; the destruction goes on.
void ClearFileAttributes(const Platform& platform, const std::filesystem::path& path);

// Destroys one file: clears its attributes, overwrites it in place with CR LF pairs when
// bleachFirst (twice its size in bytes, synced to the disk), deletes it and logs the outcome.
// Failures are shown in a message box and logged; none escapes.
void DestroyFile(const Platform& platform, const std::filesystem::path& path, bool bleachFirst);

}  // namespace brimlow
