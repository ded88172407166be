#pragma once
// The bleach utility's module: the set of files queued for destruction, and the routine
// that destroys one file (overwrite in place, sync, delete, log).
#include <filesystem>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Platform.h"

namespace brimlow {

namespace err {
constexpr int KeyInUse = 457;       // a keyed collection refuses a duplicate key
constexpr int InvalidArgument = 5;  // ... and the removal of a key it does not hold
}  // namespace err

// Full paths queued for destruction; keys compare without regard to letter case (ASCII, and
// the Latin-1 letters whether the path is UTF-8 or Latin-1 bytes). Any number of paths.
class DestructionList {
public:
    // True when the path is not a key of the set. Never fails.
    bool NotInDestructionList(const std::string& path) const;
    // Throws RuntimeError (457, key already in use) when the path is already a key.
    void AddToDestructionList(const std::string& path);
    // Throws RuntimeError (5) when the path is not a key.
    void RemoveFromDestructionList(const std::string& path);
    void Clear();
    std::size_t size() const;
    // The paths as they were added, sorted.
    std::vector<std::string> Items() const;

    // The key a path is filed under: letter case folded.
    static std::string FoldKey(const std::string& path);

private:
    std::unordered_map<std::string, std::string> m_items;  // folded key -> path as given
};

// The one set of the running program, released at exit.
DestructionList& TheDestructionList();

// Gives the file owner write permission back (the read-only attribute here). A symbolic link
// is left alone (nothing is changed through it). On failure it logs
// "Failed to clear file attributes>" and returns; the destruction goes on.
void ClearFileAttributes(const Platform& platform, const std::filesystem::path& path);

// Destroys one file: clears its attributes, overwrites it in place with CR LF pairs when
// bleachFirst (exactly its own length, so the file never grows; synced to the disk), deletes
// it and logs the outcome. The path is used exactly as given (callers resolve program-folder
// names themselves). A symbolic link is removed itself, never followed. Failures are shown in
// a message box and logged; none escapes. `betweenWrites`, when given, runs after each write
// of the overwrite (a window lets its pending messages run there).
void DestroyFile(const Platform& platform, const std::filesystem::path& path, bool bleachFirst,
                 const std::function<void()>& betweenWrites = {});

}  // namespace brimlow
