#include "bleach/BleachFolders.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

#include "platform/Errors.h"

namespace brimlow {

namespace {

bool IsFolder(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

FolderContents ReadFolder(const std::string& folder)
{
    FolderContents out;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        out.error = errno;
        out.status = (errno == ENOENT || errno == ENOTDIR) ? FolderContents::Missing : FolderContents::Unreadable;
        return out;
    }
    const std::string prefix = FolderPrefix(folder);
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        bool folderEntry;
        if (e->d_type == DT_DIR)
            folderEntry = true;
        else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN)
            folderEntry = IsFolder(prefix + name);  // a link to a folder is walked as one
        else
            folderEntry = false;
        (folderEntry ? out.folders : out.files).push_back(name);
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
        // A folder that fails half way is not shown half: what it lists may be misleading.
        out = FolderContents{};
        out.status = FolderContents::Unreadable;
        out.error = readError;
        return out;
    }
    out.status = FolderContents::Listed;
    return out;
}

std::string FolderPrefix(const std::string& folder)
{
    if (!folder.empty() && folder.back() == '/')
        return folder;
    return folder + '/';
}

std::string NormalFolderPath(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && path[i] == '/')
            ++i;
        const std::size_t end = path.find('/', i);
        const std::string part = path.substr(i, end == std::string::npos ? std::string::npos : end - i);
        i = end == std::string::npos ? path.size() : end;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const auto& p : parts)
        out += '/' + p;
    return out.empty() ? std::string("/") : out;
}

std::vector<std::string> FolderChain(const std::string& folder)
{
    std::vector<std::string> chain{"/"};
    const std::string normal = NormalFolderPath(folder);
    if (normal == "/")
        return chain;
    for (std::size_t at = normal.find('/', 1); at != std::string::npos; at = normal.find('/', at + 1))
        chain.push_back(normal.substr(0, at));
    chain.push_back(normal);
    return chain;
}

std::string RootOf(const std::string& folder, const std::vector<std::string>& roots)
{
    const std::string normal = NormalFolderPath(folder);
    std::string best;
    for (const auto& root : roots) {
        const std::string r = NormalFolderPath(root);
        const bool covers = r == "/" || normal == r || normal.compare(0, r.size() + 1, r + '/') == 0;
        if (covers && (best.empty() || NormalFolderPath(best).size() < r.size()))
            best = root;
    }
    return best;
}

int CheckVolume(const std::string& root)
{
    DIR* dir = ::opendir(root.c_str());
    if (dir) {
        ::closedir(dir);
        return 0;
    }
    switch (errno) {
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM:
    case EIO:
        return err::DeviceUnavailable;
    default:
        return ErrorNumberFromErrno(errno);
    }
}

}  // namespace brimlow
