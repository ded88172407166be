#pragma once
// One Brimlow at a time for a working folder (the kernel lock is platform/WorkingFolderLock).
// A later copy calls the first through a local socket in the abstract namespace, named after
// the user and the working folder, so the call leaves no file behind either: the first
// brings its window to the front, and the later copy says so and ends.
#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <optional>

#include "platform/Platform.h"
#include "platform/WorkingFolderLock.h"

class QLocalServer;

namespace brimlow {

class Forms;

// "brimlow-<uid>-<digest of the folder's path>".
QString FirstCopyServerName(const std::filesystem::path& workingFolder);

// The first copy's ear: each later copy's call runs `bringToFront` on the GUI thread.
class FirstCopyListener : public QObject {
public:
    FirstCopyListener(const std::filesystem::path& workingFolder, std::function<void()> bringToFront);
    ~FirstCopyListener() override;
    bool listening() const;

private:
    QLocalServer* m_server = nullptr;
    std::function<void()> m_bringToFront;
};

// The window in use to the front: the main window, or the splash while the start-up runs.
void BringToFront(Forms& forms);

// Asks the first copy to come to the front; false when no copy answered the call.
bool CallFirstCopy(const std::filesystem::path& workingFolder);

// A later copy: calls the first and says, in a message box and on standard error, that
// Brimlow is already running for the working folder. Touches no file.
void SayAnotherCopyRuns(const Platform& platform);

// The working folder cannot be locked (`error`: the errno): says so, in a message box and on
// standard error, with the folder. Touches no file: without the lock a second copy could be
// writing the same files.
void SayFolderCannotBeLocked(const Platform& platform, int error);

// Takes the working folder for this copy. Nothing when this copy holds it and goes on; else,
// once it has said why, the exit status to end with: 0 when another copy holds the folder,
// 1 when it cannot be locked.
std::optional<int> TakeWorkingFolder(WorkingFolderLock& lock, const Platform& platform);

}  // namespace brimlow
