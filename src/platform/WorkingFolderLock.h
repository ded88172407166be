#pragma once
// One Brimlow at a time for a working folder: a kernel lock (flock) on the folder itself.
// The system drops it when its holder ends, however it ends (a crash, SIGKILL), so a dead
// copy never blocks the next start; and taking it creates, writes or changes no file.
#include <filesystem>

namespace brimlow {

class WorkingFolderLock {
public:
    enum class Result {
        Acquired,        // this copy holds the folder until it ends
        HeldByAnother,   // another copy holds it
        Unavailable,     // the folder cannot be opened or locked (error() says why)
    };

    WorkingFolderLock() = default;
    ~WorkingFolderLock();
    WorkingFolderLock(const WorkingFolderLock&) = delete;
    WorkingFolderLock& operator=(const WorkingFolderLock&) = delete;

    // Takes the lock without waiting. The handle is closed on exec, so no program that
    // Brimlow starts (UrlHound, a script's target) goes on holding it after Brimlow ends.
    Result Acquire(const std::filesystem::path& folder);
    void Release() noexcept;
    bool held() const noexcept { return m_fd >= 0; }
    // The errno of an Unavailable result.
    int error() const noexcept { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

}  // namespace brimlow
