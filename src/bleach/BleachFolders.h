#pragma once
// What the bleach utility's drive, folder and file lists read from the file system. Paths and
// names are bytes as the file system gives them: a name that is no text of the locale's
// encoding still names its own file.
#include <string>
#include <vector>

namespace brimlow {

struct FolderContents {
    enum Status { Listed, Missing, Unreadable };
    Status status = Missing;
    int error = 0;                     // errno of the failure
    std::vector<std::string> files;    // names of what is not a folder, in directory order
    std::vector<std::string> folders;  // names of the subfolders (a link to a folder counts)
};

// One read of a folder: its files and subfolders, "." and ".." left out.
FolderContents ReadFolder(const std::string& folder);

// The folder as the prefix of its files' paths: a "/" is added unless it ends in one, so the
// root gives "/a.txt".
std::string FolderPrefix(const std::string& folder);

// The folder an absolute path names, written without "." and ".." parts, doubled or trailing
// slashes ("/" for the root). Links are not resolved: the path stays the one the user walked.
std::string NormalFolderPath(const std::string& path);

// The folders from the root down to `folder` itself: "/", "/home", "/home/me".
std::vector<std::string> FolderChain(const std::string& folder);

// The entry of `roots` (the drive list) that `folder` lies on: the longest root that is the
// folder or one of its ancestors; "" when none is.
std::string RootOf(const std::string& folder, const std::vector<std::string>& roots);

// 0 when the volume root can be shown, else the error number of the failure: 68 (device
// unavailable) when it has gone or holds no medium, another number otherwise.
int CheckVolume(const std::string& root);

}  // namespace brimlow
