#pragma once
// Replacing a file whole: the new bytes go to a temporary file beside it, reach the disk, and
// are renamed over it, so a reader, or the next run after an abrupt end, finds the old file
// or the new one, never a part. Every writer of the program's files that must survive a kill
// (the settings file, the script files, the store's cookie files) makes its temporary files
// here, so that one start-up sweep (RemoveLeftTemporaryFiles) knows them all.
//
// A temporary file is named "." + the target's name (its first 64 bytes) + ".tmp-" + the
// maker's process id + "-" + six characters that mkostemp picks; it is created with O_EXCL
// and mode 0600, so nobody can foresee the name, plant a link there or read it meanwhile.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/Platform.h"

namespace brimlow::textfile {

// An open temporary file; the destructor closes it and, unless it was committed, removes it.
class TemporaryFile {
public:
    // Creates the temporary file in `target`'s folder. `calls` nullptr: the real calls.
    // Failures throw RuntimeError.
    explicit TemporaryFile(const std::filesystem::path& target, FileCalls* calls = nullptr);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return m_fd; }
    const std::filesystem::path& path() const { return m_path; }

    // Writes every byte (short writes and signals go on); a failure throws.
    void Write(std::string_view bytes);
    // Syncs, closes and renames the file over the target, then syncs the folder so the
    // rename itself is on the disk. A failure throws and leaves the target as it was.
    void Commit();

private:
    FileCalls& m_calls;
    std::filesystem::path m_target;
    std::filesystem::path m_path;
    int m_fd = -1;
    bool m_committed = false;
};

// Replaces `path` whole by `text` (mode 0600). A failure throws RuntimeError and leaves the
// old file as it was, with no temporary file beside it.
void WriteAllAtomically(const std::filesystem::path& path, std::string_view text, FileCalls* calls = nullptr);

// The process id in `name` when it is a temporary file's name of the pattern above.
std::optional<long> TemporaryFileMaker(std::string_view name);

// Removes from `folder` (not its subfolders) the temporary files of this user whose maker
// has ended: what a killed run left half-written. Those of a live process stay. Returns how
// many went; a folder that cannot be read gives 0. With `target` given, only the temporary
// files made for that file of the folder go (a folder the user chose holds other people's).
std::size_t RemoveLeftTemporaryFiles(const std::filesystem::path& folder, std::string_view target = {});

}  // namespace brimlow::textfile
