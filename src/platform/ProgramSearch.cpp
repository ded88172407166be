#include "platform/ProgramSearch.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace brimlow {

namespace fs = std::filesystem;

namespace {

ProgramLookup Examine(const fs::path& candidate)
{
    ProgramLookup r;
    r.path = candidate;
    struct ::stat st{};
    if (::stat(candidate.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            r.problem = ProgramProblem::NotFound;
        } else {
            r.problem = ProgramProblem::Unreadable;
            r.error = errno;
        }
    } else if (!S_ISREG(st.st_mode)) {
        r.problem = ProgramProblem::NotRegularFile;
    } else if (::access(candidate.c_str(), X_OK) != 0) {
        r.problem = ProgramProblem::NotExecutable;
    }
    return r;
}

std::string DefaultSearchPath()
{
    const std::size_t size = ::confstr(_CS_PATH, nullptr, 0);
    std::string path(size, '\0');
    if (size == 0 || ::confstr(_CS_PATH, path.data(), size) == 0)
        return "/bin:/usr/bin";
    path.resize(size - 1);  // the closing NUL
    return path;
}

}  // namespace

ProgramLookup FindProgram(const std::string& name, const std::string& searchPath)
{
    if (name.empty())
        return ProgramLookup{{}, ProgramProblem::NotFound, 0, false};
    if (name.find('/') != std::string::npos) {
        std::error_code ec;
        fs::path absolute = fs::absolute(name, ec);
        return Examine(ec ? fs::path(name) : absolute);
    }
    ProgramLookup unusable{{}, ProgramProblem::NotFound, 0, true};
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        std::size_t end = searchPath.find(':', start);
        if (end == std::string::npos)
            end = searchPath.size();
        const fs::path folder(searchPath.substr(start, end - start));
        start = end + 1;
        if (folder.empty() || folder.is_relative())
            continue;
        ProgramLookup r = Examine(folder / name);
        r.searchedPath = true;
        if (r.problem == ProgramProblem::Found)
            return r;
        if (r.problem != ProgramProblem::NotFound && unusable.problem == ProgramProblem::NotFound)
            unusable = r;
    }
    return unusable;
}

ProgramLookup FindProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    return FindProgram(name, path ? std::string(path) : DefaultSearchPath());
}

std::string DescribeProgramProblem(const ProgramLookup& lookup)
{
    switch (lookup.problem) {
    case ProgramProblem::Found:
        return {};
    case ProgramProblem::NotFound:
        return lookup.searchedPath ? "no program of that name was found on the PATH" : "the program was not found";
    case ProgramProblem::NotRegularFile:
        return "the program is not a regular file";
    case ProgramProblem::NotExecutable:
        return "the program is not executable";
    case ProgramProblem::Unreadable:
        break;
    }
    return std::string("it could not be started: ") + std::strerror(lookup.error);
}

}  // namespace brimlow
